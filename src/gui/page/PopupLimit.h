#pragma once

#include <QHash>

#include <deque>

// Bounds the popups a page may open without a user's click, so a page that
// opens windows in a loop cannot exhaust memory and freeze the window: at
// most Limit such popups per tab within Window milliseconds. Popups the user
// asked for (a click) are never counted or refused.
class TPopupLimit
{
public:
    static constexpr int Limit = 50;
    static constexpr qint64 WindowMs = 60 * 1000;

    // True when the popup may open; nowMs is a steady clock in milliseconds.
    bool Allow(int tabId, bool userGesture, qint64 nowMs);

private:
    QHash<int, std::deque<qint64>> FRecent; // per tab id: times of recent popups, oldest first
};
