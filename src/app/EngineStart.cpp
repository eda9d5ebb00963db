#include "EngineStart.h"

#include "util/RegistryHelpers.h"

TEngineSettings BuildEngineSettings(const QString& appDir, bool runningAsRoot, const TSecurityOptions& security,
                                   const TNetworkOptions& network)
{
    TEngineSettings settings;
    settings.CachePath = appDir + QStringLiteral("cache");
    settings.Locale = QStringLiteral("zh-CN");
    // The build's port (none in a package) unless the user chose one: any
    // local account can drive the session through it.
    settings.RemoteDebuggingPort = security.RemoteDebuggingPort.value_or(VELMAR_REMOTE_DEBUGGING_PORT);
    settings.LoggingDisabled = true;
    // Certificates are checked unless the user chose otherwise.
    settings.IgnoreCertificateErrors = security.IgnoreCertificateErrors;
    using M = TNetworkOptions::TProxyMode;
    settings.ProxyDirect = network.ProxyMode == M::Direct;
    if (network.ProxyMode == M::Manual) {
        settings.ProxyServer = network.ProxyServer;
        settings.ProxyBypass = network.ProxyBypass;
    }
    if (network.ProxyMode == M::Pac)
        settings.PacUrl = network.PacUrl;
    settings.NegotiateHosts = network.NegotiateHosts;
    // The engine's sandbox cannot start as root; everywhere else it stays on.
    settings.DisableSandbox = runningAsRoot;
    return settings;
}

QStringList BuildPluginPaths(const QString& appDir)
{
#ifdef Q_OS_WIN
    QStringList paths{appDir + QStringLiteral("Win32\\PepperFlash\\pepflashplayer.dll")};
#else
    QStringList paths{appDir + QStringLiteral("PepperFlash/libpepflashplayer.so")};
#endif
    paths += GetMozillaPluginPaths();
    return paths;
}

QByteArray ChosenPlatform(const QByteArray& qpaPlatform, const QByteArray& waylandDisplay, const QByteArray& display,
                          const QStringList& arguments)
{
    if (!qpaPlatform.isEmpty() || waylandDisplay.isEmpty() || display.isEmpty())
        return {};
    for (const QString& argument : arguments)
        if (argument == QLatin1String("-platform") || argument == QLatin1String("--platform"))
            return {};
    return QByteArrayLiteral("xcb");
}
