#include "config/IniFile.h"
#include "core/Global.h"
#include "downloads/DownloadController.h"
#include "downloads/DownloadList.h"
#include "print/PrintController.h"
#include "shell/Main.h"
#include "page/PagePermissions.h"
#include "page/SaveDialog.h"
#include "tabs/TabRegistry.h"
#include "widgets/AppMessageBox.h"
#include "widgets/CrashedPage.h"
#include "downloads/Downloads.h"
#include "print/PrintPreview.h"

#include "FakeBrowserEngine.h"
#include "TestSupport.h"

#include <QCoreApplication>
#include <QPushButton>

#include <gtest/gtest.h>

namespace {

const QUrl Service(QStringLiteral("http://127.0.0.1:8765"));
const QUrl Other(QStringLiteral("https://maps.example.com"));

TEST(PermissionPolicy, DecidesByOriginFeatureAndStoredAnswer)
{
    TScratchDir dir;
    const QString ini = dir.File(QStringLiteral("config.ini"));
    WriteBytes(ini, "[SYSTEM]\nHANDLE=5\n[PERMISSIONS]\n"
                    "geolocation@http://127.0.0.1:8765=1\n"
                    "camera@https://maps.example.com=0\n"
                    "microphone@https://maps.example.com=yes\n");
    const TPermissionPolicy policy(ini, QStringLiteral("127.0.0.1:8765"));
    using D = TPermissionPolicy::TDecision;
    struct TCase
    {
        QUrl Origin;
        TPageFeature Feature;
        D Expected;
    } cases[] = {
        {Service, TPageFeature::Notifications, D::Allow},              // the service's own notifications
        {QUrl(QStringLiteral("http://127.0.0.1:8765/deep/page?q=1")), TPageFeature::Notifications, D::Allow},
        {QUrl(QStringLiteral("http://127.0.0.1:8766")), TPageFeature::Notifications, D::Ask}, // another port
        {QUrl(QStringLiteral("file:///tmp/x.html")), TPageFeature::Notifications, D::Deny},   // no site to ask about
        {Other, TPageFeature::Notifications, D::Ask},
        {Service, TPageFeature::Geolocation, D::Allow},                // answered before
        {Service, TPageFeature::MouseLock, D::Ask},
        {Other, TPageFeature::Camera, D::Deny},
        {Other, TPageFeature::Microphone, D::Ask},                     // a bad value counts as unanswered
        {Other, TPageFeature::ScreenCapture, D::Ask},
    };
    for (const TCase& c : cases)
        EXPECT_EQ(policy.Decide(c.Origin, c.Feature), c.Expected) << c.Origin.toString().toStdString();

    policy.Remember(Other, TPageFeature::ScreenCapture, true);
    policy.Remember(Other, TPageFeature::Microphone, false);
    EXPECT_EQ(policy.Decide(Other, TPageFeature::ScreenCapture), D::Allow);
    EXPECT_EQ(policy.Decide(Other, TPageFeature::Microphone), D::Deny);
    // The rest of the file is untouched.
    EXPECT_EQ(TIniFile(ini).ReadString(QStringLiteral("SYSTEM"), QStringLiteral("HANDLE"), {}), QStringLiteral("5"));
    EXPECT_EQ(TPermissionPolicy::Question(Other, TPageFeature::ScreenCapture),
              QStringLiteral("网站 maps.example.com 请求共享您的屏幕，是否允许？"));
}

TEST(PermissionQueue, OneQuestionPerOriginAndFeatureAndViewsGoneAreDropped)
{
    TFakeChromium first, second;
    auto* third = new TFakeChromium;
    TPermissionQueue queue;
    EXPECT_TRUE(queue.Add(&first, {Other, TPageFeature::Geolocation}));
    EXPECT_FALSE(queue.Add(&first, {Other, TPageFeature::Geolocation}));  // asked again: same question
    EXPECT_FALSE(queue.Add(&second, {Other, TPageFeature::Geolocation})); // another view: same question
    EXPECT_TRUE(queue.Add(third, {Other, TPageFeature::Camera}));
    EXPECT_TRUE(queue.Add(&second, {Service, TPageFeature::Geolocation}));

    ASSERT_TRUE(queue.Next());
    EXPECT_EQ(queue.Next()->Feature, TPageFeature::Geolocation);
    EXPECT_EQ(queue.Take(*queue.Next()).size(), 2);
    delete third;
    // The camera question's only asker is gone: the service's question is next.
    ASSERT_TRUE(queue.Next());
    EXPECT_EQ(queue.Next()->Origin, Service);
    const auto all = queue.TakeAll();
    ASSERT_EQ(all.size(), 1);
    EXPECT_EQ(all[0].View, &second);
    EXPECT_TRUE(queue.IsEmpty());
    EXPECT_FALSE(queue.Next());
}

TEST(DownloadList, StatesSpeedAndTexts)
{
    qint64 now = 0;
    TDownloadList list(nullptr, [&now] { return now; });
    std::vector<int> finished;
    QObject::connect(&list, &TDownloadList::Finished, [&finished](int row) { finished.push_back(row); });
    auto* done = new TFakeDownloadItem(QUrl(QStringLiteral("http://h/a")), QStringLiteral("/tmp/a.bin"), nullptr);
    auto* broken = new TFakeDownloadItem(QUrl(QStringLiteral("http://h/b")), QStringLiteral("/tmp/b.bin"), nullptr);
    auto* cancelled = new TFakeDownloadItem(QUrl(QStringLiteral("http://h/c")), QStringLiteral("/tmp/c.bin"), nullptr);
    list.Add(done);
    list.Add(broken);
    list.Add(cancelled);
    EXPECT_EQ(done->parent(), &list);
    EXPECT_EQ(list.ActiveCount(), 3);
    EXPECT_EQ(list.Entry(0).FileName, QStringLiteral("a.bin"));

    now = 2000;
    done->Progress(4 * 1024 * 1024, 20 * 1024 * 1024);
    EXPECT_EQ(list.Entry(0).BytesPerSecond, 2 * 1024 * 1024);
    EXPECT_EQ(TDownloadList::StatusText(list.Entry(0)), QStringLiteral("4.0 MB / 20.0 MB，2.0 MB/秒"));
    // The engine restarted it after a dropped connection: no negative speed.
    now = 3000;
    done->Progress(0, 20 * 1024 * 1024);
    now = 4000;
    done->Progress(1024 * 1024, 20 * 1024 * 1024);
    EXPECT_EQ(list.Entry(0).BytesPerSecond, 1024 * 1024);
    // A server that went quiet reports nothing: the speed still falls to zero.
    now = 8000;
    list.RefreshSpeeds();
    EXPECT_EQ(list.Entry(0).BytesPerSecond, 0);
    EXPECT_EQ(TDownloadList::StatusText(list.Entry(0)), QStringLiteral("1.0 MB / 20.0 MB"));
    done->Progress(20 * 1024 * 1024, 20 * 1024 * 1024);
    done->Complete();
    broken->Progress(1024 * 1024, 3 * 1024 * 1024);
    broken->Interrupt(QStringLiteral("网络已断开"));
    list.Cancel(2);
    list.Cancel(2); // cancelling twice, or a finished one, does nothing
    list.Cancel(0);
    EXPECT_EQ(cancelled->CancelCount, 1);

    struct TCase
    {
        TDownloadList::TState State;
        QString Text;
    } expected[] = {
        {TDownloadList::TState::Completed, QStringLiteral("已完成，20.0 MB")},
        {TDownloadList::TState::Failed, QStringLiteral("下载失败：网络已断开")},
        {TDownloadList::TState::Cancelled, QStringLiteral("已取消")},
    };
    for (int row = 0; row < 3; ++row) {
        EXPECT_EQ(list.Entry(row).State, expected[row].State) << row;
        EXPECT_EQ(TDownloadList::StatusText(list.Entry(row)), expected[row].Text) << row;
    }
    EXPECT_EQ(finished, (std::vector<int>{0, 1, 2}));
    EXPECT_EQ(list.ActiveCount(), 0);
    // Late reports of an ended download change nothing.
    broken->Progress(3 * 1024 * 1024, 3 * 1024 * 1024);
    EXPECT_EQ(list.Entry(1).Received, 1024 * 1024);
    EXPECT_EQ(TDownloadList::FormatBytes(512), QStringLiteral("512 字节"));
    EXPECT_EQ(TDownloadList::FormatBytes(2048), QStringLiteral("2 KB"));
}

class Everyday : public testing::Test
{
protected:
    void SetUp() override
    {
        gAppDir = FProgram.Path();
        gDataDir = FData.Path(); // what the program writes goes here, never beside it
        FForm = std::make_unique<TFormMain>(FEngine);
        FForm->Registry().OpenAddressTab(QStringLiteral("http://127.0.0.1:8765/?ComputerName=x"));
        FView = FEngine.Views.back();
        ASSERT_TRUE(FView);
    }
    void TearDown() override { SetSaveDialogHook({}); }

    QString Config() const { return FData.File(QStringLiteral("config.ini")); }

    TScratchDir FProgram;
    TScratchDir FData;
    TScratchDir FRuntime;
    TEnvGuard FRuntimeEnv{"XDG_RUNTIME_DIR", FRuntime.Path().toLocal8Bit()};
    TFakeBrowserEngine FEngine;
    TMessageBoxRecorder FMessages{IDYES};
    std::unique_ptr<TFormMain> FForm;
    QPointer<TFakeChromium> FView;
};

TEST_F(Everyday, AFloodOfRequestsGetsOneQuestionAndEveryRequestAnAnswer)
{
    for (int i = 0; i < 100; ++i)
        FView->RaisePermission(Other, TPageFeature::Geolocation);
    FView->RaisePermission(Service, TPageFeature::Notifications); // answered at once
    ASSERT_EQ(FView->Permissions.size(), 1u);
    EXPECT_TRUE(FView->Permissions[0].Granted);
    ASSERT_TRUE(WaitUntil([&] { return FView->Permissions.size() == 2; }));
    EXPECT_EQ(FMessages.Boxes.size(), 1u);
    EXPECT_EQ(FMessages.Boxes[0].Text, QStringLiteral("网站 maps.example.com 请求获取您的位置，是否允许？"));
    EXPECT_TRUE(FView->Permissions[1].Granted);
    EXPECT_EQ(TIniFile(Config()).ReadString(QStringLiteral("PERMISSIONS"),
                                            QStringLiteral("geolocation@https://maps.example.com"), {}),
              QStringLiteral("1"));
    // Remembered: the next request is answered without a question.
    FView->RaisePermission(Other, TPageFeature::Geolocation);
    EXPECT_EQ(FView->Permissions.size(), 3u);
    EXPECT_EQ(FMessages.Boxes.size(), 1u);
}

TEST_F(Everyday, TheExitQuestionCountsDownloadsAndEndsWhatWaits)
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

TEST_F(Everyday, OnePrintWindowAtATimeAndAFailedPrintSaysSo)
{
    for (int i = 0; i < 3; ++i)
        FView->RaisePrint();
    TFormPrint* window = FForm->Printing().Window();
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(FForm->findChildren<TFormPrint*>().size(), 1);

    const QString pdf = FProgram.File(QStringLiteral("receipt.pdf"));
    window->Printer().setOutputFormat(QPrinter::PdfFormat);
    window->Printer().setOutputFileName(pdf);
    FView->Prints.clear();
    window->PrintNow();
    ASSERT_EQ(FView->Prints, QStringList{pdf});
    EXPECT_TRUE(window->IsPrinting());
    window->PrintNow(); // a second click while it runs does nothing
    EXPECT_EQ(FView->Prints.size(), 1);
    FView->FinishPrint(false);
    ASSERT_EQ(FMessages.Boxes.size(), 1u);
    EXPECT_EQ(FMessages.Boxes[0].Text, QStringLiteral("打印失败！"));
    EXPECT_TRUE(window->isVisible()); // the user may try again

    window->Printer().setOutputFileName(QString());
    window->Printer().setOutputFormat(QPrinter::NativeFormat);
    window->PrintNow(); // to a printer this time; it succeeds and the window goes
    EXPECT_EQ(FView->Prints.size(), 2);
    EXPECT_EQ(FMessages.Boxes.size(), 1u);
    EXPECT_TRUE(WaitUntil([&] { return FForm->Printing().Window() == nullptr; }));
}

TEST_F(Everyday, ACrashedPageShowsItsCoverAndReloadsTheLoginAddress)
{
    FView->RaiseRenderProcessTerminated(TRenderTermination::Normal);
    EXPECT_EQ(FView->findChild<TCrashedPage*>(), nullptr);
    FView->RaiseRenderProcessTerminated(TRenderTermination::Crashed);
    FView->RaiseRenderProcessTerminated(TRenderTermination::Killed);
    ASSERT_EQ(FView->findChildren<TCrashedPage*>().size(), 1);
    FView->Loads.clear();
    FView->findChild<TCrashedPage*>()->ReloadButton()->click();
    // The first tab goes back to the login address, which the test never set.
    ASSERT_EQ(FView->Loads.size(), 1);
    EXPECT_TRUE(WaitUntil([&] { return FView->findChild<TCrashedPage*>() == nullptr; }));
}

TEST_F(Everyday, FullScreenIsGrantedAndThePlacementStaysTheFormerOne)
{
    FForm->ShowInitialState();
    FForm->showNormal();
    FForm->setGeometry(40, 50, 700, 500);
    const TWindowPlacement before = FForm->CurrentPlacement();
    EXPECT_TRUE(FView->RaiseFullScreen(true));
    EXPECT_TRUE(FForm->PageControl1().StripHidden());
    const TWindowPlacement during = FForm->CurrentPlacement();
    EXPECT_EQ(during.Left, before.Left);
    EXPECT_EQ(during.Right, before.Right);
    EXPECT_EQ(during.State, before.State);
    EXPECT_TRUE(FView->RaiseFullScreen(false));
    EXPECT_FALSE(FForm->PageControl1().StripHidden());
    EXPECT_FALSE(FForm->isFullScreen());
}

} // namespace
