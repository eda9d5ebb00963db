#pragma once

#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>

// Everything the engine is started with, fixed before it starts.
struct TEngineSettings
{
    QString CachePath;            // cache and cookies persist here between runs
    QString Locale = QStringLiteral("zh-CN");
    int RemoteDebuggingPort = 9000;
    QString RemoteDebuggingAddress = QStringLiteral("127.0.0.1");
    bool LoggingDisabled = true;
    bool IgnoreCertificateErrors = false;
    // The proxy: empty ProxyServer and PacUrl and ProxyDirect false leave it
    // to the desktop's settings.
    bool ProxyDirect = false;
    QString ProxyServer;
    QString ProxyBypass;
    QString PacUrl;
    // Hosts that may sign in with the desktop's Kerberos ticket.
    QString NegotiateHosts;
    bool DisableSandbox = false;  // only when running as root, where the sandbox cannot start
    bool LogPageErrors = false;   // pages' console errors go to the program's log
};

// The engine's switches and the environment entries that carry them to an
// engine that reads its start options from the environment.
QStringList EngineSwitches(const TEngineSettings& settings);
QList<QPair<QByteArray, QByteArray>> EngineEnvironment(const TEngineSettings& settings, const QByteArray& inheritedFlags);
