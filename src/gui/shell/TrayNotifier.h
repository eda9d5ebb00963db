#pragma once

#include "engine/Chromium.h"

#include <QObject>

class QSystemTrayIcon;
class TBrowserEngine;
class TDownloadController;
class TTabRegistry;
struct TShutdownFlags;

// The tray's balloon messages: a page's notification and a download that
// ended. A click on the message shows the window and what it was about:
// the tab of the notifying site, or the downloads window.
class TTrayNotifier : public QObject
{
    Q_OBJECT

public:
    TTrayNotifier(QSystemTrayIcon& tray, TBrowserEngine& engine, TTabRegistry& registry,
                  TDownloadController& downloads, const TShutdownFlags& flags, QObject* parent = nullptr);
    ~TTrayNotifier() override;

    void ShowNotification(const TPageNotification& notification);

Q_SIGNALS:
    // A message was clicked: the window comes up first.
    void ShowWindowRequested();

private:
    void DownloadFinished(int row);
    void MessageClicked();

    QSystemTrayIcon& FTray;
    TBrowserEngine& FEngine;
    TTabRegistry& FRegistry;
    TDownloadController& FDownloads;
    const TShutdownFlags& FFlags;
    // What a click on the tray's message leads to.
    enum class TMessage { None, Notification, Download };
    TMessage FMessage = TMessage::None;
    TPageNotification FLastNotification;
};
