#include "engine/EngineSettings.h"

QStringList EngineSwitches(const TEngineSettings& settings)
{
    QStringList switches;
    if (settings.IgnoreCertificateErrors)
        switches << QStringLiteral("--ignore-certificate-errors");
    if (settings.ProxyDirect) {
        switches << QStringLiteral("--no-proxy-server");
    } else if (!settings.ProxyServer.isEmpty()) {
        switches << QStringLiteral("--proxy-server=") + settings.ProxyServer;
        if (!settings.ProxyBypass.isEmpty())
            switches << QStringLiteral("--proxy-bypass-list=") + settings.ProxyBypass;
    } else if (!settings.PacUrl.isEmpty()) {
        switches << QStringLiteral("--proxy-pac-url=") + settings.PacUrl;
    }
    // The engine's Chromium still spells it "whitelist".
    if (!settings.NegotiateHosts.isEmpty())
        switches << QStringLiteral("--auth-server-whitelist=") + settings.NegotiateHosts;
    if (!settings.Locale.isEmpty())
        switches << QStringLiteral("--lang=") + settings.Locale;
    if (settings.LoggingDisabled)
        switches << QStringLiteral("--disable-logging") << QStringLiteral("--log-level=3");
    return switches;
}

QList<QPair<QByteArray, QByteArray>> EngineEnvironment(const TEngineSettings& settings, const QByteArray& inheritedFlags)
{
    QList<QPair<QByteArray, QByteArray>> environment;
    QByteArray flags = inheritedFlags.trimmed();
    for (const QString& option : EngineSwitches(settings)) {
        if (!flags.isEmpty())
            flags += ' ';
        flags += option.toUtf8();
    }
    environment.append({QByteArray("QTWEBENGINE_CHROMIUM_FLAGS"), flags});
    if (settings.RemoteDebuggingPort > 0) {
        // An explicit loopback address: the debugging port must never be
        // reachable from other machines.
        const QByteArray address =
            settings.RemoteDebuggingAddress.toUtf8() + ':' + QByteArray::number(settings.RemoteDebuggingPort);
        environment.append({QByteArray("QTWEBENGINE_REMOTE_DEBUGGING"), address});
    }
    if (settings.DisableSandbox)
        environment.append({QByteArray("QTWEBENGINE_DISABLE_SANDBOX"), QByteArray("1")});
    return environment;
}
