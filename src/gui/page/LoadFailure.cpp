#include "page/LoadFailure.h"

#include "tabs/TabRegistry.h"
#include "widgets/LoadFailedPage.h"
#include "widgets/ShutdownFlags.h"

#include <QDateTime>
#include <QDebug>
#include <QNetworkInformation>
#include <QTimer>

#include <algorithm>

namespace {

qint64 NowMs()
{
    return QDateTime::currentMSecsSinceEpoch();
}

} // namespace

TLoadFailureCover::TLoadFailureCover(TTabRegistry& registry, const TShutdownFlags& flags, TRetryTiming timing,
                                     QObject* parent)
    : QObject(parent), FRegistry(registry), FFlags(flags), FTiming(timing)
{
    connect(&FRegistry, &TTabRegistry::ViewCreated, this, [this](TChromium* view) {
        connect(view, &TChromium::LoadFinished, this, [this, view](const TLoadResult& result) {
            if (FFlags.FClosing)
                return;
            // Every failed load is logged for support, a stopped one aside.
            if (!result.Ok && result.ErrorCode < 0 && result.ErrorCode != -3)
                qDebug().noquote() << QStringLiteral("Page load failed: %1: %2 %3")
                                          .arg(ShownAddress(result.Url))
                                          .arg(result.ErrorCode)
                                          .arg(result.Description);
            if (result.Ok)
                Succeeded(view);
            else if (result.Failure != TLoadFailure::None)
                Failed(view, result);
        });
        connect(view, &QObject::destroyed, this, [this, view] { FStates.remove(view); });
    });
}

int TLoadFailureCover::RetryDelayMs(const TRetryTiming& timing, int attempt)
{
    qint64 delay = std::max(1, timing.FirstMs);
    for (int i = 0; i < attempt && delay < timing.MaxMs; ++i)
        delay *= 2;
    return static_cast<int>(std::min<qint64>(delay, std::max(timing.FirstMs, timing.MaxMs)));
}

QString TLoadFailureCover::TitleOf(TLoadFailure failure)
{
    switch (failure) {
    case TLoadFailure::Refused: return QStringLiteral("无法连接到服务器");
    case TLoadFailure::NameNotFound: return QStringLiteral("找不到服务器");
    case TLoadFailure::TimedOut: return QStringLiteral("连接超时");
    case TLoadFailure::NetworkDown: return QStringLiteral("网络不可用");
    case TLoadFailure::Proxy: return QStringLiteral("无法连接到代理服务器");
    case TLoadFailure::ClientCertificate: return QStringLiteral("需要客户端证书");
    case TLoadFailure::None:
    case TLoadFailure::Other: break;
    }
    return QStringLiteral("无法打开此网页");
}

QString TLoadFailureCover::TextOf(const TLoadResult& result)
{
    const QString host = result.Url.host(QUrl::FullyEncoded);
    switch (result.Failure) {
    case TLoadFailure::Refused: return QStringLiteral("%1 拒绝了连接，服务可能暂时停止或正在维护。").arg(host);
    case TLoadFailure::NameNotFound: return QStringLiteral("无法解析 %1 的地址，请检查网络连接或 DNS 设置。").arg(host);
    case TLoadFailure::TimedOut: return QStringLiteral("%1 长时间没有响应，请稍后再试。").arg(host);
    case TLoadFailure::NetworkDown: return QStringLiteral("请检查网线、无线网络或网络设置。");
    case TLoadFailure::Proxy: return QStringLiteral("请检查代理设置，或联系网络管理员。");
    case TLoadFailure::ClientCertificate:
        return QStringLiteral("%1 要求使用客户端证书登录，但没有发送可用的证书，或证书未被接受。请联系网络管理员配置证书。")
            .arg(host);
    case TLoadFailure::None:
    case TLoadFailure::Other: break;
    }
    return QStringLiteral("加载 %1 时出错（错误代码 %2）。").arg(host).arg(result.ErrorCode);
}

QString TLoadFailureCover::ShownAddress(const QUrl& url)
{
    return url.adjusted(QUrl::RemoveQuery | QUrl::RemoveFragment | QUrl::RemoveUserInfo).toString();
}

void TLoadFailureCover::Failed(TChromium* view, const TLoadResult& result)
{
    TState& state = FStates[view];
    state.Url = result.Url;
    if (!state.Cover) {
        state.Cover = new TLoadFailedPage(view);
        state.Retry = new QTimer(state.Cover);
        state.Retry->setSingleShot(true);
        connect(state.Retry, &QTimer::timeout, this, [this, view] { Retry(view); });
        state.Tick = new QTimer(state.Cover);
        connect(state.Tick, &QTimer::timeout, this, [this, view] {
            if (FStates.contains(view))
                ShowCountdown(FStates[view]);
        });
        connect(state.Cover, &TLoadFailedPage::RetryClicked, this, [this, view] { Retry(view); });
    }
    state.Cover->SetFailure(TitleOf(result.Failure), TextOf(result), ShownAddress(result.Url));
    if (RetriesByItself(view, result.Url))
        ScheduleRetry(view, state);
    else
        state.Cover->SetRetryNote(QString());
}

void TLoadFailureCover::WatchNetwork()
{
    if (FWatchingNetwork)
        return;
    FWatchingNetwork = true;
    // Qt 6.4 tries only NetworkManager by default; GLib's monitor covers the rest.
    if (!QNetworkInformation::loadDefaultBackend() && !QNetworkInformation::loadBackendByName(u"glib")
        && !QNetworkInformation::loadBackendByFeatures(QNetworkInformation::Feature::Reachability)) {
        qDebug().noquote() << QStringLiteral("No network information on this desktop; retrying on a timer only");
        return;
    }
    connect(QNetworkInformation::instance(), &QNetworkInformation::reachabilityChanged, this,
            [this](QNetworkInformation::Reachability reachability) {
                if (reachability == QNetworkInformation::Reachability::Online)
                    NetworkBack();
            });
}

bool TLoadFailureCover::RetriesByItself(TChromium* view, const QUrl& failed) const
{
    // The first tab's own page, the service's: another address that failed
    // there (a link the user followed) waits for "重试" like any tab.
    const QUrl login(FLoginUrl);
    return FRegistry.IsFirstTab(view) && !FLoginUrl.isEmpty()
           && failed.host().compare(login.host(), Qt::CaseInsensitive) == 0
           && failed.port(80) == login.port(80) && failed.scheme() == login.scheme();
}

void TLoadFailureCover::ScheduleRetry(TChromium*, TState& state)
{
    WatchNetwork();
    const int delay = RetryDelayMs(FTiming, state.Attempts++);
    state.DueMs = NowMs() + delay;
    state.Retry->start(delay);
    state.Tick->start(std::min(1000, delay));
    ShowCountdown(state);
}

void TLoadFailureCover::ShowCountdown(TState& state)
{
    if (!state.Cover || !state.Retry->isActive())
        return;
    const qint64 left = std::max<qint64>(0, state.DueMs - NowMs());
    state.Cover->SetRetryNote(QStringLiteral("将在 %1 秒后自动重试。").arg((left + 999) / 1000));
}

void TLoadFailureCover::Retry(TChromium* view)
{
    const auto found = FStates.find(view);
    if (found == FStates.end() || !found->Cover || FFlags.FClosing)
        return;
    TState& state = *found;
    state.Retry->stop();
    state.Tick->stop();
    state.Cover->SetRetryNote(QStringLiteral("正在重试……"));
    // The first tab starts over at the login address when its service failed.
    const bool login = RetriesByItself(view, state.Url);
    view->Load(login ? FLoginUrl : state.Url.toString());
}

void TLoadFailureCover::Succeeded(TChromium* view)
{
    const auto found = FStates.find(view);
    if (found == FStates.end())
        return;
    if (found->Cover)
        found->Cover->deleteLater();
    FStates.erase(found);
}

void TLoadFailureCover::NetworkBack()
{
    QList<TChromium*> waiting;
    for (auto it = FStates.begin(); it != FStates.end(); ++it)
        if (it->Cover && it->Retry->isActive())
            waiting.append(it.key());
    for (TChromium* view : waiting)
        Retry(view);
}
