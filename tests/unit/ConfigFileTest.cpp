#include "config/ConfigFile.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

namespace {

TEST(ConfigFile, DefaultsWithoutAFile)
{
    TScratchDir dir;
    const TConfigFile config(dir.File(QStringLiteral("config.ini")));
    EXPECT_EQ(config.ReadHandle(), 0);
    const TUserOptions options = config.ReadOptions();
    EXPECT_TRUE(options.AutoStart);
    EXPECT_TRUE(options.SoundHint);
    EXPECT_TRUE(options.PopupHint);
    const TWindowPlacement placement = config.ReadPlacement(QSize(1920, 1040));
    EXPECT_EQ(placement.Left, 0);
    EXPECT_EQ(placement.Top, 0);
    EXPECT_EQ(placement.Right, 1920);
    EXPECT_EQ(placement.Bottom, 1040);
    EXPECT_EQ(placement.State, 2);
}

TEST(ConfigFile, FlagIsOnOnlyForTheTextOne)
{
    const struct
    {
        QByteArray Line;
        bool On;
    } cases[] = {
        {"AUTOSTART=1", true}, {"AUTOSTART=0", false}, {"AUTOSTART=", false}, {"AUTOSTART=true", false},
        {"AUTOSTART=01", false}, {"AUTOSTART= 1 ", true}, {"OTHER=0", true},
    };
    TScratchDir dir;
    const QString path = dir.File(QStringLiteral("config.ini"));
    for (const auto& c : cases) {
        WriteBytes(path, "[SYSTEM]\r\n" + c.Line + "\r\n");
        EXPECT_EQ(TConfigFile(path).ReadOptions().AutoStart, c.On) << c.Line.constData();
    }
}

TEST(ConfigFile, SecuritySettingsAreOffUnlessWrittenValid)
{
    const struct
    {
        QByteArray Lines;
        std::optional<int> Port;
        bool IgnoreCertificates;
    } cases[] = {
        {"", std::nullopt, false},
        {"RemoteDebuggingPort=9000\r\nIgnoreCertificateErrors=1", 9000, true},
        {"RemoteDebuggingPort=0", 0, false},
        {"RemoteDebuggingPort= 65535 ", 65535, false},
        {"RemoteDebuggingPort=65536", std::nullopt, false},
        {"RemoteDebuggingPort=-1", std::nullopt, false},
        {"RemoteDebuggingPort=+9000", std::nullopt, false},
        {"RemoteDebuggingPort=9000x", std::nullopt, false},
        {"IgnoreCertificateErrors=", std::nullopt, false},
        {"IgnoreCertificateErrors=true", std::nullopt, false},
    };
    TScratchDir dir;
    const QString path = dir.File(QStringLiteral("config.ini"));
    for (const auto& c : cases) {
        WriteBytes(path, "[SECURITY]\r\n" + c.Lines + "\r\n[SYSTEM]\r\nRemoteDebuggingPort=1\r\n");
        const TSecurityOptions options = TConfigFile(path).ReadSecurity();
        EXPECT_EQ(options.RemoteDebuggingPort, c.Port) << c.Lines.constData();
        EXPECT_EQ(options.IgnoreCertificateErrors, c.IgnoreCertificates) << c.Lines.constData();
    }
}

TEST(ConfigFile, PlacementAndOptionsAreWrittenInOrderBesideOtherKeys)
{
    TScratchDir dir;
    const QString path = dir.File(QStringLiteral("config.ini"));
    WriteBytes(path, "[SYSTEM]\nHANDLE=77\nCUSTOM=x\n[WIN]\nLEFT=abc\nTOP=0x20\n");
    const TConfigFile config(path);
    const TWindowPlacement read = config.ReadPlacement(QSize(800, 600));
    EXPECT_EQ(read.Left, 0);  // abc does not parse
    EXPECT_EQ(read.Top, 32);  // hexadecimal

    config.WritePlacement({10, 20, 650, 520, 0});
    config.WriteOptions({false, true, false});
    EXPECT_EQ(ReadBytes(path), QByteArray("[SYSTEM]\nHANDLE=77\nCUSTOM=x\nAUTOSTART=0\nSOUNDHINT=1\nPOPUPHINT=0\n"
                                          "[WIN]\nLEFT=10\nTOP=20\nRIGHT=650\nBOTTOM=520\nSTATE=0\n"));
    const TWindowPlacement back = config.ReadPlacement(QSize(800, 600));
    EXPECT_EQ(back.Right - back.Left, 640);
    EXPECT_EQ(back.Bottom - back.Top, 500);
    EXPECT_EQ(back.State, 0);
    EXPECT_FALSE(config.ReadOptions().AutoStart);

    config.WriteHandle(0x1C00007);
    EXPECT_EQ(config.ReadHandle(), 0x1C00007);
}

} // namespace
