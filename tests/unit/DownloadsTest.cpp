#include "downloads/DownloadController.h"
#include "downloads/DownloadList.h"
#include "downloads/Downloads.h"

#include "page/SaveDialog.h"
#include "widgets/AppMessageBox.h"

#include "FormFixture.h"

#include <QLabel>
#include <QProgressBar>
#include <QPushButton>

namespace {

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

// The window shows the list as it is when it opens and follows it after.
TEST(DownloadsWindow, RowsFollowTheListAndTheirButtonsActOnIt)
{
    TDownloadList list;
    auto* early = new TFakeDownloadItem(QUrl(QStringLiteral("http://h/early.pdf")), QStringLiteral("/tmp/early.pdf"), nullptr);
    list.Add(early);
    TFormDownloads window(list, nullptr);
    ASSERT_EQ(window.Rows().size(), 1u);
    EXPECT_EQ(window.Rows()[0].Name->text(), QStringLiteral("early.pdf"));
    EXPECT_FALSE(window.Rows()[0].Cancel->isHidden());
    EXPECT_TRUE(window.Rows()[0].Open->isHidden());

    early->Progress(250, 1000);
    EXPECT_EQ(window.Rows()[0].Progress->value(), 250);
    EXPECT_EQ(window.Rows()[0].Status->text(), TDownloadList::StatusText(list.Entry(0)));
    early->Complete();
    EXPECT_TRUE(window.Rows()[0].Cancel->isHidden());
    EXPECT_FALSE(window.Rows()[0].Open->isHidden());
    EXPECT_FALSE(window.Rows()[0].ShowInFolder->isHidden());
    EXPECT_EQ(window.Rows()[0].Progress->value(), 1000);

    auto* late = new TFakeDownloadItem(QUrl(QStringLiteral("http://h/late.bin")), QStringLiteral("/tmp/late.bin"), nullptr);
    list.Add(late);
    ASSERT_EQ(window.Rows().size(), 2u);
    EXPECT_EQ(window.Rows()[1].Progress->minimum(), window.Rows()[1].Progress->maximum()); // size unknown: busy
    window.Rows()[1].Cancel->click();
    EXPECT_EQ(late->CancelCount, 1);
    EXPECT_EQ(list.ActiveCount(), 0);
}

class DownloadController : public TabsFixture, public TChromiumHandler
{
protected:
    void SetUp() override
    {
        TabsFixture::SetUp();
        FView->SetHandler(this);
    }
    void crmBeforeDownload(TChromium*, const TDownloadRequest& request, TDownloadReply& reply) override
    {
        FController.BeforeDownload(request, reply);
    }
    void TearDown() override
    {
        SetSaveDialogHook({});
        TabsFixture::TearDown();
    }

    QWidget FOwner;
    TDownloadController FController{FEngine, FOwner, FFlags};
};

TEST_F(DownloadController, AskedWhereItGoesThenListedAndShown)
{
    std::optional<QString> chosen;
    SetSaveDialogHook([&chosen](const TSaveDialogOptions&) { return chosen; });
    TDownloadRequest request{QUrl(QStringLiteral("http://h/big.bin")), QStringLiteral("big.bin"), {}};
    TDownloadReply reply;
    FController.BeforeDownload(request, reply);
    EXPECT_FALSE(reply.Accept); // cancelled: it does not start

    chosen = FData.File(QStringLiteral("missing/big.bin"));
    FController.BeforeDownload(request, reply);
    EXPECT_FALSE(reply.Accept); // a folder that is not there
    ASSERT_EQ(FMessages.Boxes.size(), 1u);
    EXPECT_EQ(FMessages.Boxes[0].Text, QStringLiteral("保存失败！"));

    SetSaveDialogHook([this](const TSaveDialogOptions& options) { return FData.File(options.FileName); });
    TFakeDownloadItem* item = FView->StartDownload(request);
    ASSERT_NE(item, nullptr);
    EXPECT_EQ(item->Path(), FData.File(QStringLiteral("big.bin")));
    EXPECT_EQ(FController.List().ActiveCount(), 1);
    ASSERT_NE(FController.Window(), nullptr);
    EXPECT_TRUE(FController.Window()->isVisible());
    FController.End();
    EXPECT_EQ(item->CancelCount, 1);
    EXPECT_EQ(FController.List().ActiveCount(), 0);
}

// The page that asked goes while the save dialog is open (a popup that
// closes itself, a tab the user closes): the download is listed all the
// same, so the exit question counts it and it can be cancelled.
TEST_F(DownloadController, ADownloadWhosePageWentDuringItsDialogIsListed)
{
    SetSaveDialogHook([this](const TSaveDialogOptions& options) {
        delete FView.data();
        return std::optional<QString>(FData.File(options.FileName));
    });
    TFakeDownloadItem* item =
        FEngine.StartDownload(FView, {QUrl(QStringLiteral("http://h/report.xlsx")), QStringLiteral("report.xlsx"), {}});
    EXPECT_FALSE(FView);
    ASSERT_NE(item, nullptr);
    EXPECT_EQ(FController.List().ActiveCount(), 1);
    FController.End();
    EXPECT_EQ(item->CancelCount, 1);
}

// Each running download writes "<name>.download" and removes it when it
// fails: a name in use is never handed out a second time.
TEST_F(DownloadController, ANameARunningDownloadWritesIsNotHandedOutAgain)
{
    SetSaveDialogHook([this](const TSaveDialogOptions&) { return std::optional<QString>(FData.File("same.bin")); });
    std::vector<TFakeDownloadItem*> items;
    for (int i = 0; i < 3; ++i)
        items.push_back(FView->StartDownload({QUrl(QStringLiteral("http://h/%1").arg(i)), QStringLiteral("x.bin"), {}}));
    ASSERT_EQ(items.size(), 3u);
    EXPECT_EQ(items[0]->Path(), FData.File("same.bin"));
    EXPECT_EQ(items[1]->Path(), FData.File("same (2).bin"));
    EXPECT_EQ(items[2]->Path(), FData.File("same (3).bin"));
    items[0]->Complete(); // its name is free again: the user chose to replace it
    EXPECT_EQ(FView->StartDownload({QUrl(QStringLiteral("http://h/3")), QStringLiteral("x.bin"), {}})->Path(),
              FData.File("same.bin"));
}

} // namespace
