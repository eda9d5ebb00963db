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

std::optional<TPageFeature> FeatureOfKeyName(const QString& name)
{
    for (const TPageFeature feature :
         {TPageFeature::Notifications, TPageFeature::Geolocation, TPageFeature::Microphone, TPageFeature::Camera,
          TPageFeature::CameraAndMicrophone, TPageFeature::MouseLock, TPageFeature::ScreenCapture,
          TPageFeature::ScreenAndAudioCapture})
        if (name == QLatin1String(FeatureKeyName(feature)))
            return feature;
    return std::nullopt;
}

bool SameRequest(const TPermissionQueue::TRequest& a, const TPermissionQueue::TRequest& b)
{
    // The key names the feature, the asking origin and the page's origin.
    return TPermissionPolicy::Key(a.Origin, a.Feature, a.Page) == TPermissionPolicy::Key(b.Origin, b.Feature, b.Page);
}

} // namespace

TPermissionPolicy::TPermissionPolicy(QString configPath, QString serviceHost)
    : FConfig(configPath), FServiceHost(std::move(serviceHost))
{
}

namespace {

// The origin alone, never a path or query a page might add; host names in
// their ASCII form.
QString SiteKey(const QUrl& address)
{
    return address.adjusted(QUrl::RemovePath | QUrl::RemoveQuery | QUrl::RemoveFragment | QUrl::RemoveUserInfo)
        .toString(QUrl::FullyEncoded)
        .toLower();
}

} // namespace

bool TPermissionPolicy::IsRemembered(TPageFeature feature)
{
    // Qt grants a remembered screen share for the whole screen without a
    // word: it is asked every time.
    return feature != TPageFeature::ScreenCapture && feature != TPageFeature::ScreenAndAudioCapture;
}

QString TPermissionPolicy::Key(const QUrl& origin, TPageFeature feature, const QUrl& page)
{
    QString key = QLatin1String(FeatureKeyName(feature)) + QLatin1Char('@') + SiteKey(origin);
    if (page.isValid() && !page.host().isEmpty() && SiteKey(page) != SiteKey(origin))
        key += QLatin1Char('|') + SiteKey(page);
    return key;
}

TPermissionPolicy::TDecision TPermissionPolicy::Decide(const QUrl& origin, TPageFeature feature, const QUrl& page) const
{
    if (feature == TPageFeature::Notifications && IsServiceOrigin(origin, FServiceHost))
        return TDecision::Allow;
    if (!origin.isValid() || origin.host().isEmpty())
        return TDecision::Deny; // nobody to ask about
    if (!IsRemembered(feature))
        return TDecision::Ask;
    if (const std::optional<bool> allowed = FConfig.ReadPermission(Key(origin, feature, page)))
        return *allowed ? TDecision::Allow : TDecision::Deny;
    return TDecision::Ask;
}

void TPermissionPolicy::Remember(const QUrl& origin, TPageFeature feature, bool allowed, const QUrl& page) const
{
    if (IsRemembered(feature))
        FConfig.WritePermission(Key(origin, feature, page), allowed);
}

QList<TPermissionPolicy::TRememberedAnswer> TPermissionPolicy::Remembered() const
{
    QList<TRememberedAnswer> answers;
    for (const auto& [key, allowed] : FConfig.ReadPermissions()) {
        // "feature@origin" with "|page origin" when asked under another site;
        // a line written by hand in another form is listed as it stands.
        TRememberedAnswer answer{key, key, QString(), QString(), allowed};
        const qsizetype at = key.indexOf(QLatin1Char('@'));
        if (at > 0) {
            const QString name = key.left(at);
            const std::optional<TPageFeature> feature = FeatureOfKeyName(name);
            answer.Feature = feature ? FeatureText(*feature) : name;
            const QStringList sites = key.mid(at + 1).split(QLatin1Char('|'));
            answer.Site = SiteName(QUrl(sites.first()));
            if (sites.size() > 1)
                answer.Page = SiteName(QUrl(sites.at(1)));
        }
        answers.append(answer);
    }
    return answers;
}

void TPermissionPolicy::Forget(const QString& key) const
{
    FConfig.DeletePermission(key);
}

QString TPermissionPolicy::SiteName(const QUrl& origin)
{
    // ASCII (punycode): a look-alike name cannot pass for the service.
    const QString host = origin.host(QUrl::FullyEncoded);
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
    const QString question = QStringLiteral("网站 %1 请求%2，是否允许？").arg(SiteName(origin), FeatureText(feature));
    // Where a kept answer can be taken back.
    return IsRemembered(feature) ? question + QStringLiteral("\n\n您的回答会被记住，可按 Ctrl+, 在“高级设置”中撤销。")
                                 : question;
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

std::optional<TPermissionQueue::TRequest> TPermissionQueue::Next(const std::function<bool(TChromium*)>& shown)
{
    // A tab gone meanwhile has nobody left to ask for.
    FWaiters.removeIf([](const TWaiter& waiter) { return !waiter.View; });
    for (const TWaiter& waiter : FWaiters)
        if (!shown || shown(waiter.View))
            return waiter.Request;
    return std::nullopt;
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
