#include "EngineStart.h"
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
    for (const char* option : {"--ignore-certificate-errors", "--lang=zh-CN", "--disable-logging", "--log-level=3"})
        EXPECT_TRUE(flags.split(' ').contains(option)) << option;
    EXPECT_EQ(EnvValue(environment, "QTWEBENGINE_REMOTE_DEBUGGING"),
              VELMAR_REMOTE_DEBUGGING_PORT ? "127.0.0.1:" + QByteArray::number(VELMAR_REMOTE_DEBUGGING_PORT)
                                           : QByteArray("<absent>"));
    EXPECT_EQ(EnvValue(environment, "QTWEBENGINE_DISABLE_SANDBOX"), "<absent>");

    const auto asRoot = EngineEnvironment(BuildEngineSettings(QStringLiteral("/opt/velmar/"), true), {});
    EXPECT_EQ(EnvValue(asRoot, "QTWEBENGINE_DISABLE_SANDBOX"), "1");
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
