#include "page/BoxFlood.h"

#include "widgets/AppMessageBox.h"

bool TBoxFlood::MayShow(int page, qint64 nowMs)
{
    if (FStopped.contains(page))
        return false;
    std::deque<qint64>& recent = FRecent[page];
    while (!recent.empty() && nowMs - recent.front() >= WindowMs)
        recent.pop_front();
    if (recent.size() >= static_cast<size_t>(Burst)) {
        recent.clear();
        if (AppMessageBox(QStringLiteral("此网页正在连续弹出对话框。要阻止此网页继续弹出对话框吗？"),
                          MB_YESNO | MB_ICONQUESTION)
            == IDYES) {
            FStopped.insert(page);
            FRecent.remove(page);
            return false;
        }
    }
    FRecent[page].push_back(nowMs);
    return true;
}

void TBoxFlood::Forget(int page)
{
    FRecent.remove(page);
    FStopped.remove(page);
}
