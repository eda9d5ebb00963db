#include "page/Zoom.h"

#include <QUrl>

#include <array>

namespace {

const std::array kSteps = {25, 33, 50, 67, 75, 80, 90, 100, 110, 125, 150, 175, 200, 250, 300, 400, 500};

} // namespace

bool ZoomSteps::InRange(int percent)
{
    return percent >= Minimum && percent <= Maximum;
}

int ZoomSteps::In(int percent)
{
    for (const int step : kSteps)
        if (step > percent)
            return step;
    return Maximum;
}

int ZoomSteps::Out(int percent)
{
    for (auto it = kSteps.rbegin(); it != kSteps.rend(); ++it)
        if (*it < percent)
            return *it;
    return Minimum;
}

TZoomStore::TZoomStore(const QString& iniPath)
    : FConfig(iniPath)
{
}

QString TZoomStore::HostOf(const QString& url)
{
    // The ASCII form, lower case: the file compares names by ASCII only.
    return QUrl(url).host(QUrl::EncodeUnicode).toLower();
}

int TZoomStore::Level(const QString& host)
{
    if (host.isEmpty())
        return ZoomSteps::Default;
    if (const auto cached = FCache.constFind(host); cached != FCache.constEnd())
        return *cached;
    const int percent = FConfig.ReadZoom(host, ZoomSteps::Default);
    const int level = ZoomSteps::InRange(percent) ? percent : ZoomSteps::Default;
    FCache.insert(host, level);
    return level;
}

void TZoomStore::SetLevel(const QString& host, int percent)
{
    if (host.isEmpty())
        return;
    const int level = ZoomSteps::InRange(percent) ? percent : ZoomSteps::Default;
    if (Level(host) == level)
        return;
    FCache.insert(host, level);
    FConfig.WriteZoom(host, level);
}
