#include "app/Global.h"
#include "config/ConfigFile.h"
#include "shell/AppMessageBox.h"
#include "shell/Main.h"
#include "shell/ShellMessages.h"

#include "FakeBrowserEngine.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

namespace {

class FormMain : public testing::Test
{
protected:
    void SetUp() override
    {
        gAppDir = FProgram.Path();
        SetMessageBoxHook([this](const QString& caption, const QString& text, int flags) {
            FBoxes.push_back({caption, text, flags});
            return IDOK;
        });
    }
    void TearDown() override { SetMessageBoxHook(nullptr); }

    struct TBox
    {
        QString Caption;
        QString Text;
        int Flags;
    };
    TScratchDir FProgram;
    TScratchDir FRuntime;
    TEnvGuard FRuntimeEnv{"XDG_RUNTIME_DIR", FRuntime.Path().toLocal8Bit()};
    TFakeBrowserEngine FEngine;
    std::vector<TBox> FBoxes;
};

TEST_F(FormMain, CreationWritesTheHandleAndReadsTheOptions)
{
    WriteBytes(FProgram.File(QStringLiteral("config.ini")), "[SYSTEM]\nAUTOSTART=0\nSOUNDHINT=1\nPOPUPHINT=yes\n");
    TFormMain form(FEngine);
    EXPECT_EQ(form.windowTitle(), QStringLiteral("Velmar房产ERP"));
    EXPECT_GT(form.Handle(), 0);
    EXPECT_EQ(TConfigFile(FProgram.File(QStringLiteral("config.ini"))).ReadHandle(), form.Handle());
    EXPECT_FALSE(gAutoStart);
    EXPECT_TRUE(gSoundHint);
    EXPECT_FALSE(gPopupHint);
    EXPECT_TRUE(FBoxes.empty());
    EXPECT_TRUE(form.FConfirmExit);
    EXPECT_FALSE(form.FClosing);
    EXPECT_FALSE(form.FExitRequested);
}

TEST_F(FormMain, UnwritableConfigSaysSoAndTheWindowStillComesUp)
{
    const QString blocked = FProgram.File(QStringLiteral("config.ini"));
    ASSERT_TRUE(QDir().mkpath(blocked));
    TFormMain form(FEngine);
    ASSERT_EQ(FBoxes.size(), 1u);
    EXPECT_EQ(FBoxes[0].Caption, QStringLiteral("Velmar房产ERP"));
    EXPECT_EQ(FBoxes[0].Text, QStringLiteral("Unable to write to ") + blocked);
    EXPECT_EQ(FBoxes[0].Flags, MB_ICONINFORMATION);
    EXPECT_EQ(form.windowTitle(), QStringLiteral("Velmar房产ERP"));
    EXPECT_TRUE(gAutoStart); // the defaults, read after the failed write
}

TEST_F(FormMain, ActivationShowsAHiddenWindowAndDestructionReleasesTheLock)
{
    ASSERT_EQ(gInstanceMutex.Create(QStringLiteral("BrowserVelmarHouse")), TInstanceLock::TResult::Acquired);
    {
        TFormMain form(FEngine);
        form.hide();
        PostShellMessage(&form, WM_SHELL_ACTIVATE);
        ASSERT_TRUE(WaitUntil([&] { return form.isVisible(); }));
    }
    EXPECT_FALSE(gInstanceMutex.IsHeld());
    TInstanceLock again;
    EXPECT_EQ(again.Create(QStringLiteral("BrowserVelmarHouse")), TInstanceLock::TResult::Acquired);
}

TEST(AppMessageBoxFlags, IconRules)
{
    EXPECT_EQ(AppMessageBoxFlags(0), 0x40);
    for (int flags = 1; flags <= 5; ++flags)
        EXPECT_EQ(AppMessageBoxFlags(flags), flags | 0x20);
    EXPECT_EQ(AppMessageBoxFlags(0x24), 0x24);
    EXPECT_EQ(AppMessageBoxFlags(6), 6);
    EXPECT_EQ(AppMessageBoxFlags(0x30), 0x30);
}

} // namespace
