#pragma once

#include "config/ConfigFile.h"
#include "engine/Chromium.h"
#include "shell/CloseRules.h"
#include "shell/TabTypes.h"
#include "shell/WindowLink.h"

#include <QElapsedTimer>
#include <QHash>
#include <QPointer>
#include <QWidget>

#include <array>
#include <memory>
#include <optional>
#include <vector>

class QAction;
class QMenu;
class QSystemTrayIcon;
class QTimer;
class TBrowserEngine;
class TPageControl;
class TShellMessageFilter;
class TTabPage;

// The program's one main window: the tabs, the tray icon and the close rules.
class TFormMain : public QWidget, public TShutdownFlags
{
    Q_OBJECT

public:
    static constexpr int TabSlotCount = 1025;
    static constexpr int DesignTabWidth = 178;

    explicit TFormMain(TBrowserEngine& engine, QWidget* parent = nullptr);
    ~TFormMain() override;

    // The native handle other processes address this window by.
    qint64 Handle();

    // Shows the window in the state creation read from config.ini.
    void ShowInitialState();

    // Outer rectangle and state as written to "WIN".
    TWindowPlacement CurrentPlacement() const;

    TPageControl* PageControl1 = nullptr;
    TChromium* crm = nullptr;
    QSystemTrayIcon* TrayIcon1 = nullptr;
    QMenu* PopupMenu1 = nullptr;
    QAction* NShowMain = nullptr;
    QAction* NRelogin = nullptr;
    QAction* NSetting = nullptr;
    QAction* NAbout = nullptr;
    QAction* NExit = nullptr;
    QTimer* TimerRefreshTab = nullptr;

    QString FLoginUrl;
    int FNextTabId = 1;
    std::optional<QElapsedTimer> FLastPressTime; // none: long ago
    QPoint FLastMousePos{-1, -1};
    std::array<TTabSlot, TabSlotCount> FTabSlots{};
    QMultiHash<int, TBrowserTab*> FTabMap; // the record added last for an id is the one found
    QPointer<TTabPage> FPlaceholderWnd;
    QList<int> FLoadingPages;
    std::optional<QElapsedTimer> FLastPopupTime;

    // Tab registry.
    TBrowserTab* FindTab(int id) const;
    TBrowserTab* ActiveTab() const;
    TBrowserTab* NewTabRecord(TChromium* browser, TTabPage* page);
    TChromium* NewBrowserView(TTabPage* page);
    void AddPlaceholderPage();
    void OpenAddressTab(const QString& address);
    void OpenPopupTab(const TPopupInfo& info);
    void CloseTab(int index);
    void RecalcTabWidth();
    void FitTabWindow(TBrowserTab* tab);
    // The slot of a page index, or nullptr past the table.
    TTabSlot* SlotAt(int index);

    // Tab strip.
    void PageControl1DrawSkinTab(int TabIndex, const QRect& Rct, bool Active, bool MouseIn, QPainter& Cnvs);
    void PageControl1MouseDown(Qt::MouseButton Button, const QPoint& Pos);
    void PageControl1MouseMove(const QPoint& Pos);
    void PageControl1MouseUp(Qt::MouseButton Button, const QPoint& Pos);
    void TimerRefreshTabTimer();

    // Page events.
    TChromium* crmBeforePopup(TChromium* Sender, const TPopupRequest& Request);
    void crmBeforeResourceLoad(TChromium* Sender, const QUrl& Url, TRequestHeaders& Headers);
    void crmTitleChange(TChromium* Sender, const QString& Title);
    void crmLoadingStateChange(TChromium* Sender, bool IsLoading, bool CanGoBack, bool CanGoForward);
    void crmClose(TChromium* Sender);
    void PageControl1Change();
    void SetTabLoading(TChromium* view, bool loaded);

    void NShowMainClick();
    void NExitClick();
    void NReloginClick();
    void NAboutClick();
    void NSettingClick();

    // Page dialogs and commands, context menu, downloads.
    void crmJsdialog(TChromium* Sender, const TJsDialogRequest& Request, TJsDialogReply& Reply);
    void crmBeforeContextMenu(TChromium* Sender, const TContextMenuParams& Params, TContextMenuModel& Model);
    void crmContextMenuCommand(TChromium* Sender, const TContextMenuParams& Params, int CommandId);
    void crmBeforeDownload(TChromium* Sender, const TDownloadRequest& Request, TDownloadReply& Reply);
    // Saves the image at url, fetched through view, to a file the user picks.
    void SaveImageAs(TChromium* view, const QUrl& url);
    // Writes the cache-reset script and has it run once this process has ended.
    void ClearCacheAndRestart();

    // Background task: gathers this machine's identity, stores the login
    // address in FLoginUrl and posts WM_SHELL_LOGIN, if the window still exists.
    static void BuildLoginAddress(const std::shared_ptr<TWindowLink>& link);

    // Background task: asks the service for the published version and, when
    // it differs, has the main thread ask the user (AskForUpdate).
    static void CheckForUpdate(const std::shared_ptr<TWindowLink>& link);
    // On the main thread: the update question, and on Yes the hand-over to
    // the updater and the close.
    void AskForUpdate(const QString& question);

protected:
    bool event(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void FormCreate();
    void FormDestroy();
    void FormCloseQuery(QCloseEvent* event);
    void FormResize();
    void CreateTrayIcon();
    void CreatePages();
    void BindEvents(TChromium* view);
    void DisposeTab(TBrowserTab* tab);
    // The window caption for the tab on page: "<tab> - Velmar房产ERP <version>".
    void ShowCaptionOf(const TTabPage* page);
    TTabPage* PageOf(const QWidget* view) const;
    void ApplyPlacement(const TWindowPlacement& placement);
    void HideToTray();

    void StartBackgroundTasks();

    TBrowserEngine& FEngine;
    std::shared_ptr<TWindowLink> FWindowLink;
    std::vector<std::unique_ptr<TBrowserTab>> FTabRecords; // owns every record
    std::unique_ptr<TShellMessageFilter> FMessageFilter;
    TWindowPlacement FStartPlacement;
    bool FPlacementFitted = false;
    bool FConfigWriteReported = false;
    bool FHandleWritten = false;
};
