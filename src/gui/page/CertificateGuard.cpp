#include "page/CertificateGuard.h"

#include "engine/Chromium.h"
#include "util/AppError.h"
#include "widgets/AppMessageBox.h"
#include "widgets/CertificatePage.h"

#include <QDebug>
#include <QPointer>
#include <QTimer>

namespace {

QList<QSslCertificate> ReadAuthorities(const QString& path)
{
    if (path.isEmpty())
        return {};
    QList<QSslCertificate> authorities = QSslCertificate::fromPath(path, QSsl::Pem);
    if (authorities.isEmpty())
        qDebug().noquote() << QStringLiteral("config.ini: CaBundle %1 holds no certificate; ignored").arg(path);
    return authorities;
}

} // namespace

TCertificateGuard::TCertificateGuard(const QString& configPath, const QString& serviceHost, QObject* parent)
    : TCertificateGuard(configPath, serviceHost, TConfigFile(configPath).ReadSecurity(), parent)
{
}

TCertificateGuard::TCertificateGuard(const QString& configPath, const QString& serviceHost,
                                     const TSecurityOptions& security, QObject* parent)
    : QObject(parent),
      FPolicy(configPath, serviceHost, security.ServiceCertificate, ReadAuthorities(security.CaBundle))
{
}

bool TCertificateGuard::Decide(TChromium* view, const TCertificateError& error)
{
    const TCertificateVerdict verdict = FPolicy.Decide(error);
    const QString host = error.Url.host();
    qDebug().noquote() << QStringLiteral("Certificate of %1: %2 (%3)")
                              .arg(host, error.Description,
                                   verdict == TCertificateVerdict::Trusted          ? QStringLiteral("trusted")
                                   : verdict == TCertificateVerdict::AcceptedByUser ? QStringLiteral("accepted by the user")
                                                                                     : QStringLiteral("refused"));
    if (!view || !error.MainFrame)
        return verdict != TCertificateVerdict::Refused;
    // The engine is inside its call: the widgets come a moment later.
    const QPointer<TChromium> target(view);
    if (verdict == TCertificateVerdict::AcceptedByUser) {
        QTimer::singleShot(0, this, [this, target, host] {
            if (target)
                Warn(target, host);
        });
    } else if (verdict == TCertificateVerdict::Refused) {
        const QString fingerprint = error.Chain.isEmpty() ? QString() : TCertificatePolicy::Fingerprint(error.Chain.first());
        QTimer::singleShot(0, this, [this, target, error, fingerprint] {
            if (target)
                Cover(target, error, fingerprint);
        });
    }
    return verdict != TCertificateVerdict::Refused;
}

void TCertificateGuard::Cover(TChromium* view, const TCertificateError& error, const QString& fingerprint)
{
    const QString host = error.Url.host();
    for (auto* old : view->findChildren<TCertificatePage*>(Qt::FindDirectChildrenOnly))
        delete old;
    auto* cover = new TCertificatePage(view, host, error.Description,
                                       fingerprint.isEmpty() ? QStringLiteral("（无）")
                                                             : TCertificatePolicy::ReadableFingerprint(fingerprint),
                                       error.Overridable && !fingerprint.isEmpty());
    connect(cover, &TCertificatePage::ContinueClicked, this,
            [this, cover, view = QPointer<TChromium>(view), host, fingerprint, url = error.Url] {
                try {
                    FPolicy.AcceptForHost(host, fingerprint);
                } catch (const EAppError& e) {
                    AppMessageBox(e.Message(), MB_OK | 0x10); // stop sign
                    return;
                }
                cover->deleteLater();
                if (view)
                    view->Load(url.toString());
            });
    FollowHost(view, cover, host);
}

void TCertificateGuard::Warn(TChromium* view, const QString& host)
{
    for (auto* shown : view->findChildren<TCertificateWarning*>(Qt::FindDirectChildrenOnly))
        if (shown->Host() == host)
            return;
    auto* warning = new TCertificateWarning(view, host);
    FollowHost(view, warning, host, [this, view] { Q_EMIT WarningChanged(view, false); });
    Q_EMIT WarningChanged(view, true);
}

void TCertificateGuard::FollowHost(TChromium* view, QWidget* shown, const QString& host,
                                   const std::function<void()>& left)
{
    connect(view, &TChromium::UrlChanged, shown, [view, shown, host, left](const QString& url) {
        const QUrl address(url);
        // The engine's own error page for the refused load stays on the host.
        if (address.scheme() == QLatin1String("data") || address.host().compare(host, Qt::CaseInsensitive) == 0)
            return;
        // Once only: the next change may come before the widget is gone.
        QObject::disconnect(view, &TChromium::UrlChanged, shown, nullptr);
        shown->deleteLater();
        if (left)
            left();
    });
}
