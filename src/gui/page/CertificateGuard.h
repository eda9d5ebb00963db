#pragma once

#include "page/CertificatePolicy.h"

#include <QObject>

#include <functional>

class QWidget;
class TChromium;

// Answers the engine's certificate errors for every view (see
// TCertificatePolicy). A page refused for its certificate gets the shell's
// own page in its tab; there "继续访问", where the engine allows it,
// remembers the certificate for that host and loads the page again, which
// then shows a warning strip for as long as it is on that host.
class TCertificateGuard : public QObject
{
    Q_OBJECT

public:
    // configPath: config.ini, with the security settings and the user's choices.
    TCertificateGuard(const QString& configPath, const QString& serviceHost, QObject* parent = nullptr);

    // The engine's question for view: true lets the load go on.
    bool Decide(TChromium* view, const TCertificateError& error);

Q_SIGNALS:
    // view shows, or no longer shows, a page of a host whose certificate
    // the user chose to accept.
    void WarningChanged(TChromium* view, bool shown);

private:
    TCertificateGuard(const QString& configPath, const QString& serviceHost, const TSecurityOptions& security,
                      QObject* parent);
    void Cover(TChromium* view, const TCertificateError& error, const QString& fingerprint);
    void Warn(TChromium* view, const QString& host);
    // Cover and warning leave once the view is on another host.
    // left runs then, while the view is still there.
    void FollowHost(TChromium* view, QWidget* shown, const QString& host, const std::function<void()>& left = nullptr);

    TCertificatePolicy FPolicy;
};
