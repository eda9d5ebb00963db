#pragma once

#include "config/ConfigFile.h"
#include "engine/Chromium.h"
#include "shell/CloseRules.h"
#include "page/PagePermissions.h"
#include "page/KeyRouting.h"
#include "page/PopupLimit.h"

#include <QElapsedTimer>
#include <QPointer>
#include <QWidget>

#include <memory>
#include <optional>

class QAction;
class QMenu;
class QShortcut;
class QSystemTrayIcon;
class TBrowserEngine;
class TDownloadItem;
class TDownloadList;
class TFormDownloads;
class TFormPrint;
class TFindBar;
class TZoomIndicator;
class TZoomStore;
struct TBrowserTab;
class TLoginAddressTask;
class TPageControl;
class TShellMessageFilter;
class TWindowFrameFilter;
class TTabRegistry;
class TTabStrip;
class TVersionCheckTask;
struct TPopupInfo;

// The program's one main window: placement, tray icon and menu, the close
// rules and the private messages, and the wiring between the tab registry,
// the tab strip and the pages' views. The tabs themselves live in the
// registry; the strip's drawing and gestures in the strip.
class TFormMain : public QWidget, public TShutdownFlags, private TChromiumHandler
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

    TTabRegistry& Registry() const { return *FRegistry; }
    TTabStrip& Strip() const { return *FStrip; }
    TPageControl& PageControl1() const { return *FPageControl1; }
    TFindBar& FindBar();
    TZoomIndicator& ZoomIndicator() const { return *FZoomIndicator; }
    // The login address, once the login task has built it.
    const QString& LoginUrl() const { return FLoginUrl; }

    // Tray menu entries (disabled while their window is open).
    QAction* NSetting = nullptr;
    QAction* NAbout = nullptr;

    void NShowMainClick();
    void NExitClick();
    void NReloginClick();
    void NAboutClick();
    void NSettingClick();

    // Opens the print window for the active tab's page; while one is open it
    // is brought to the front instead.
    void PrintActiveTab();
    // Shows the downloads window.
    void ShowDownloads();
    TDownloadList& Downloads() const { return *FDownloads; }
    TFormPrint* PrintWindow() const;
    TFormDownloads* DownloadsWindow() const;

    // On the main thread: the update question, and on Yes the hand-over to
    // the updater and the close.
    void AskForUpdate(const QString& question);

protected:
    bool event(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    // Keys of the window and the tab strip.
    void keyPressEvent(QKeyEvent* event) override;

private:
    // Hooks the views ask synchronously.
    TChromium* crmBeforePopup(TChromium* Sender, const TPopupRequest& Request) override;
    void crmBeforeResourceLoad(TChromium* Sender, const QUrl& Url, TRequestHeaders& Headers) override;
    void crmJsdialog(TChromium* Sender, const TJsDialogRequest& Request, TJsDialogReply& Reply) override;
    void crmBeforeContextMenu(TChromium* Sender, const TContextMenuParams& Params, TContextMenuModel& Model) override;
    void crmBeforeDownload(TChromium* Sender, const TDownloadRequest& Request, TDownloadReply& Reply) override;
    bool crmFullScreenRequest(TChromium* Sender, bool ToggleOn) override;
    bool crmPreKeyEvent(TChromium* Sender, const TKeyPress& Key) override;

    // What the views report.
    void crmTitleChange(TChromium* Sender, const QString& Title);
    void crmLoadingStateChange(TChromium* Sender, bool IsLoading, bool CanGoBack, bool CanGoForward);
    void crmClose(TChromium* Sender);
    void crmContextMenuCommand(TChromium* Sender, const TContextMenuParams& Params, int CommandId);
    void crmPrintRequested(TChromium* Sender);
    void crmRenderProcessTerminated(TChromium* Sender, TRenderTermination Status);
    void crmFeaturePermissionRequested(TChromium* Sender, const QUrl& Origin, TPageFeature Feature);
    void crmDownloadStarted(TChromium* Sender, TDownloadItem* Item);
    void BindEvents(TChromium* view);

    void PrintView(TChromium* view);
    // Asks the question at the head of the permission queue, one at a time.
    void AskNextPermission();
    void AnswerPermission(const TPermissionQueue::TRequest& request, bool allowed);
    void DenyPendingPermissions();
    void PageNotificationShow(const TPageNotification& notification);
    void TrayIcon1MessageClicked();
    void DownloadsFinished(int row);
    // Selects the tab of view, if it still has one.
    void ShowTabOf(TChromium* view);
    // Ends what may still wait for an answer once the program is ending.
    void EndPendingWork();
    void LeaveFullScreen();
    // Keys, find in page, zoom and full screen (MainKeys.cpp).
    void BindKeyEvents(TChromium* view);
    void crmKeyEvent(TChromium* Sender, const TKeyPress& Key);
    void crmFindResult(TChromium* Sender, int Active, int Count);
    void crmZoomWheel(TChromium* Sender, int Steps);
    void FindBarKeyPress(const TKeyPress& Key);
    void FindBarTextEdited(const QString& Text);
    // Routes a key and does what it asks; gives whether the shell keeps it.
    bool RunKey(const TKeyPress& Key, TKeySource Source);
    void RunKeyCommand(const TKeyRoute& Route);
    void SelectPage(int index);
    void OpenFind();
    void FindStep(bool backward);
    bool FindBarShown() const;
    void CloseFind();
    // The find bar shows the active tab's search.
    void FindBarFollowActiveTab();
    // The tab the keys act on: the active one, when it has a view.
    TBrowserTab* KeyTab() const;
    void ZoomBy(TChromium* view, int steps);
    void SetZoom(TChromium* view, int percent);
    void ApplyZoom(TChromium* view);
    void ToggleFullScreen();

    void PageControl1Change();
    void RegistryCaptionChanged(int index);
    void LoginTaskReady(const QString& address);

    // Saves the image at url, fetched through view, to a file the user picks.
    void SaveImageAs(TChromium* view, const QUrl& url);
    // Writes the cache-reset script and has it run once this process has ended.
    void ClearCacheAndRestart();

    void FormCreate();
    void FormDestroy();
    void FormCloseQuery(QCloseEvent* event);
    void FormResize();
    void CreateTrayIcon();
    // The window caption for the tab on page: "<tab> - Velmar房产ERP <version>".
    void ShowCaptionOf(const QString& caption);
    void ApplyPlacement(const TWindowPlacement& placement);
    // Puts the frame at the saved outer rectangle once the window manager
    // has said how large its frame is.
    void FitPlacementToFrame();
    void EndPlacementWait();
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
    std::unique_ptr<TWindowFrameFilter> FFrameFilter;
    TFindBar* FFindBar = nullptr;
    TZoomIndicator* FZoomIndicator = nullptr;
    std::unique_ptr<TZoomStore> FZoom;
    // Where the window was before it went full screen: what is written
    // while it is full screen.
    std::optional<TWindowPlacement> FPlacementBeforeFullScreen;

    QString FLoginUrl;
    TPopupLimit FPopupLimit;
    QElapsedTimer FPopupClock;
    TWindowPlacement FStartPlacement;
    std::unique_ptr<TPermissionPolicy> FPermissionPolicy;
    TPermissionQueue FPermissionQueue;
    bool FAskingPermission = false;
    TDownloadList* FDownloads = nullptr;
    QPointer<TFormDownloads> FDownloadsWindow;
    QPointer<TFormPrint> FPrintWindow;
    // What a click on the tray's message leads to.
    enum class TTrayMessage { None, Notification, Download };
    TTrayMessage FTrayMessage = TTrayMessage::None;
    TPageNotification FLastNotification;
    // A page shown full screen: its view and the placement to go back to.
    QPointer<TChromium> FFullScreenView;
    TWindowPlacement FFullScreenReturn;
    QByteArray FFullScreenGeometry;
    QShortcut* FFullScreenEsc = nullptr;
    // A restored normal window waits for its frame: until then its own
    // geometry says nothing about the outer rectangle.
    bool FAwaitingFrame = false;
    bool FConfigWriteReported = false;
    bool FHandleWritten = false;
};
