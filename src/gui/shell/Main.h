#pragma once

#include "config/ConfigFile.h"
#include "shell/CloseRules.h"

#include <QWidget>

#include <memory>

class QAction;
class QMenu;
class QSystemTrayIcon;
class TBrowserEngine;
class TCrashCover;
class TDownloadController;
class TFrameFit;
class TFullScreen;
class TKeyCommands;
class TSecretStore;
class TLoginAddressTask;
class TPageControl;
class TPageFind;
class TPageZoom;
class TPermissionPrompter;
class TLoadFailureCover;
class TLeaveGuard;
class TClosedTabs;
class TSessionRestore;
class TOptionsWindow;
class TPrintController;
class TShellMessageFilter;
class TTabRegistry;
class TTabStrip;
class TVersionCheckTask;

// The program's one main window: placement, tray icon and menu, the close
// rules and the private messages, and the wiring that makes the tab
// registry, the tab strip and each feature's controller. The tabs live in
// the registry; each feature in its controller.
class TFormMain : public QWidget, public TShutdownFlags
{
    Q_OBJECT

public:
    explicit TFormMain(TBrowserEngine& engine, QWidget* parent = nullptr);
    ~TFormMain() override;

    // The native handle other processes address this window by.
    qint64 Handle();
    // Shows the window in the state creation read from config.ini.
    void ShowInitialState();
    // Outer rectangle and state as written to "WIN".
    TWindowPlacement CurrentPlacement() const;
    // The login address, once the login task has built it.
    const QString& LoginUrl() const { return FLoginUrl; }

    TTabRegistry& Registry() const { return *FRegistry; }
    TPageControl& PageControl1() const { return *FPageControl1; }
    TPageFind& Find() const { return *FFind; }
    TPageZoom& Zoom() const { return *FZoom; }
    TPrintController& Printing() const { return *FPrinting; }
    TDownloadController& Downloads() const { return *FDownloads; }

    // Tray menu entries (disabled while their window is open).
    QAction* NSetting = nullptr;
    QAction* NAbout = nullptr;

    void NShowMainClick();
    void NExitClick();
    void NReloginClick();
    void NAboutClick();
    void NSettingClick();

    // On the main thread: the update question, and on Yes the hand-over to
    // the updater and the close.
    void AskForUpdate(const QString& question);

protected:
    bool event(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;
    // Keys of the window and the tab strip.
    void keyPressEvent(QKeyEvent* event) override;

private:
    void CreateControllers();
    void PageControl1Change();
    void RegistryCaptionChanged(int index);
    void LoginTaskReady(const QString& address);
    // Ends what may still wait for an answer once the program is ending.
    void EndPendingWork();
    // The page command: the window closes and the cache reset follows.
    void ClearCacheAndRestart();

    void FormCreate();
    void FormDestroy();
    void FormCloseQuery(QCloseEvent* event);
    void CreateTrayIcon();
    // The window caption for a tab: "<tab> - Velmar房产ERP <version>".
    void ShowCaptionOf(const QString& caption);
    void HideToTray();
    void StartBackgroundTasks();

    TBrowserEngine& FEngine;
    TPageControl* FPageControl1 = nullptr;
    TTabRegistry* FRegistry = nullptr;
    TTabStrip* FStrip = nullptr;
    QSystemTrayIcon* TrayIcon1 = nullptr;
    QMenu* PopupMenu1 = nullptr;
    QAction* NShowMain = nullptr;
    QAction* NRelogin = nullptr;
    QAction* NExit = nullptr;
    TLoginAddressTask* FLoginTask = nullptr;
    TVersionCheckTask* FVersionTask = nullptr;
    std::unique_ptr<TShellMessageFilter> FMessageFilter;
    TFrameFit* FFrameFit = nullptr; // a restored window's wait for its frame

    // The features' controllers, children of the window.
    TPageFind* FFind = nullptr;
    TPageZoom* FZoom = nullptr;
    TPermissionPrompter* FPermissions = nullptr;
    TLoadFailureCover* FLoadFailures = nullptr;
    TLeaveGuard* FLeave = nullptr;
    TClosedTabs* FClosedTabs = nullptr;
    TSessionRestore* FSession = nullptr;
    TOptionsWindow* FOptions = nullptr;
    TPrintController* FPrinting = nullptr;
    TDownloadController* FDownloads = nullptr;
    TFullScreen* FFullScreen = nullptr;
    TCrashCover* FCrashCover = nullptr;
    std::unique_ptr<TKeyCommands> FKeys;
    std::unique_ptr<TSecretStore> FSecrets;

    QString FLoginUrl;
    TWindowPlacement FStartPlacement;
    bool FConfigWriteReported = false;
    bool FHandleWritten = false;
};
