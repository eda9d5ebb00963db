#include "platform/Platform.h"
#include "util/AppError.h"
#include "util/RegistryHelpers.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

namespace {

class AutoStart : public testing::Test
{
protected:
    TScratchDir FConfigHome;
    TEnvGuard FEnv{"XDG_CONFIG_HOME", FConfigHome.Path().chopped(1).toLocal8Bit()};
    QString FEntry = FConfigHome.File(QStringLiteral("autostart/BrowserVelmarHouse.desktop"));
};

TEST_F(AutoStart, EnableWritesOneEntryWithTheExecutableAndDisableRemovesIt)
{
    EXPECT_EQ(AutoStartEntryPath(), FEntry);
    SetAutoStart(false); // nothing there: silent
    EXPECT_FALSE(QFile::exists(FEntry));

    SetAutoStart(true);
    SetAutoStart(true);
    const QString text = QString::fromUtf8(ReadBytes(FEntry));
    EXPECT_TRUE(text.startsWith(QStringLiteral("[Desktop Entry]\n")));
    EXPECT_EQ(text.count(QStringLiteral("Exec=")), 1);
    EXPECT_TRUE(text.contains(QStringLiteral("\nIcon=com.velmar.VelmarERP\n"))) << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("\nExec=") + Platform::ExecutablePath() + QLatin1Char('\n'))) << text.toStdString();
    EXPECT_EQ(QDir(FConfigHome.File(QStringLiteral("autostart"))).entryList(QDir::Files).size(), 1);

    SetAutoStart(false);
    EXPECT_FALSE(QFile::exists(FEntry));
}

TEST_F(AutoStart, UnreachableListDoesNothingAndAFailedWriteRaises)
{
    // The autostart folder cannot be made: enabling is silently skipped.
    WriteBytes(FConfigHome.File(QStringLiteral("autostart")), "not a folder");
    EXPECT_NO_THROW(SetAutoStart(true));
    QFile::remove(FConfigHome.File(QStringLiteral("autostart")));

    // The entry itself cannot be written: the caller hears of it.
    ASSERT_TRUE(QDir().mkpath(FEntry));
    EXPECT_THROW(SetAutoStart(true), EAppError);
}

} // namespace
