#include "core/Global.h"
#include "config/ConfigFile.h"
#include "widgets/AppMessageBox.h"
#include "shell/Main.h"
#include "shell/ShellMessages.h"
#include "shell/WindowPlacement.h"
#include "downloads/DownloadController.h"
#include "downloads/DownloadList.h"
#include "downloads/Downloads.h"
#include "page/SaveDialog.h"
#include "tabs/TabRegistry.h"

#include "FormFixture.h"
#include "RawHttpServer.h"

#include <QCoreApplication>

#include <gtest/gtest.h>

namespace {

const QUrl Other(QStringLiteral("https://maps.example.com"));

class FormMain : public FormFixture
{
protected:
    void SetUp() override
    {
        FormFixture::SetUp();
        FMessages.Answer = IDOK;
    }

    std::vector<TRecordedBox>& FBoxes = FMessages.Boxes;
};

TEST_F(FormMain, CreationWritesTheHandleAndReadsTheOptions)
{
    WriteBytes(Config(), "[SYSTEM]\nAUTOSTART=0\nSOUNDHINT=1\nPOPUPHINT=yes\n");
    TFormMain form(FEngine);
    EXPECT_EQ(form.windowTitle(), QStringLiteral("Velmar房产ERP"));
    EXPECT_GT(form.Handle(), 0);
    EXPECT_EQ(TConfigFile(Config()).ReadHandle(), form.Handle());
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
    const QString blocked = Config();
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

TEST_F(FormMain, EveryCloseAttemptWritesThePlacementAndOnlyAnExitEndsTheProgram)
{
    const QString path = Config();
    TFormMain form(FEngine);
    form.ShowInitialState();
    form.showNormal();
    form.setGeometry(40, 50, 700, 500);

    EXPECT_FALSE(form.close()); // a plain close only hides (or minimises without a tray)
    EXPECT_TRUE(FBoxes.empty());
    const TWindowPlacement saved = TConfigFile(path).ReadPlacement(QSize(1, 1));
    EXPECT_EQ(saved.Left, form.frameGeometry().left());
    EXPECT_EQ(saved.Right - saved.Left, form.frameGeometry().width());
    EXPECT_EQ(saved.Bottom - saved.Top, form.frameGeometry().height());

    FMessages.Answer = IDNO;
    form.NExitClick();
    ASSERT_EQ(FBoxes.size(), 1u);
    EXPECT_EQ(FBoxes[0].Text, QStringLiteral("确定要退出吗？"));
    EXPECT_EQ(FBoxes[0].Flags, 0x24);
    EXPECT_FALSE(form.FExitRequested);
    EXPECT_FALSE(form.FClosing);

    QFile::remove(path);
    FMessages.Answer = IDYES;
    form.NExitClick();
    EXPECT_TRUE(form.FClosing);
    EXPECT_FALSE(form.isVisible());
    EXPECT_TRUE(QFile::exists(path)); // written again by the closing attempt
}

// The version check waits for the first tab's page: only when it has
// loaded (or failed to) does the client ask the service.
TEST_F(FormMain, TheVersionCheckAsksOnceTheFirstPageHasLoaded)
{
    const TRawHttpServer server({HttpOk(R"({"Version":"9.9.9.9"})")});
    const TServiceHostOverride host(QStringLiteral("127.0.0.1:%1").arg(server.Port()));
    StartForm();
    TFakeChromium* first = ViewOn(1);
    ASSERT_NE(first, nullptr);
    Q_EMIT first->LoadingStateChanged(true, false, false);
    EXPECT_FALSE(WaitUntil([&] { return server.Connections() > 0; }, 500));

    Q_EMIT first->LoadingStateChanged(false, false, false);
    ASSERT_TRUE(WaitUntil([this] { return !FBoxes.empty(); }, 10000));
    EXPECT_EQ(server.Requests().size(), 1);
    EXPECT_TRUE(FBoxes.back().Text.contains(QStringLiteral("发现新版本")));
}

TEST_F(FormMain, PlacementIsRestoredByState)
{
    const QString path = Config();
    for (const int state : {0, 1, 2}) {
        TConfigFile(path).WritePlacement({30, 40, 830, 640, state});
        TFormMain form(FEngine);
        form.ShowInitialState();
        EXPECT_EQ(form.isMinimized(), state == 1) << state;
        EXPECT_EQ(form.isMaximized(), state == 2) << state;
        if (state == 0) {
            EXPECT_EQ(form.frameGeometry().topLeft(), QPoint(30, 40));
            EXPECT_EQ(form.CurrentPlacement().State, 0);
        }
        EXPECT_EQ(form.CurrentPlacement().State, state);
    }
}

TEST(WindowPlacementFit, ClientGoesInsideTheSavedOuterRectangle)
{
    const TWindowPlacement saved{100, 80, 900, 680, 0};
    // Left 1, top 20, right 1, bottom 5: the frame of the test desktop.
    EXPECT_EQ(ClientRectInFrame(saved, QMargins(1, 20, 1, 5), QSize(640, 480)), QRect(101, 100, 798, 575));
    EXPECT_EQ(ClientRectInFrame(saved, QMargins(), QSize(640, 480)), QRect(100, 80, 800, 600));
    // A saved rectangle below the minimum keeps its corner and the minimum client.
    EXPECT_EQ(ClientRectInFrame({10, 20, 300, 200, 0}, QMargins(4, 30, 4, 4), QSize(640, 480)),
              QRect(14, 50, 640, 480));
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

// The window with its first tab open, as the page features see it.
class FormMainEnd : public FormFixture
{
protected:
    void SetUp() override
    {
        FormFixture::SetUp();
        FMessages.Answer = IDYES;
        CreateForm();
        FForm->Registry().OpenAddressTab(QStringLiteral("http://127.0.0.1:8765/?ComputerName=x"));
        FView = FEngine.Views.back();
        ASSERT_TRUE(FView);
    }
    void TearDown() override
    {
        SetSaveDialogHook({});
        FormFixture::TearDown();
    }

    QPointer<TFakeChromium> FView;
};

TEST_F(FormMainEnd, TheExitQuestionCountsDownloadsAndEndsWhatWaits)
{
    SetSaveDialogHook([this](const TSaveDialogOptions& options) { return FProgram.File(options.FileName); });
    TFakeDownloadItem* item = FView->StartDownload({QUrl(QStringLiteral("http://h/big.bin")),
                                                    QStringLiteral("big.bin"), {}});
    ASSERT_NE(item, nullptr);
    EXPECT_EQ(FForm->Downloads().List().ActiveCount(), 1);
    EXPECT_TRUE(FForm->Downloads().Window() && FForm->Downloads().Window()->isVisible());
    FView->RaisePermission(Other, TPageFeature::Camera); // its question is not asked yet

    FMessages.Answer = IDNO;
    FForm->NExitClick();
    ASSERT_EQ(FMessages.Boxes.size(), 1u);
    EXPECT_EQ(FMessages.Boxes[0].Text, QStringLiteral("还有 1 个文件正在下载，退出将取消下载。确定要退出吗？"));
    EXPECT_EQ(item->CancelCount, 0);

    FMessages.Answer = IDYES;
    FForm->NExitClick();
    EXPECT_TRUE(FForm->FClosing);
    EXPECT_EQ(item->CancelCount, 1);
    EXPECT_EQ(FForm->Downloads().List().ActiveCount(), 0);
    ASSERT_EQ(FView->Permissions.size(), 1u);
    EXPECT_FALSE(FView->Permissions[0].Granted);
    // Requests after that are denied at once; no question is left.
    FView->RaisePermission(Other, TPageFeature::MouseLock);
    ASSERT_EQ(FView->Permissions.size(), 2u);
    EXPECT_FALSE(FView->Permissions[1].Granted);
    QCoreApplication::processEvents();
    EXPECT_EQ(FMessages.Boxes.size(), 2u);
}

} // namespace
