#include "page/PopupLimit.h"

bool TPopupLimit::Allow(int openerId, bool userGesture, qint64 nowMs)
{
    if (userGesture)
        return true;
    ForgetExpired(nowMs);
    std::deque<qint64>& recent = FRecent[StartOf(openerId)];
    if (recent.size() >= static_cast<size_t>(Limit))
        return false;
    recent.push_back(nowMs);
    return true;
}

void TPopupLimit::Opened(int openerId, int popupId)
{
    if (popupId != openerId)
        FStarts.insert(popupId, StartOf(openerId));
}

void TPopupLimit::Closed(int id)
{
    FStarts.remove(id);
}

void TPopupLimit::ForgetExpired(qint64 nowMs)
{
    for (auto it = FRecent.begin(); it != FRecent.end();) {
        std::deque<qint64>& recent = it.value();
        while (!recent.empty() && nowMs - recent.front() >= WindowMs)
            recent.pop_front();
        it = recent.empty() ? FRecent.erase(it) : std::next(it);
    }
}
