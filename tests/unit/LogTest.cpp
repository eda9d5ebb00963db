#include "util/Log.h"

#include "TestSupport.h"

#include <QDebug>
#include <QFile>

#include <gtest/gtest.h>

namespace {

TEST(Log, LinesLoseAddressQueriesPasswordsAndCookies)
{
    const struct
    {
        const char* Line;
        const char* Written;
    } cases[] = {
        {"Page load failed: http://127.0.0.1:8765/?ComputerName=PC-01&MacAddress=00:11 -105",
         "Page load failed: http://127.0.0.1:8765/?… -105"},
        {"at https://erp.example/list#token=abc done", "at https://erp.example/list?… done"},
        {"Sign-in for proxy: password=hunter2 user=bob", "Sign-in for proxy: password=… user=bob"},
        {"Header Cookie: SESSION=abcdef; other=1", "Header Cookie: … other=1"},
        {"Authorization: Basic dXNlcjpwYXNz", "Authorization: … dXNlcjpwYXNz"},
        {"two\nlines", "two | lines"},
        {"nothing to hide at http://127.0.0.1:8765/home", "nothing to hide at http://127.0.0.1:8765/home"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ScrubLogLine(QString::fromUtf8(c.Line)), QString::fromUtf8(c.Written)) << c.Line;
}

TEST(Log, MessagesGoToTheFileWhichStartsAnewWhenFull)
{
    TScratchDir dir;
    const QString path = dir.File(QStringLiteral("logs/client.log"));
    ASSERT_TRUE(StartLog(path, 16 * 1024));
    EXPECT_EQ(LogPath(), path);
    qInfo().noquote() << "Start: http://127.0.0.1:8765/?ComputerName=SECRET-PC";
    EXPECT_TRUE(ReadBytes(path).contains("[I] Start: http://127.0.0.1:8765/?…"));
    EXPECT_FALSE(ReadBytes(path).contains("SECRET-PC"));
    EXPECT_EQ(QFile::permissions(path) & (QFileDevice::ReadGroup | QFileDevice::ReadOther), 0);
    const QString filler(200, QLatin1Char('x'));
    for (int i = 0; i < 100; ++i)
        qWarning().noquote() << filler;
    StopLog();
    EXPECT_TRUE(LogPath().isEmpty());
    ASSERT_TRUE(QFile::exists(path + QStringLiteral(".1")));
    EXPECT_LE(QFile(path).size(), 16 * 1024);
    EXPECT_LE(QFile(path + QStringLiteral(".1")).size(), 16 * 1024);
    EXPECT_TRUE(ReadBytes(path).contains("[W] xxxx"));
    // After the stop nothing more is written.
    const qint64 size = QFile(path).size();
    qWarning() << "after the end";
    EXPECT_EQ(QFile(path).size(), size);
}

TEST(Log, AFileThatCannotBeWrittenLeavesTheProgramWithoutALog)
{
    TScratchDir dir;
    WriteBytes(dir.File(QStringLiteral("logs")), "a file where the folder would be");
    EXPECT_FALSE(StartLog(dir.File(QStringLiteral("logs/client.log")), 1024 * 1024));
    EXPECT_TRUE(LogPath().isEmpty());
    StopLog();
}

} // namespace
