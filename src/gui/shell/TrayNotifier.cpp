#include "shell/TrayNotifier.h"

#include "core/Global.h"
#include "downloads/DownloadController.h"
#include "downloads/DownloadList.h"
#include "engine/BrowserEngine.h"
#include "tabs/TabRegistry.h"
#include "widgets/ShutdownFlags.h"

#include <QApplication>
#include <QPointer>
#include <QSystemTrayIcon>

TTrayNotifier::TTrayNotifier(QSystemTrayIcon& tray, TBrowserEngine& engine, TTabRegistry& registry,
                             TDownloadController& downloads, const TShutdownFlags& flags, QObject* parent)
    : QObject(parent), FTray(tray), FEngine(engine), FRegistry(registry), FDownloads(downloads), FFlags(flags)
{
    FEngine.SetNotificationPresenter([notifier = QPointer<TTrayNotifier>(this)](const TPageNotification& notification) {
        if (notifier)
            notifier->ShowNotification(notification);
    });
    connect(&FDownloads.List(), &TDownloadList::Finished, this, &TTrayNotifier::DownloadFinished);
    connect(&FTray, &QSystemTrayIcon::messageClicked, this, &TTrayNotifier::MessageClicked);
}

TTrayNotifier::~TTrayNotifier()
{
    FEngine.SetNotificationPresenter({});
}

void TTrayNotifier::ShowNotification(const TPageNotification& notification)
{
    if (FFlags.FClosing)
        return;
    FLastNotification = notification;
    if (gPopupHint && FTray.isVisible()) {
        FMessage = TMessage::Notification;
        const QString title = notification.Title.isEmpty() ? AppTitle() : notification.Title;
        FTray.showMessage(title, notification.Message, QSystemTrayIcon::Information);
    }
    if (gSoundHint)
        QApplication::beep();
}

void TTrayNotifier::DownloadFinished(int row)
{
    const TDownloadList::TEntry& entry = FDownloads.List().Entry(row);
    if (FFlags.FClosing || entry.State == TDownloadList::TState::Cancelled || !FTray.isVisible())
        return;
    FMessage = TMessage::Download;
    if (entry.State == TDownloadList::TState::Completed)
        FTray.showMessage(QStringLiteral("下载完成"), entry.FileName, QSystemTrayIcon::Information);
    else
        FTray.showMessage(QStringLiteral("下载失败"), QStringLiteral("%1：%2").arg(entry.FileName, entry.Reason),
                          QSystemTrayIcon::Warning);
}

void TTrayNotifier::MessageClicked()
{
    if (FFlags.FClosing)
        return;
    Q_EMIT ShowWindowRequested();
    if (FMessage == TMessage::Download) {
        FDownloads.Show();
        return;
    }
    if (FMessage != TMessage::Notification)
        return;
    // The tab showing the notifying site: the active one if it does, else
    // the first that does.
    const QString origin = FLastNotification.Origin.adjusted(QUrl::RemovePath).toString();
    const auto shows = [&origin](const TBrowserTab* tab) {
        return tab && tab->Browser
               && QUrl(tab->Browser->Url()).adjusted(QUrl::RemovePath | QUrl::RemoveQuery | QUrl::RemoveFragment)
                          .toString() == origin;
    };
    if (!shows(FRegistry.ActiveTab())) {
        for (TBrowserTab* tab : FRegistry.VisibleTabs()) {
            if (shows(tab)) {
                FRegistry.ActivateTabOf(tab->Browser);
                break;
            }
        }
    }
    if (FLastNotification.Clicked)
        FLastNotification.Clicked();
}
