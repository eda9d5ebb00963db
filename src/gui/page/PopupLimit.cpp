#include "page/PopupLimit.h"

bool TPopupLimit::Allow(int tabId, bool userGesture, qint64 nowMs)
{
    if (userGesture)
        return true;
    std::deque<qint64>& recent = FRecent[tabId];
    while (!recent.empty() && nowMs - recent.front() >= WindowMs)
        recent.pop_front();
    if (recent.size() >= static_cast<size_t>(Limit))
        return false;
    recent.push_back(nowMs);
    return true;
}
