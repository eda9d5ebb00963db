#pragma once

#include <QHash>

#include <deque>

// Bounds the popups a page may open without a user's click, so a page that
// opens windows in a loop cannot exhaust memory and freeze the window: at
// most Limit such popups within Window milliseconds for each tab the user
// opened. A popup's own popups count against the tab its chain started from,
// so popups that open popups cannot grow without end. Popups the user asked
// for (a click) are never counted or refused. What it remembers stays
// bounded: closed tabs and times older than the window are forgotten.
class TPopupLimit
{
public:
    static constexpr int Limit = 50;
    static constexpr qint64 WindowMs = 60 * 1000;

    // True when the tab openerId may open a popup; nowMs is a steady clock in
    // milliseconds.
    bool Allow(int openerId, bool userGesture, qint64 nowMs);
    // The popup opened by openerId has the tab id popupId.
    void Opened(int openerId, int popupId);
    // The tab with this id closed.
    void Closed(int id);

    // How many tabs and chains it remembers now.
    int Remembered() const { return static_cast<int>(FStarts.size() + FRecent.size()); }

private:
    int StartOf(int id) const { return FStarts.value(id, id); }
    void ForgetExpired(qint64 nowMs);

    QHash<int, int> FStarts;                // popup id -> the tab its chain started from
    QHash<int, std::deque<qint64>> FRecent; // per chain start: times of recent popups, oldest first
};
