#include "shell/TrayNotifier.h"

#include "core/Global.h"
#include "downloads/DownloadController.h"
#include "downloads/DownloadList.h"
#include "downloads/Downloads.h"
#include "page/SaveDialog.h"

#include "FormFixture.h"

#include <QPixmap>
#include <QSystemTrayIcon>

namespace {

// The tray's messages over the bare tabs: a page's notification and a
// download that ended, and where a click on the message leads.
class TrayNotifier : public TabsFixture, public TChromiumHandler
{
protected:
    void SetUp() override
    {
        TabsFixture::SetUp();
        FView->SetHandler(this);
        QObject::connect(&FNotifier, &TTrayNotifier::ShowWindowRequested, [this] { ++FShowWindow; });
        QPixmap icon(16, 16);
        icon.fill(Qt::red);
        FTray.setIcon(QIcon(icon));
        FTray.show();
        gSoundHint = false;
        gPopupHint = true;
    }
    void TearDown() override
    {
        gSoundHint = true;
        SetSaveDialogHook({});
    }
    void crmBeforeDownload(TChromium*, const TDownloadRequest& request, TDownloadReply& reply) override
    {
        FDownloads.BeforeDownload(request, reply);
    }

    QWidget FOwner;
    QSystemTrayIcon FTray;
    TDownloadController FDownloads{FEngine, FOwner, FFlags};
    TTrayNotifier FNotifier{FTray, FEngine, FRegistry, FDownloads, FFlags};
    int FShowWindow = 0; // how often the window was asked to come up
};

TEST_F(TrayNotifier, AClickOnANotificationShowsTheTabOfItsSite)
{
    FRegistry.OpenAddressTab(QStringLiteral("https://maps.example.com/route?to=office"));
    FRegistry.Activate(1);
    bool clicked = false;
    ASSERT_TRUE(FEngine.Presenter);
    FEngine.Presenter({QUrl(QStringLiteral("https://maps.example.com")), QStringLiteral("路线"), QStringLiteral("已到达"),
                       [&clicked] { clicked = true; }, {}});
    Q_EMIT FTray.messageClicked();
    EXPECT_EQ(FShowWindow, 1);
    EXPECT_EQ(FPages.ActivePageIndex(), 2);
    EXPECT_TRUE(clicked);

    // The program ends: a late notification and a click do nothing.
    FFlags.FClosing = true;
    clicked = false;
    FRegistry.Activate(1);
    FEngine.Presenter({QUrl(QStringLiteral("https://maps.example.com")), {}, QStringLiteral("又一条"),
                       [&clicked] { clicked = true; }, {}});
    Q_EMIT FTray.messageClicked();
    EXPECT_EQ(FShowWindow, 1);
    EXPECT_EQ(FPages.ActivePageIndex(), 1);
    EXPECT_FALSE(clicked);
}

TEST_F(TrayNotifier, AClickOnAFinishedDownloadShowsTheDownloads)
{
    SetSaveDialogHook([this](const TSaveDialogOptions& options) { return FData.File(options.FileName); });
    TFakeDownloadItem* item = FView->StartDownload({QUrl(QStringLiteral("http://h/a.pdf")), QStringLiteral("a.pdf"), {}});
    ASSERT_NE(item, nullptr);
    ASSERT_NE(FDownloads.Window(), nullptr);
    FDownloads.Window()->hide();
    item->Complete();
    Q_EMIT FTray.messageClicked();
    EXPECT_EQ(FShowWindow, 1);
    EXPECT_TRUE(FDownloads.Window()->isVisible());
}

} // namespace
