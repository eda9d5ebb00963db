#pragma once

#include <QHash>
#include <QSet>

#include <deque>

// Keeps a page from locking the window with modal boxes (an alert loop, a
// stream of downloads that each open a save dialog, a permission question
// per subdomain): once a page raised Burst boxes within WindowMs, the user is
// asked whether to stop its boxes, as browsers do. A stopped page's boxes
// are answered at once (cancelled, refused) until it loads another page or
// its tab closes.
class TBoxFlood
{
public:
    static constexpr int Burst = 5;
    static constexpr qint64 WindowMs = 10 * 1000;

    // Whether the box a page (by its view's tag) asks for may show; nowMs is
    // a steady clock in milliseconds. May ask the user.
    bool MayShow(int page, qint64 nowMs);
    // The page loaded another document, or went: it starts afresh.
    void Forget(int page);

private:
    QHash<int, std::deque<qint64>> FRecent; // per page: times of its recent boxes
    QSet<int> FStopped;
};
