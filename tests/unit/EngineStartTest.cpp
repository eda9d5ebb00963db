#include "EngineStart.h"
#include "config/ConfigFile.h"
#include "util/EnvironmentOverride.h"
#include "util/RegistryHelpers.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

namespace {

QByteArray EnvValue(const QList<QPair<QByteArray, QByteArray>>& environment, const QByteArray& name)
{
    for (const auto& [key, value] : environment)
        if (key == name)
            return value;
    return "<absent>";
}

TEST(EngineStart, SettingsCarryEveryStartOption)
{
    const TEngineSettings settings = BuildEngineSettings(QStringLiteral("/opt/velmar/"), false);
    EXPECT_EQ(settings.CachePath, QStringLiteral("/opt/velmar/cache"));

    const auto environment = EngineEnvironment(settings, "--enable-foo");
    const QByteArray flags = EnvValue(environment, "QTWEBENGINE_CHROMIUM_FLAGS");
    EXPECT_TRUE(flags.startsWith("--enable-foo ")) << flags.constData(); // what the user had stays
    for (const char* option : {"--lang=zh-CN", "--disable-logging", "--log-level=3"})
        EXPECT_TRUE(flags.split(' ').contains(option)) << option;
    EXPECT_FALSE(flags.contains("--ignore-certificate-errors")); // certificates are checked
    EXPECT_EQ(EnvValue(environment, "QTWEBENGINE_REMOTE_DEBUGGING"),
              VELMAR_REMOTE_DEBUGGING_PORT ? "127.0.0.1:" + QByteArray::number(VELMAR_REMOTE_DEBUGGING_PORT)
                                           : QByteArray("<absent>"));
    EXPECT_EQ(EnvValue(environment, "QTWEBENGINE_DISABLE_SANDBOX"), "<absent>");

    const auto asRoot = EngineEnvironment(BuildEngineSettings(QStringLiteral("/opt/velmar/"), true), {});
    EXPECT_EQ(EnvValue(asRoot, "QTWEBENGINE_DISABLE_SANDBOX"), "1");

    // The user's own choices: a port (or none), every certificate accepted.
    TSecurityOptions security;
    security.RemoteDebuggingPort = 9333;
    security.IgnoreCertificateErrors = true;
    const auto chosen = EngineEnvironment(BuildEngineSettings(QStringLiteral("/opt/velmar/"), false, security), {});
    EXPECT_EQ(EnvValue(chosen, "QTWEBENGINE_REMOTE_DEBUGGING"), "127.0.0.1:9333");
    EXPECT_TRUE(EnvValue(chosen, "QTWEBENGINE_CHROMIUM_FLAGS").split(' ').contains("--ignore-certificate-errors"));
    security.RemoteDebuggingPort = 0;
    const auto closed = EngineEnvironment(BuildEngineSettings(QStringLiteral("/opt/velmar/"), false, security), {});
    EXPECT_EQ(EnvValue(closed, "QTWEBENGINE_REMOTE_DEBUGGING"), "<absent>");
}

TEST(EngineStart, ProxyAndSignInSettingsBecomeTheEnginesSwitches)
{
    const struct
    {
        const char* Config;
        QStringList Switches; // the network switches, in order
    } cases[] = {
        {"", {}}, // the desktop's proxy
        {"[PROXY]\nMode=system\nServer=proxy:3128\n", {}},
        {"[PROXY]\nMode=direct\nServer=proxy:3128\n", {"--no-proxy-server"}},
        {"[PROXY]\nMode=Manual\nServer=proxy.corp:3128\nBypass=*.corp.local, 10.0.0.0/8\n",
         {"--proxy-server=proxy.corp:3128", "--proxy-bypass-list=*.corp.local;10.0.0.0/8"}},
        {"[PROXY]\nMode=manual\nServer=http=a:80;https=b:443\n", {"--proxy-server=http=a:80;https=b:443"}},
        {"[PROXY]\nMode=manual\n", {}}, // nothing to use: the desktop's
        {"[PROXY]\nMode=pac\nPacUrl=http://wpad.corp/proxy.pac\n", {"--proxy-pac-url=http://wpad.corp/proxy.pac"}},
        {"[PROXY]\nMode=pac\nPacUrl=not an address\n", {}},
        // A value that would end the switch and start another is refused.
        {"[PROXY]\nMode=manual\nServer=proxy:1 --ignore-certificate-errors\n", {"--proxy-server=proxy:1--ignore-certificate-errors"}},
        {"[PROXY]\nMode=manual\nServer=\"a:1\" \\\"\n", {}},
        {"[PROXY]\nMode=socks\n[SIGN_IN]\nNegotiateHosts=*.corp.example; intranet\n",
         {"--auth-server-whitelist=*.corp.example,intranet"}},
    };
    for (const auto& c : cases) {
        TScratchDir dir;
        const QString ini = dir.File(QStringLiteral("config.ini"));
        WriteBytes(ini, c.Config);
        const TEngineSettings settings =
            BuildEngineSettings(QStringLiteral("/opt/velmar/"), false, {}, TConfigFile(ini).ReadNetwork());
        QStringList network;
        for (const QString& option : EngineSwitches(settings))
            if (!option.startsWith(QLatin1String("--lang")) && !option.startsWith(QLatin1String("--disable-logging"))
                && !option.startsWith(QLatin1String("--log-level")))
                network << option;
        EXPECT_EQ(network, c.Switches) << c.Config;
    }

    // Written by the settings window and read back the same.
    TScratchDir dir;
    const QString ini = dir.File(QStringLiteral("config.ini"));
    TNetworkOptions options;
    options.ProxyMode = TNetworkOptions::TProxyMode::Pac;
    options.PacUrl = QStringLiteral("http://wpad/proxy.pac");
    TConfigFile(ini).WriteNetwork(options);
    const TNetworkOptions read = TConfigFile(ini).ReadNetwork();
    EXPECT_EQ(read.ProxyMode, TNetworkOptions::TProxyMode::Pac);
    EXPECT_EQ(read.PacUrl, options.PacUrl);
}

TEST(EngineStart, ProgramsStartedLaterGetTheUsersEnvironment)
{
    qputenv("VELMAR_TEST_HAD", "users value");
    qunsetenv("VELMAR_TEST_NEW");
    qputenv("QTWEBENGINE_CHROMIUM_FLAGS", "--users-flag");
    const TEngineSettings settings = BuildEngineSettings(QStringLiteral("/opt/velmar/"), true);
    // Twice: a program started again from this one must not add the
    // engine's switches a second time.
    for (int start = 0; start < 2; ++start) {
        TEnvironmentOverride environment;
        environment.Set("VELMAR_TEST_HAD", "ours");
        environment.Set("VELMAR_TEST_HAD", "ours again");
        environment.Set("VELMAR_TEST_NEW", "ours");
        for (const auto& [name, value] : EngineEnvironment(settings, qgetenv("QTWEBENGINE_CHROMIUM_FLAGS")))
            environment.Set(name, value);
        EXPECT_EQ(qgetenv("VELMAR_TEST_HAD"), "ours again");
        EXPECT_EQ(qgetenv("QTWEBENGINE_DISABLE_SANDBOX"), "1");
        EXPECT_EQ(qgetenv("QTWEBENGINE_CHROMIUM_FLAGS").count("--lang=zh-CN"), 1);
        environment.Restore();
        EXPECT_EQ(qgetenv("VELMAR_TEST_HAD"), "users value");
        EXPECT_FALSE(qEnvironmentVariableIsSet("VELMAR_TEST_NEW"));
        EXPECT_FALSE(qEnvironmentVariableIsSet("QTWEBENGINE_DISABLE_SANDBOX"));
        EXPECT_FALSE(qEnvironmentVariableIsSet("QTWEBENGINE_REMOTE_DEBUGGING"));
        EXPECT_EQ(qgetenv("QTWEBENGINE_CHROMIUM_FLAGS"), "--users-flag");
        environment.Restore(); // nothing left to give back
        EXPECT_EQ(qgetenv("VELMAR_TEST_HAD"), "users value");
    }
    qunsetenv("VELMAR_TEST_HAD");
    qunsetenv("QTWEBENGINE_CHROMIUM_FLAGS");
}

TEST(EngineStart, PluginListIsFlashFirstThenTheUsersRegistrationsInOrder)
{
    TScratchDir home;
    TEnvGuard homeEnv("HOME", home.Path().chopped(1).toLocal8Bit());
    const QString plugins = home.File(QStringLiteral(".mozilla/plugins"));

    EXPECT_TRUE(GetMozillaPluginPaths().isEmpty()); // no folder at all
    EXPECT_EQ(BuildPluginPaths(QStringLiteral("/opt/velmar/")),
              QStringList{QStringLiteral("/opt/velmar/PepperFlash/libpepflashplayer.so")});

    ASSERT_TRUE(QDir().mkpath(plugins + QStringLiteral("/b-folder")));
    WriteBytes(plugins + QStringLiteral("/c.so"), "x");
    WriteBytes(plugins + QStringLiteral("/a.so"), "x");
    const QStringList expected{plugins + QStringLiteral("/a.so"), QString(), plugins + QStringLiteral("/c.so")};
    EXPECT_EQ(GetMozillaPluginPaths(), expected); // a registration without a file gives an empty entry
    EXPECT_EQ(BuildPluginPaths(QStringLiteral("/p/")).mid(1), expected);
}

} // namespace

namespace {

TEST(EngineStart, RunsOnX11OnAWaylandDesktopUnlessThePlatformWasChosen)
{
    const QStringList none;
    const struct
    {
        const char* Name;
        QByteArray QpaPlatform, WaylandDisplay, Display;
        QStringList Arguments;
        QByteArray Expected;
    } cases[] = {
        {"Wayland desktop with XWayland", {}, "wayland-0", ":0", none, "xcb"},
        {"X11 desktop", {}, {}, ":0", none, {}},
        {"platform chosen", "wayland", "wayland-0", ":0", none, {}},
        {"X11 chosen", "xcb", "wayland-0", ":0", none, {}},
        {"platform argument", {}, "wayland-0", ":0", {QStringLiteral("-platform"), QStringLiteral("wayland")}, {}},
        {"platform argument, two dashes", {}, "wayland-0", ":0", {QStringLiteral("--platform"), QStringLiteral("wayland")}, {}},
        {"other arguments", {}, "wayland-0", ":0", {QStringLiteral("-style"), QStringLiteral("fusion")}, "xcb"},
        {"Wayland without an X server", {}, "wayland-0", {}, none, {}},
        {"no display at all", {}, {}, {}, none, {}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ChosenPlatform(c.QpaPlatform, c.WaylandDisplay, c.Display, c.Arguments), c.Expected) << c.Name;
}

} // namespace
