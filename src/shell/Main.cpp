#include "shell/Main.h"

#include "app/Global.h"
#include "engine/BrowserEngine.h"
#include "engine/Chromium.h"
#include "platform/Platform.h"
#include "platform/ShellMessage.h"
#include "service/LoginAddress.h"
#include "shell/AppIcon.h"
#include "shell/AppMessageBox.h"
#include "shell/PageControl.h"
#include "shell/ShellMessages.h"
#include "util/AppError.h"
#include "util/CommonThread.h"
#include "util/HttpFetch.h"

#include <QApplication>
#include <QCloseEvent>
#include <QLabel>
#include <QMenu>
#include <QScreen>
#include <QSessionManager>
#include <QTimer>
#include <QSystemTrayIcon>
#include <QVBoxLayout>

TFormMain::TFormMain(TBrowserEngine& engine, QWidget* parent)
    : QWidget(parent), FEngine(engine), FWindowLink(std::make_shared<TWindowLink>(this))
{
    setWindowTitle(QStringLiteral("浏览器"));
    resize(1008, 702);
    setMinimumSize(640, 480);

    FEngine.PrepareWindow(this);
    CreatePages();
    CreateTrayIcon();

    // A second start reaches this window by its native handle.
    FMessageFilter = std::make_unique<TShellMessageFilter>(WM_SHELL_ACTIVATE, [this](qint64 window, int message) {
        if (window == Handle())
            PostShellMessage(this, message);
    });
    qApp->installNativeEventFilter(FMessageFilter.get());

    // Asked whether the session may end while no exit was requested: the
    // window hides and the answer is no, as for any other close.
    connect(qApp, &QGuiApplication::commitDataRequest, this, [this](QSessionManager& manager) {
        if (!FExitRequested && manager.allowsInteraction()) {
            HideToTray();
            manager.cancel();
        }
    });

    FormCreate();
}

TFormMain::~TFormMain()
{
    FormDestroy();
}

void TFormMain::CreateTrayIcon()
{
    PopupMenu1 = new QMenu(this);
    NShowMain = PopupMenu1->addAction(QStringLiteral("显示窗口"), this, &TFormMain::NShowMainClick);
    PopupMenu1->addSeparator();
    NRelogin = PopupMenu1->addAction(QStringLiteral("重新登录"), this, &TFormMain::NReloginClick);
    NSetting = PopupMenu1->addAction(QStringLiteral("设置"), this, &TFormMain::NSettingClick);
    NSetting->setVisible(false);
    NAbout = PopupMenu1->addAction(QStringLiteral("关于"), this, &TFormMain::NAboutClick);
    PopupMenu1->addSeparator();
    NExit = PopupMenu1->addAction(QStringLiteral("退出"), this, &TFormMain::NExitClick);

    TrayIcon1 = new QSystemTrayIcon(this);
    TrayIcon1->setContextMenu(PopupMenu1);
    connect(TrayIcon1, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
        if (reason == QSystemTrayIcon::Trigger)
            NShowMainClick();
    });
}

qint64 TFormMain::Handle()
{
    return static_cast<qint64>(winId());
}

void TFormMain::FormCreate()
{
    gAppDir = Platform::LongPathName(gAppDir);
    FConfirmExit = true;
    FNextTabId = 1;
    FTabMap.clear();
    FLoadingPages.clear();
    FTabSlots.fill(TTabSlot{});

    const TConfigFile config(AppFile(QStringLiteral("config.ini")));
    try {
        config.WriteHandle(Handle());
        FHandleWritten = true;
    } catch (const EAppError& error) {
        // Without a writable config.ini a second start cannot find this
        // window, but the program itself still works: say so and go on.
        FConfigWriteReported = true;
        AppMessageBox(error.Message(), MB_OK);
    }
    const TUserOptions options = config.ReadOptions();
    gAutoStart = options.AutoStart;
    gSoundHint = options.SoundHint;
    gPopupHint = options.PopupHint;
    const QScreen* screen = QGuiApplication::primaryScreen();
    const QSize workArea = screen ? screen->availableGeometry().size() : QSize(1024, 768);
    FStartPlacement = config.ReadPlacement(workArea);

    setWindowTitle(AppTitle());
    QApplication::setApplicationName(AppTitle());
    const QIcon icon = AppIcon();
    QApplication::setWindowIcon(icon);
    setWindowIcon(icon);
    TrayIcon1->setIcon(icon);
    TrayIcon1->setToolTip(AppTitle());
    TrayIcon1->show();

    if ((FStartPlacement.State & 0xFF) != 2)
        ApplyPlacement(FStartPlacement);

    // Page 0 holds the design-time view under id 1; its tab never shows, so
    // page 1 ("正在检测安全环境...") is the active page until the login tab opens.
    TTabPage* page0 = PageControl1->Page(0);
    page0->Tag = FNextTabId;
    FTabMap.insert(page0->Tag, NewTabRecord(crm, page0));
    PageControl1->SetTabVisible(0, false);
    PageControl1->SetActivePageIndex(1);

    StartBackgroundTasks();
}

void TFormMain::StartBackgroundTasks()
{
    HttpFetch::GlobalInit();
    auto* login = new TCommonThread(); // frees itself when done
    login->FSynchronized = false;
    login->FMaxRuns = 1;
    login->SetTask([link = FWindowLink] { BuildLoginAddress(link); });
    login->Start();

    auto* update = new TCommonThread(); // frees itself when done
    update->FSynchronized = false;
    update->FMaxRuns = 1;
    update->SetTask([link = FWindowLink] { CheckForUpdate(link); });
    update->Start();
}

void TFormMain::BuildLoginAddress(const std::shared_ptr<TWindowLink>& link)
{
    const QString address = FormatLoginAddress(ServiceHost(), ReadMachineFingerprint());
    link->With([&address](TFormMain& window) {
        window.FLoginUrl = address;
        PostShellMessage(&window, WM_SHELL_LOGIN);
    });
}

void TFormMain::ApplyPlacement(const TWindowPlacement& placement)
{
    // The saved values are the outer rectangle; the frame is subtracted
    // again once it is known (first show).
    move(placement.Left, placement.Top);
    resize(qMax(placement.Right - placement.Left, minimumWidth()),
           qMax(placement.Bottom - placement.Top, minimumHeight()));
}

void TFormMain::ShowInitialState()
{
    switch (FStartPlacement.State) {
    case 1: showMinimized(); break;
    case 2: showMaximized(); break;
    default: show(); break;
    }
}

void TFormMain::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (FPlacementFitted || (FStartPlacement.State & 0xFF) == 2)
        return;
    FPlacementFitted = true;
    const QRect frame = frameGeometry();
    const QSize extra(frame.width() - width(), frame.height() - height());
    if (!extra.isEmpty())
        resize(qMax(FStartPlacement.Right - FStartPlacement.Left - extra.width(), minimumWidth()),
               qMax(FStartPlacement.Bottom - FStartPlacement.Top - extra.height(), minimumHeight()));
}

TWindowPlacement TFormMain::CurrentPlacement() const
{
    const QRect frame = frameGeometry();
    TWindowPlacement placement;
    placement.Left = frame.left();
    placement.Top = frame.top();
    placement.Right = frame.left() + frame.width();
    placement.Bottom = frame.top() + frame.height();
    placement.State = isMinimized() ? 1 : (isMaximized() ? 2 : 0);
    return placement;
}

void TFormMain::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    FormResize();
}

void TFormMain::FormResize()
{
    RecalcTabWidth();
    if (TBrowserTab* tab = ActiveTab())
        FitTabWindow(tab);
}

void TFormMain::FormDestroy()
{
    FWindowLink->Detach(); // a task still running must not reach this window any more
    if (FMessageFilter)
        qApp->removeNativeEventFilter(FMessageFilter.get());
    gInstanceMutex.Release();
    TimerRefreshTab->stop();
    FTabMap.clear();
    FLoadingPages.clear();
}

void TFormMain::closeEvent(QCloseEvent* event)
{
    FormCloseQuery(event);
}

void TFormMain::FormCloseQuery(QCloseEvent* event)
{
    try {
        TConfigFile(AppFile(QStringLiteral("config.ini"))).WritePlacement(CurrentPlacement());
    } catch (const EAppError& error) {
        // An unwritable config.ini must not trap the user in a program that
        // can neither hide nor end: report it once, then go on unsaved.
        if (!FConfigWriteReported) {
            FConfigWriteReported = true;
            AppMessageBox(error.Message(), MB_OK);
        }
    }
    switch (DecideClose(*this, [] { return AppMessageBox(QStringLiteral("确定要退出吗？"), 0x24) == IDYES; })) {
    case TCloseDecision::Hide:
        event->ignore();
        HideToTray();
        break;
    case TCloseDecision::Refuse:
        event->ignore();
        break;
    case TCloseDecision::Close:
        event->accept();
        QCoreApplication::quit();
        break;
    }
}

void TFormMain::HideToTray()
{
    // Without a notification area a hidden window could never come back:
    // minimise instead, so the taskbar still leads to it.
    if (QSystemTrayIcon::isSystemTrayAvailable())
        hide();
    else
        showMinimized();
}

void TFormMain::NShowMainClick()
{
    const bool minimized = isMinimized();
    show();
    raise();
    activateWindow();
    if (minimized)
        showMaximized();
}

void TFormMain::NExitClick()
{
    FExitRequested = true;
    close();
}

bool TFormMain::event(QEvent* event)
{
    switch (static_cast<int>(event->type())) {
    case QEvent::WinIdChange:
        // The toolkit may give the window a new native handle (when the first
        // browser view needs another kind of surface); a second start must
        // find the current one.
        if (FHandleWritten) {
            try {
                TConfigFile(AppFile(QStringLiteral("config.ini"))).WriteHandle(Handle());
            } catch (const EAppError&) {
                // Already reported when the window was created.
            }
        }
        return QWidget::event(event);
    case WM_SHELL_ACTIVATE:
        NShowMainClick();
        return true;
    case WM_SHELL_LOGIN:
        OpenAddressTab(FLoginUrl);
        return true;
    case WM_SHELL_POPUP_TAB:
        OpenPopupTab(static_cast<TPopupTabEvent*>(event)->Info);
        return true;
    case WM_SHELL_CLOSE_TAB:
        CloseTab(static_cast<int>(static_cast<TShellEvent*>(event)->WParam()));
        return true;
    default:
        return QWidget::event(event);
    }
}
