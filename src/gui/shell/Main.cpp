#include "shell/Main.h"

#include "config/ConfigFile.h"
#include "core/Global.h"
#include "util/RegistryHelpers.h"
#include "downloads/DownloadController.h"
#include "downloads/DownloadList.h"
#include "engine/BrowserEngine.h"
#include "page/CertificateGuard.h"
#include "page/CrashCover.h"
#include "page/ExternalLinks.h"
#include "page/PageFind.h"
#include "page/PageZoom.h"
#include "page/LeaveGuard.h"
#include "tabs/ClosedTabs.h"
#include "tabs/SessionRestore.h"
#include "page/LoadFailure.h"
#include "page/PermissionPrompter.h"
#include "page/ClientCertificates.h"
#include "page/SignIn.h"
#include "platform/SecretStore.h"
#include "windows/CertificateDialogs.h"
#include "windows/SignInDialog.h"
#include "windows/Options.h"
#include "platform/Platform.h"
#include "platform/ShellMessage.h"
#include "print/PrintController.h"
#include "service/ServiceTasks.h"
#include "shell/AppIcon.h"
#include "shell/FullScreen.h"
#include "shell/KeyCommands.h"
#include "shell/PageHandler.h"
#include "shell/ShellMessages.h"
#include "shell/TrayNotifier.h"
#include "shell/WindowPlacement.h"
#include "tabs/MemoryTrim.h"
#include "tabs/PageControl.h"
#include "tabs/TabRegistry.h"
#include "tabs/TabStrip.h"
#include "util/AppError.h"
#include "widgets/AppMessageBox.h"

#include <QDesktopServices>
#include <QApplication>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QScreen>
#include <QSessionManager>
#include <QTimer>
#include <QSystemTrayIcon>
#include <QVBoxLayout>

TFormMain::TFormMain(TBrowserEngine& engine, QWidget* parent)
    : QWidget(parent), FEngine(engine)
{
    setWindowTitle(QStringLiteral("浏览器"));
    resize(1008, 702);
    setMinimumSize(640, 480);

    FEngine.PrepareWindow(this);
    FPageControl1 = new TPageControl(this);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(FPageControl1);
    FRegistry = new TTabRegistry(*FPageControl1, FEngine, this);
    FStrip = new TTabStrip(*FPageControl1, *FRegistry, this);
    CreateTrayIcon();
    // Before the first view exists: each controller binds to the views as they come.
    CreateControllers();
    connect(FRegistry, &TTabRegistry::ActiveChanged, this, &TFormMain::PageControl1Change);
    connect(FRegistry, &TTabRegistry::CaptionChanged, this, &TFormMain::RegistryCaptionChanged);
    // Gestures close by id through the queue, once the mouse event is done.
    const auto closeTab = [this](int index) { PostShellMessage(this, WM_SHELL_CLOSE_TAB, FRegistry->IdAt(index)); };
    connect(FStrip, &TTabStrip::CloseRequested, this, closeTab);
    // A screen reader's close goes the same way (never for the first tab).
    connect(FPageControl1, &TPageControl::CloseTabRequested, this, [closeTab](int index) {
        if (index > 1)
            closeTab(index);
    });
    FRegistry->CreatePages();

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
    // Notifications no longer reach a window on its way out.
    FEngine.SetNotificationPresenter({});
    FormDestroy();
    // The strip lets go of the control, then the views go, while the window
    // that answers them still exists.
    delete FStrip;
    FStrip = nullptr;
    delete FPageControl1;
    FPageControl1 = nullptr;
}

qint64 TFormMain::Handle()
{
    return static_cast<qint64>(winId());
}

void TFormMain::CreateControllers()
{
    const QString config = ConfigFilePath();
    FFind = new TPageFind(*FRegistry, *FPageControl1, *this, this);
    FZoom = new TPageZoom(*FRegistry, *FPageControl1, *this, config, this);
    FPermissions = new TPermissionPrompter(*FRegistry, *this, config, ServiceHost(), this);
    FPrinting = new TPrintController(*FRegistry, *this, *this, this);
    FDownloads = new TDownloadController(FEngine, *this, *this, this);
    auto* notifier = new TTrayNotifier(*TrayIcon1, FEngine, *FRegistry, *FDownloads, *this, this);
    connect(notifier, &TTrayNotifier::ShowWindowRequested, this, &TFormMain::NShowMainClick);
    FFullScreen = new TFullScreen(*this, *FRegistry, *FPageControl1, *this, [this] { return CurrentPlacement(); }, this);
    FCrashCover = new TCrashCover(*FRegistry, *this, this);
    FLoadFailures = new TLoadFailureCover(*FRegistry, *this, {}, this);
    FLeave = new TLeaveGuard(*FRegistry, *this, TLeaveGuard::AnswerWaitMs, nullptr, this);
    FOptions = new TOptionsWindow(*this, config, *this, this);
    FOptions->SetEngineVersion(FEngine.EngineVersion());
    FClosedTabs = new TClosedTabs(*FRegistry, this);
    FSession = new TSessionRestore(
        *FRegistry, *this, DataFile(QStringLiteral("session.json")),
        [](int count) {
            return AppMessageBox(QStringLiteral("恢复上次的页面？\n客户端上次没有正常退出，可以重新打开当时的 %1 个页面。").arg(count),
                                 MB_YESNO | MB_ICONQUESTION)
                   == IDYES;
        },
        TSessionRestore::SaveDelayMs, this);
    new TExternalLinks(
        *FRegistry, *this, [](const QUrl& url) { QDesktopServices::openUrl(url); }, &Platform::SchemeHandlerName, this);
    new TMemoryTrim(*FRegistry, &Platform::ReleaseFreeMemory, TMemoryTrim::QuietMs, this);
    FKeys = std::make_unique<TKeyCommands>(
        *this, TKeyTargets{*FRegistry, *FPageControl1, *FFind, *FZoom, *FPrinting, *FDownloads, *FFullScreen, *FOptions, *FClosedTabs}, *this);
    connect(FFind, &TPageFind::KeyPressed, this, [this](const TKeyPress& key) { FKeys->Run(key, TKeySource::FindBar); });
    auto* certificates = new TCertificateGuard(config, ServiceHost(), this);
    connect(certificates, &TCertificateGuard::WarningChanged, FRegistry,
            [registry = FRegistry](TChromium* view, bool shown) { registry->SetCertificateWarning(view, shown); });
    FSecrets = NewDesktopSecretStore();
    const auto tell = [](const QString& text) { AppMessageBox(text, MB_OK | MB_ICONEXCLAMATION); };
    auto* signIn = new TSignIn(
        *FSecrets, config, [this](const TSignInQuestion& question) { return ExecuteSignInDialog(this, question); },
        tell, this);
    FOptions->SetSignIn(signIn);
    auto* clientCertificates = new TClientCertificates(
        FEngine, *FSecrets, config,
        [this](const QString& file, bool retry) { return ExecuteCertificatePassword(this, file, retry); },
        [this](const QString& host, const QList<QSslCertificate>& offered) {
            return ExecuteClientCertificateChoice(this, host, offered);
        },
        tell, this);
    // Before the first page: a server that asks for one must find it there.
    clientCertificates->LoadConfigured();
    auto* handler = new TPageHandler(*this, *FRegistry, *FDownloads, *FPrinting, *FFullScreen, *FKeys, *certificates,
                                     *signIn, *clientCertificates, *this, this);
    connect(handler, &TPageHandler::ClearCacheRequested, this, &TFormMain::ClearCacheAndRestart);
    connect(handler, &TPageHandler::ReloginRequested, this, &TFormMain::NReloginClick);
}

void TFormMain::EndPendingWork()
{
    FSession->EndedNormally();
    FStrip->Stop();
    FPermissions->DenyPending();
    FDownloads->End();
    FPrinting->End();
    FFullScreen->Leave();
}

void TFormMain::FormCreate()
{
    gAppDir = Platform::LongPathName(gAppDir);
    FConfirmExit = true;

    const TConfigFile config;
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
    // An administrator's autostart is put in place (or taken away) for this
    // user, once the login page is on its way.
    if (config.Locked(QStringLiteral("SYSTEM"), QStringLiteral("AUTOSTART"))) {
        QTimer::singleShot(2000, this, [] {
            try {
                SetAutoStart(gAutoStart);
                qInfo().noquote() << QStringLiteral("Autostart %1 by the administrator's policy").arg(gAutoStart ? "on" : "off");
            } catch (const EAppError& error) {
                qWarning().noquote() << QStringLiteral("Autostart by policy failed: %1").arg(error.Message());
            }
        });
    }
    const QScreen* screen = QGuiApplication::primaryScreen();
    const QSize workArea = screen ? screen->availableGeometry().size() : QSize(1024, 768);
    FStartPlacement = config.ReadPlacement(workArea);

    setWindowTitle(AppTitle());
    QApplication::setApplicationName(AppTitle());
    const QIcon icon = AppIcon();
    // Every window without one of its own, this one included, shows the
    // program's icon; setting it here as well would send the display
    // server all its sizes a second time.
    QApplication::setWindowIcon(icon);
    TrayIcon1->setIcon(icon);
    TrayIcon1->setToolTip(AppTitle());
    TrayIcon1->show();

    if ((FStartPlacement.State & 0xFF) != 2)
        FFrameFit = new TFrameFit(*this, FStartPlacement, this);

    StartBackgroundTasks();
    FRegistry->PrepareLoginView();
}

void TFormMain::StartBackgroundTasks()
{
    FLoginTask = new TLoginAddressTask(this);
    connect(FLoginTask, &TLoginAddressTask::LoginAddressReady, this, &TFormMain::LoginTaskReady);
    FLoginTask->Start();
    // New versions come from IT (an apt repository): no check, no question.
    if (TConfigFile().ReadUpdate().Managed) {
        qInfo().noquote() << QStringLiteral("Updates are managed by the administrator; no version check");
        return;
    }
    FVersionTask = new TVersionCheckTask(this);
    connect(FVersionTask, &TVersionCheckTask::UpdateOffered, this, &TFormMain::AskForUpdate);
    // The check asks once the first tab's page has loaded (or failed to).
    connect(FRegistry, &TTabRegistry::LoadingChanged, FVersionTask, [task = FVersionTask](int index, bool loading) {
        if (index == 1 && !loading)
            task->Release();
    });
    FVersionTask->Start();
}

void TFormMain::LoginTaskReady(const QString& address)
{
    FLoginUrl = address;
    FCrashCover->SetLoginUrl(address);
    FLoadFailures->SetLoginUrl(address);
    // The address already came through the event queue. Posting once more
    // would leave it waiting behind the window's first frames (tens of
    // milliseconds); handled now, it loads before they are drawn.
    TShellEvent message(WM_SHELL_LOGIN);
    QCoreApplication::sendEvent(this, &message);
}

void TFormMain::PageControl1Change()
{
    if (FClosing)
        return;
    FRegistry->RecalcTabWidth();
    TBrowserTab* tab = FRegistry->ActiveTab();
    if (!tab || !tab->Sheet)
        return;
    ShowCaptionOf(FRegistry->Caption(FRegistry->IndexOfPage(tab->Sheet)));
    if (tab->Browser && tab->Window)
        tab->Window->setFocus();
}

void TFormMain::RegistryCaptionChanged(int index)
{
    if (index == FPageControl1->ActivePageIndex())
        ShowCaptionOf(FRegistry->Caption(index));
}

void TFormMain::ShowCaptionOf(const QString& caption)
{
    setWindowTitle(QStringLiteral("%1 - %2 %3").arg(caption, AppTitle(), QLatin1String(ClientVersion)));
}

void TFormMain::keyPressEvent(QKeyEvent* event)
{
    if (!FKeys->Run({event->key(), event->modifiers(), event->isAutoRepeat()}, TKeySource::Shell))
        QWidget::keyPressEvent(event);
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
    if (FFrameFit)
        FFrameFit->WindowShown();
}

TWindowPlacement TFormMain::CurrentPlacement() const
{
    // A page's full screen or F11 is passing: the placement is the one it returns to.
    if (const std::optional<TWindowPlacement> placement = FFullScreen ? FFullScreen->ReturnPlacement() : std::nullopt)
        return *placement;
    TWindowPlacement placement;
    placement.State = isMinimized() ? 1 : (isMaximized() ? 2 : 0);
    if (FFrameFit && FFrameFit->Waiting()) {
        placement.Left = FStartPlacement.Left;
        placement.Top = FStartPlacement.Top;
        placement.Right = FStartPlacement.Right;
        placement.Bottom = FStartPlacement.Bottom;
        return placement;
    }
    const QRect frame = frameGeometry();
    placement.Left = frame.left();
    placement.Top = frame.top();
    placement.Right = frame.left() + frame.width();
    placement.Bottom = frame.top() + frame.height();
    return placement;
}

void TFormMain::FormDestroy()
{
    // A task still running must not reach this window any more.
    delete FLoginTask;
    FLoginTask = nullptr;
    delete FVersionTask;
    FVersionTask = nullptr;
    if (FMessageFilter)
        qApp->removeNativeEventFilter(FMessageFilter.get());
    if (FFrameFit)
        FFrameFit->End();
    gInstanceMutex.Release();
    FStrip->Stop();
}

void TFormMain::closeEvent(QCloseEvent* event)
{
    FormCloseQuery(event);
}

void TFormMain::FormCloseQuery(QCloseEvent* event)
{
    try {
        TConfigFile().WritePlacement(CurrentPlacement());
    } catch (const EAppError& error) {
        // An unwritable config.ini must not trap the user in a program that
        // can neither hide nor end: report it once, then go on unsaved.
        if (!FConfigWriteReported) {
            FConfigWriteReported = true;
            AppMessageBox(error.Message(), MB_OK);
        }
    }
    const auto askExit = [this] {
        const int running = FDownloads->List().ActiveCount();
        const QString question = running > 0
                                     ? QStringLiteral("还有 %1 个文件正在下载，退出将取消下载。确定要退出吗？").arg(running)
                                     : QStringLiteral("确定要退出吗？");
        // Then each page with unsaved input may keep the program open.
        return AppMessageBox(question, 0x24) == IDYES && FLeave->AskAllToLeave();
    };
    switch (DecideClose(*this, askExit)) {
    case TCloseDecision::Hide:
        event->ignore();
        HideToTray();
        break;
    case TCloseDecision::Refuse:
        event->ignore();
        break;
    case TCloseDecision::Close:
        EndPendingWork();
        event->accept();
        QCoreApplication::quit();
        break;
    }
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
                TConfigFile().WriteHandle(Handle());
            } catch (const EAppError&) {
                // Already reported when the window was created.
            }
        }
        return QWidget::event(event);
    case WM_SHELL_ACTIVATE:
        NShowMainClick();
        return true;
    case WM_SHELL_LOGIN:
        FRegistry->OpenAddressTab(FLoginUrl);
        return true;
    case WM_SHELL_POPUP_TAB:
        FRegistry->OpenPopupTab(static_cast<TPopupTabEvent*>(event)->Info);
        return true;
    case WM_SHELL_CLOSE_TAB:
        // The page may keep its tab: unsaved input asks first.
        FLeave->CloseTab(static_cast<int>(static_cast<TShellEvent*>(event)->WParam()));
        return true;
    default:
        return QWidget::event(event);
    }
}
