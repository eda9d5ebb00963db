#include "platform/MachineInfo.h"
#include "service/Fingerprint.h"

#include "TestSupport.h"

#include <QDir>
#include <QRegularExpression>

#include <unistd.h>

#include <gtest/gtest.h>

namespace {

QStringList Lines(const char* text)
{
    return QString::fromUtf8(text).split(QStringLiteral("\r\n"));
}

const char kIpconfigEnglish[] =
    "\r\nWindows IP Configuration\r\n\r\n"
    "   Host Name . . . . . . . . . . . . : PC01\r\n"
    "   Primary Dns Suffix  . . . . . . . : \r\n\r\n"
    "Ethernet adapter Local Area Connection:\r\n\r\n"
    "   Connection-specific DNS Suffix  . : \r\n"
    "   Description . . . . . . . . . . . : Intel(R) PRO/1000 MT Network Connection\r\n"
    "   Physical Address. . . . . . . . . : 00-1A-2B-3C-4D-5E\r\n"
    "   DHCP Enabled. . . . . . . . . . . : Yes\r\n"
    "   IPv4 Address. . . . . . . . . . . : 10.0.0.5(Preferred)\r\n\r\n"
    "Wireless LAN adapter Wi-Fi:\r\n\r\n"
    "   Physical Address. . . . . . . . . : a4-5e-60-c1-22-33\r\n\r\n"
    "Ethernet adapter Bridge:\r\n\r\n"
    "   Physical Address. . . . . . . . . : 00-1a-2b-3c-4d-5e\r\n\r\n"
    "Tunnel adapter isatap.{4E2F}:\r\n\r\n"
    "   Physical Address. . . . . . . . . : 00-00-00-00-00-00-00-E0\r\n\r\n"
    "Tunnel adapter Teredo:\r\n\r\n"
    "   Physical Address. . . . . . . . . : \r\n";

const char kIpconfigChinese[] =
    "\r\nWindows IP 配置\r\n\r\n"
    "   主机名  . . . . . . . . . . . . . : 办公室电脑\r\n\r\n"
    "以太网适配器 本地连接:\r\n\r\n"
    "   描述. . . . . . . . . . . . . . . : Realtek PCIe GBE Family Controller\r\n"
    "   物理地址. . . . . . . . . . . . . : 6C-62-6D-AA-BB-CC\r\n"
    "   DHCP 已启用 . . . . . . . . . . . : 是\r\n\r\n"
    "无线局域网适配器 无线网络连接:\r\n\r\n"
    "   物理地址. . . . . . . . . . . . . : 6C-62-6D-AA-BB-CD\r\n";

TEST(Fingerprint, AdapterAddressesFromToolOutput)
{
    const struct
    {
        const char* Name;
        QStringList Lines;
        QStringList Expected;
    } cases[] = {
        {"English, duplicates and a tunnel", Lines(kIpconfigEnglish),
         {"00:1A:2B:3C:4D:5E", "a4:5e:60:c1:22:33", "00:00:00:00:00:00:00:E0"}},
        {"Chinese", Lines(kIpconfigChinese), {"6C:62:6D:AA:BB:CC", "6C:62:6D:AA:BB:CD"}},
        {"no adapter lines", Lines("Windows IP Configuration\r\n\r\nCreatePipe error"), {}},
        {"label without colon", {QStringLiteral("Physical Address. . . . 00-11-22-33-44-55")},
         {"Address....00:11:22:33:44:55"}},
        {"label alone", {QStringLiteral("Physical Address")}, {"Address"}},
        {"label with nothing after the colon", {QStringLiteral("  Physical Address. . . : \t ")}, {}},
        {"case-sensitive label", {QStringLiteral("physical address: 00-11-22-33-44-55")}, {}},
    };
    for (const auto& c : cases) {
        QStringList lines = c.Lines;
        ExtractMacAddresses(lines);
        EXPECT_EQ(lines, c.Expected) << c.Name;
    }
}

TEST(Fingerprint, FirstArpEntry)
{
    const char english[] = "\r\nInterface: 10.0.0.5 --- 0xb\r\n"
                           "  Internet Address      Physical Address      Type\r\n"
                           "  10.0.0.1              00-11-22-33-44-55     dynamic\r\n"
                           "  10.0.0.255            ff-ff-ff-ff-ff-ff     static\r\n";
    const char chinese[] = "\r\n接口: 192.168.1.8 --- 0x4\r\n"
                           "  Internet 地址         物理地址              类型\r\n"
                           "  192.168.1.1           c8-3a-35-01-02-03     动态\r\n";
    const struct
    {
        const char* Name;
        QStringList Lines;
        QString Expected;
    } cases[] = {
        {"English", Lines(english), QStringLiteral("00-11-22-33-44-55")},
        {"Chinese", Lines(chinese), QStringLiteral("c8-3a-35-01-02-03")},
        {"three lines", Lines("\r\nInterface: 10.0.0.5 --- 0xb\r\n  Internet Address"), {}},
        {"two fields only", {"", "i", "h", "  10.0.0.1  00-11-22-33-44-55  "}, {}},
        {"one field", {"", "i", "h", "10.0.0.1"}, {}},
        {"no entries", Lines("\r\nNo ARP Entries Found.\r\n"), {}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(FirstArpAddress(c.Lines), c.Expected) << c.Name;
}

TEST(Fingerprint, ThisMachineInTheQueryForms)
{
    const TMachineFingerprint fingerprint = ReadMachineFingerprint();
    char host[256] = {};
    ::gethostname(host, sizeof(host) - 1);
    EXPECT_EQ(fingerprint.ComputerName, QString::fromLocal8Bit(host));
    EXPECT_TRUE(fingerprint.IpOut.isEmpty());
    EXPECT_FALSE(fingerprint.IpIn.isEmpty());

    // Every non-loopback adapter with an address shows up, upper case, colons.
    QStringList expected;
    for (const QString& name : QDir(QStringLiteral("/sys/class/net")).entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        const QString address = QString::fromLatin1(ReadBytes(QStringLiteral("/sys/class/net/%1/address").arg(name)))
                                    .trimmed()
                                    .toUpper();
        if (name != QLatin1String("lo") && !address.isEmpty() && address.count(QLatin1Char('0')) + 5 != address.size() &&
            !expected.contains(address))
            expected << address;
    }
    QStringList actual = fingerprint.MacAddress.split(QLatin1Char(';'), Qt::SkipEmptyParts);
    std::sort(actual.begin(), actual.end());
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(actual, expected);
    if (!fingerprint.RT.isEmpty()) {
        EXPECT_TRUE(QRegularExpression(QStringLiteral("^[0-9a-f]{2}(-[0-9a-f]{2})+$")).match(fingerprint.RT).hasMatch());
    }
}

TEST(Fingerprint, IpListForm)
{
    EXPECT_EQ(LocalIpAddresses({}), QStringLiteral(" "));
    EXPECT_EQ(LocalIpAddresses({QStringLiteral("10.0.0.5")}), QStringLiteral("10.0.0.5"));
    EXPECT_EQ(LocalIpAddresses({QStringLiteral("10.0.0.5"), QStringLiteral("192.168.1.8")}),
              QStringLiteral("10.0.0.5, 192.168.1.8"));
}

} // namespace
