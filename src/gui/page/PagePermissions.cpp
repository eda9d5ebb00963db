#include "page/PagePermissions.h"

#include "config/ConfigFile.h"
#include "service/ServiceHost.h"

#include <utility>

namespace {

const char* FeatureKeyName(TPageFeature feature)
{
    switch (feature) {
    case TPageFeature::Notifications: return "notifications";
    case TPageFeature::Geolocation: return "geolocation";
    case TPageFeature::Microphone: return "microphone";
    case TPageFeature::Camera: return "camera";
    case TPageFeature::CameraAndMicrophone: return "camera+microphone";
    case TPageFeature::MouseLock: return "mouselock";
    case TPageFeature::ScreenCapture: return "screen";
    case TPageFeature::ScreenAndAudioCapture: return "screen+audio";
    }
    return "unknown";
}

bool SameRequest(const TPermissionQueue::TRequest& a, const TPermissionQueue::TRequest& b)
{
    return a.Feature == b.Feature && a.Origin == b.Origin;
}

} // namespace

TPermissionPolicy::TPermissionPolicy(QString configPath, QString serviceHost)
    : FConfig(configPath), FServiceHost(std::move(serviceHost))
{
}

QString TPermissionPolicy::Key(const QUrl& origin, TPageFeature feature)
{
    // Only the origin counts, never a path or query a page might add.
    const QString site = origin.adjusted(QUrl::RemovePath | QUrl::RemoveQuery | QUrl::RemoveFragment
                                         | QUrl::RemoveUserInfo)
                             .toString(QUrl::FullyEncoded);
    return QLatin1String(FeatureKeyName(feature)) + QLatin1Char('@') + site.toLower();
}

TPermissionPolicy::TDecision TPermissionPolicy::Decide(const QUrl& origin, TPageFeature feature) const
{
    if (feature == TPageFeature::Notifications && IsServiceOrigin(origin, FServiceHost))
        return TDecision::Allow;
    if (!origin.isValid() || origin.host().isEmpty())
        return TDecision::Deny; // nobody to ask about
    if (const std::optional<bool> allowed = FConfig.ReadPermission(Key(origin, feature)))
        return *allowed ? TDecision::Allow : TDecision::Deny;
    return TDecision::Ask;
}

void TPermissionPolicy::Remember(const QUrl& origin, TPageFeature feature, bool allowed) const
{
    FConfig.WritePermission(Key(origin, feature), allowed);
}

QString TPermissionPolicy::SiteName(const QUrl& origin)
{
    const QString host = origin.host();
    return origin.port() >= 0 ? QStringLiteral("%1:%2").arg(host).arg(origin.port()) : host;
}

QString TPermissionPolicy::FeatureText(TPageFeature feature)
{
    switch (feature) {
    case TPageFeature::Notifications: return QStringLiteral("显示通知");
    case TPageFeature::Geolocation: return QStringLiteral("获取您的位置");
    case TPageFeature::Microphone: return QStringLiteral("使用麦克风");
    case TPageFeature::Camera: return QStringLiteral("使用摄像头");
    case TPageFeature::CameraAndMicrophone: return QStringLiteral("使用摄像头和麦克风");
    case TPageFeature::MouseLock: return QStringLiteral("锁定鼠标指针");
    case TPageFeature::ScreenCapture: return QStringLiteral("共享您的屏幕");
    case TPageFeature::ScreenAndAudioCapture: return QStringLiteral("共享您的屏幕和声音");
    }
    return {};
}

QString TPermissionPolicy::Question(const QUrl& origin, TPageFeature feature)
{
    return QStringLiteral("网站 %1 请求%2，是否允许？").arg(SiteName(origin), FeatureText(feature));
}

bool TPermissionQueue::Add(TChromium* view, const TRequest& request)
{
    bool asked = false;
    for (const TWaiter& waiter : FWaiters) {
        if (SameRequest(waiter.Request, request)) {
            asked = true;
            if (waiter.View == view)
                return false; // the same view asking again waits for the same answer
        }
    }
    FWaiters.append({view, request});
    return !asked;
}

std::optional<TPermissionQueue::TRequest> TPermissionQueue::Next()
{
    // A tab gone meanwhile has nobody left to ask for.
    FWaiters.removeIf([](const TWaiter& waiter) { return !waiter.View; });
    if (FWaiters.isEmpty())
        return std::nullopt;
    return FWaiters.first().Request;
}

QList<QPointer<TChromium>> TPermissionQueue::Take(const TRequest& request)
{
    QList<QPointer<TChromium>> views;
    for (qsizetype i = 0; i < FWaiters.size();) {
        if (SameRequest(FWaiters[i].Request, request)) {
            if (FWaiters[i].View)
                views.append(FWaiters[i].View);
            FWaiters.removeAt(i);
        } else {
            ++i;
        }
    }
    return views;
}

QList<TPermissionQueue::TWaiter> TPermissionQueue::TakeAll()
{
    QList<TWaiter> all;
    for (const TWaiter& waiter : std::exchange(FWaiters, {}))
        if (waiter.View)
            all.append(waiter);
    return all;
}
