#include "CommandLine.h"
#include "core/Global.h"
#include "service/ServiceHost.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

namespace {

TEST(ServiceHost, AcceptsHostsAndPortsOnly)
{
    for (const char* good : {"erp.example.com", "erp.example.com:8080", "127.0.0.1", "127.0.0.1:8765", "localhost",
                             "a-b.c1", "[::1]", "[::1]:9001", "[2001:db8::7]:80", "host:65535", "host:1"}) {
        EXPECT_EQ(ParseServiceHost(QString::fromUtf8(good)), QString::fromUtf8(good)) << good;
    }
    const QString tooLong = QString(10000, QLatin1Char('a'));
    const QString longLabel = QString(64, QLatin1Char('a')) + QStringLiteral(".com");
    for (const QString& bad : {
             QStringLiteral(""), QStringLiteral("http://erp.example.com"), QStringLiteral("erp.example.com/path"),
             QStringLiteral("user@erp.example.com"), QStringLiteral("erp example.com"), QStringLiteral(" erp.com"),
             QStringLiteral("erp.com "), QStringLiteral("erp.com\t"), QStringLiteral("房产.example.com"),
             QStringLiteral("erp.com:"), QStringLiteral("erp.com:0"), QStringLiteral("erp.com:65536"),
             QStringLiteral("erp.com:80a"), QStringLiteral("erp.com:123456"), QStringLiteral("erp.com:80:81"),
             QStringLiteral("::1"), QStringLiteral("[::1"), QStringLiteral("[::1]x"), QStringLiteral("[zz::1]"),
             QStringLiteral("[fe80::1%eth0]"), QStringLiteral("[127.0.0.1]"), QStringLiteral("erp..com"),
             QStringLiteral(".erp.com"), QStringLiteral("erp.com."), QStringLiteral("-erp.com"),
             QStringLiteral("erp.com?x=1"), QStringLiteral("erp.com#x"), QStringLiteral("erp.com\\x"), tooLong,
             longLabel}) {
        EXPECT_FALSE(ParseServiceHost(bad).has_value()) << bad.left(40).toStdString();
    }
}

TEST(ServiceHost, ConfigOverridesTheBuiltInHostOnlyWhenValid)
{
    TScratchDir dir;
    const QString config = dir.File(QStringLiteral("config.ini"));
    const QString builtIn = QStringLiteral("127.0.0.1:8765");
    struct TCase
    {
        QByteArray Text;
        QString Expected;
    };
    const TCase cases[] = {
        {"", builtIn},
        {"[SYSTEM]\nHANDLE=5\n", builtIn},
        {"[SYSTEM]\nServiceHost=erp.example.com:8080\n", QStringLiteral("erp.example.com:8080")},
        {"[system]\r\nservicehost = 10.0.0.5\r\n", QStringLiteral("10.0.0.5")},
        {"[SYSTEM]\nServiceHost=\n", builtIn},
        {"[SYSTEM]\nServiceHost=https://erp.example.com/\n", builtIn},
        {"[SYSTEM]\nServiceHost=erp example\n", builtIn},
        {"[OTHER]\nServiceHost=erp.example.com\n", builtIn},
    };
    EXPECT_EQ(ConfiguredServiceHost(config, builtIn), builtIn); // no file at all
    for (const TCase& c : cases) {
        WriteBytes(config, c.Text);
        EXPECT_EQ(ConfiguredServiceHost(config, builtIn), c.Expected) << c.Text.constData();
    }
}

TEST(ServiceHost, EveryAddressUsesTheChosenHost)
{
    const QString builtIn = BuiltInServiceHost();
    EXPECT_EQ(ServiceHost(), builtIn);
    SetServiceHost(QStringLiteral("erp.example.com:8080"));
    EXPECT_EQ(ServiceUrl(QStringLiteral("/ver/ver.html")), QStringLiteral("http://erp.example.com:8080/ver/ver.html"));
    SetServiceHost(builtIn);
    EXPECT_EQ(ServiceUrl(QStringLiteral("/")), QStringLiteral("http://") + builtIn + QStringLiteral("/"));
}

TEST(CommandLine, VersionAndHelpAnswerEverythingElseStarts)
{
    struct TCase
    {
        std::vector<const char*> Args;
        const char* Starts; // expected start of the answer, or nullptr to start the program
    };
    const TCase cases[] = {
        {{"VelmarERP"}, nullptr},
        {{"VelmarERP", "--unknown", "x"}, nullptr},
        {{"VelmarERP", "-version"}, nullptr},
        {{"VelmarERP", "--version"}, "VelmarERP 1.0.0.2"},
        {{"VelmarERP", "x", "--help"}, "用法：velmar-erp"},
        {{"VelmarERP", "--help", "--version"}, "用法："},
        {{"VelmarERP", "--version", "--help"}, "VelmarERP "},
    };
    for (const TCase& c : cases) {
        const std::optional<QByteArray> answer = CommandLineAnswer(static_cast<int>(c.Args.size()), c.Args.data());
        ASSERT_EQ(answer.has_value(), c.Starts != nullptr) << c.Args.back();
        if (answer) {
            EXPECT_TRUE(answer->startsWith(c.Starts)) << answer->constData();
        }
    }
    // A build for the demo service says so; one for a real service does not.
    const QByteArray demo = IsDemoBuild() ? QStringLiteral("（演示版：服务地址 %1，仅供试用）").arg(BuiltInServiceHost()).toUtf8()
                                          : QByteArray();
    EXPECT_EQ(*CommandLineAnswer(2, std::vector<const char*>{"x", "--version"}.data()),
              QByteArray("VelmarERP ") + ClientVersion + demo + '\n');
}

} // namespace
