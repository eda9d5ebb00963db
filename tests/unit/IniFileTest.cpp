#include "config/IniFile.h"
#include "config/IniText.h"
#include "util/AppError.h"

#include "TestSupport.h"

#include <QDir>

#include <gtest/gtest.h>

namespace {

struct TReadCase
{
    const char* Name;
    QByteArray Text;
    QByteArray Section;
    QByteArray Key;
    std::optional<QByteArray> Expected;
};

TEST(IniText, ReadsValuesByTheProfileRules)
{
    const TReadCase cases[] = {
        {"plain", "[SYSTEM]\r\nHANDLE=42\r\n", "SYSTEM", "HANDLE", "42"},
        {"names ignore case", "[system]\r\nhandle=7\r\n", "SYSTEM", "HANDLE", "7"},
        {"spaces around names and value", "  [ WIN ]\n  LEFT  =  12  \n", "WIN", "LEFT", "12"},
        {"quotes removed", "[A]\nK=\"x y\"\n", "A", "K", "x y"},
        {"empty value", "[A]\nK=\n", "A", "K", ""},
        {"missing key", "[A]\nJ=1\n", "A", "K", std::nullopt},
        {"missing section", "[B]\nK=1\n", "A", "K", std::nullopt},
        {"key of another section", "[B]\nK=1\n[A]\nJ=2\n", "A", "K", std::nullopt},
        {"first key wins", "[A]\nK=1\nK=2\n", "A", "K", "1"},
        {"first section wins", "[A]\nJ=1\n[A]\nK=2\n", "A", "K", std::nullopt},
        {"no final line break", "[A]\nK=last", "A", "K", "last"},
        {"CR-only line ends", "[A]\rJ=1\rK=2\r", "A", "K", "2"},
        {"byte order mark", "\xEF\xBB\xBF[A]\nK=3\n", "A", "K", "3"},
        {"value with equals", "[A]\nK=a=b\n", "A", "K", "a=b"},
        {"line without equals ignored", "[A]\nK\nK=5\n", "A", "K", "5"},
        {"empty file", "", "A", "K", std::nullopt},
        {"binary junk around", QByteArray("\x00\xFF\xFE[\x01]\n", 7) + "[A]\nK=9\n", "A", "K", "9"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(IniText::FindValue(c.Text, c.Section, c.Key), c.Expected) << c.Name;
}

TEST(IniText, LongLinesAndBinaryDoNotBreakReading)
{
    const QByteArray longValue(1 << 20, 'v');
    QByteArray text = "[A]\n" + QByteArray(100000, '\xC3') + "\nK=" + longValue + "\n";
    EXPECT_EQ(IniText::FindValue(text, "A", "K"), longValue);
    QByteArray noise;
    for (int i = 0; i < 4096; ++i)
        noise += static_cast<char>((i * 131) & 0xFF);
    EXPECT_FALSE(IniText::FindValue(noise, "SYSTEM", "HANDLE").has_value());
    EXPECT_EQ(IniText::FindValue(IniText::SetValue(noise, "SYSTEM", "HANDLE", "5"), "SYSTEM", "HANDLE"), "5");
}

struct TWriteCase
{
    const char* Name;
    QByteArray Before;
    QByteArray Section;
    QByteArray Key;
    QByteArray Value;
    QByteArray After;
};

TEST(IniText, WritesChangeOnlyTheirOwnKey)
{
    const TWriteCase cases[] = {
        {"new file", "", "SYSTEM", "HANDLE", "5", "[SYSTEM]\nHANDLE=5\n"},
        {"replace keeps the key's spelling", "; note\r\n[system]\r\n  Handle = 1 \r\nX=y\r\n", "SYSTEM", "HANDLE", "22",
         "; note\r\n[system]\r\n  Handle =22\r\nX=y\r\n"},
        {"add key after the section's last value", "[A]\nK=1\n\n[B]\nZ=0\n", "A", "N", "2", "[A]\nK=1\nN=2\n\n[B]\nZ=0\n"},
        {"add section at the end", "[A]\r\nK=1\r\n", "WIN", "LEFT", "0", "[A]\r\nK=1\r\n[WIN]\r\nLEFT=0\r\n"},
        {"no final line break", "[A]\nK=1", "A", "N", "2", "[A]\nK=1\nN=2\n"},
        {"no final line break, new section", "[A]\nK=1", "B", "N", "2", "[A]\nK=1\n[B]\nN=2\n"},
        {"duplicate section: the first is written", "[A]\nK=1\n[A]\nK=2\n", "A", "K", "3", "[A]\nK=3\n[A]\nK=2\n"},
        {"CR-only file keeps CR", "[A]\rK=1\r", "A", "N", "2", "[A]\rK=1\rN=2\r"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(IniText::SetValue(c.Before, c.Section, c.Key, c.Value), c.After) << c.Name;
}

TEST(IniText, ListsASectionAndRemovesOnlyTheKeyRead)
{
    const QByteArray text = "[A]\r\nx=1\r\n; note\r\n Y = \"two\" \r\nX=3\r\nnot a value\r\n=4\r\n[B]\r\nz=5\r\n[a]\r\nw=6";
    using TValues = std::vector<std::pair<QByteArray, QByteArray>>;
    // The first section of the name, the first of a key twice, no empty keys.
    EXPECT_EQ(IniText::SectionValues(text, "a"), (TValues{{"x", "1"}, {"Y", "two"}}));
    EXPECT_EQ(IniText::SectionValues(text, "C"), TValues{});
    EXPECT_EQ(IniText::SectionValues("", "A"), TValues{});

    EXPECT_EQ(IniText::RemoveValue(text, "A", "X"),
              "[A]\r\n; note\r\n Y = \"two\" \r\nX=3\r\nnot a value\r\n=4\r\n[B]\r\nz=5\r\n[a]\r\nw=6");
    EXPECT_EQ(IniText::RemoveValue(text, "B", "x"), text);
    EXPECT_EQ(IniText::RemoveValue(text, "C", "x"), text);
    EXPECT_EQ(IniText::RemoveValue("[A]\nK=1\nL=2", "A", "L"), "[A]\nK=1\n");
    // Read back, the removed key is gone and the next of its name shows.
    EXPECT_EQ(IniText::FindValue(IniText::RemoveValue(text, "A", "x"), "A", "x"), QByteArray("3"));
}

TEST(IniText, IntegerRules)
{
    const struct
    {
        const char* Text;
        int Expected;
    } cases[] = {
        {"0", 0}, {"42", 42}, {"-17", -17}, {"+8", 8}, {"0x20", 32}, {"0X1f", 31}, {"$10", 16},
        {"-$10", -16}, {"$FFFFFFFF", -1}, {"2147483647", 2147483647}, {"-2147483648", -2147483647 - 1},
        {"2147483648", 99}, {"0x", 99}, {"$", 99}, {"abc", 99}, {"", 99}, {"12abc", 99}, {"1 2", 99},
        {"0x1FFFFFFFF", 99}, {"-", 99}, {"0xG", 99}, {"١٢", 99},
    };
    for (const auto& c : cases)
        EXPECT_EQ(IniText::ParseInteger(QString::fromUtf8(c.Text), 99), c.Expected) << c.Text;
}

TEST(IniFile, RoundTripOnDiskKeepsOtherContent)
{
    TScratchDir dir;
    const QString path = dir.File(QStringLiteral("config.ini"));
    const TIniFile ini(path);
    EXPECT_EQ(ini.ReadString(QStringLiteral("SYSTEM"), QStringLiteral("HANDLE"), QStringLiteral("d")), QStringLiteral("d"));
    EXPECT_EQ(ini.ReadInteger(QStringLiteral("SYSTEM"), QStringLiteral("HANDLE"), 7), 7);

    WriteBytes(path, "[Other]\r\nkeep=yes\r\n; comment\r\n");
    ini.WriteInteger(QStringLiteral("SYSTEM"), QStringLiteral("HANDLE"), -5);
    ini.WriteString(QStringLiteral("SYSTEM"), QStringLiteral("NAME"), QStringLiteral("中文"));
    EXPECT_EQ(ReadBytes(path), QByteArray("[Other]\r\nkeep=yes\r\n; comment\r\n[SYSTEM]\r\nHANDLE=-5\r\nNAME=") +
                                   QStringLiteral("中文").toUtf8() + "\r\n");
    EXPECT_EQ(ini.ReadInteger(QStringLiteral("system"), QStringLiteral("handle"), 0), -5);
    EXPECT_EQ(ini.ReadString(QStringLiteral("SYSTEM"), QStringLiteral("NAME"), {}), QStringLiteral("中文"));
    // Nothing but the file itself is left in the folder.
    EXPECT_EQ(QDir(dir.Path()).entryList(QDir::Files | QDir::Hidden), QStringList{QStringLiteral("config.ini")});
}

TEST(IniFile, FailedWriteRaisesWithFullPathAndKeepsTheOldFile)
{
    TScratchDir dir;
    // A folder where the file should be: no user, not even root, can write it.
    const QString blocked = dir.File(QStringLiteral("config.ini"));
    ASSERT_TRUE(QDir().mkpath(blocked));
    try {
        TIniFile(blocked).WriteString(QStringLiteral("SYSTEM"), QStringLiteral("HANDLE"), QStringLiteral("1"));
        FAIL() << "no error raised";
    } catch (const EAppError& error) {
        EXPECT_EQ(error.Message(), QStringLiteral("Unable to write to ") + blocked);
    }
    EXPECT_EQ(TIniFile(blocked).ReadInteger(QStringLiteral("SYSTEM"), QStringLiteral("HANDLE"), 3), 3);

    // A missing folder fails the same way.
    const QString missing = dir.File(QStringLiteral("no/such/config.ini"));
    EXPECT_THROW(TIniFile(missing).WriteInteger(QStringLiteral("A"), QStringLiteral("B"), 1), EAppError);
}

} // namespace
