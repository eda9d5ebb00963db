// The main window's side of its pages: the controllers it makes, the hooks
// the views ask synchronously, the page commands and the keys.

#include "shell/Main.h"

#include "core/Global.h"
#include "downloads/DownloadController.h"
#include "page/CrashCover.h"
#include "page/PageCommand.h"
#include "page/PageFind.h"
#include "page/PageMenu.h"
#include "page/PageZoom.h"
#include "page/PermissionPrompter.h"
#include "page/Zoom.h"
#include "print/PrintController.h"
#include "shell/FullScreen.h"
#include "shell/ShellMessages.h"
#include "shell/Successor.h"
#include "shell/TrayNotifier.h"
#include "tabs/PageControl.h"
#include "tabs/TabCycle.h"
#include "tabs/TabRegistry.h"
#include "tabs/TabStrip.h"
#include "widgets/AppMessageBox.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDebug>
#include <QKeyEvent>
#include <QTimer>

void TFormMain::CreateControllers()
{
    const QString config = ConfigFilePath();
    FFind = new TPageFind(*FRegistry, *FPageControl1, *this, this);
    connect(FFind, &TPageFind::KeyPressed, this, [this](const TKeyPress& key) { RunKey(key, TKeySource::FindBar); });
    FZoom = new TPageZoom(*FRegistry, *FPageControl1, *this, config, this);
    FPermissions = new TPermissionPrompter(*FRegistry, *this, config, ServiceHost(), this);
    FPrinting = new TPrintController(*FRegistry, *this, *this, this);
    FDownloads = new TDownloadController(*FRegistry, *this, *this, this);
    FTrayNotifier = new TTrayNotifier(*TrayIcon1, FEngine, *FRegistry, *FDownloads, *this, this);
    connect(FTrayNotifier, &TTrayNotifier::ShowWindowRequested, this, &TFormMain::NShowMainClick);
    FFullScreen = new TFullScreen(*this, *FRegistry, *FPageControl1, *this, [this] { return CurrentPlacement(); }, this);
    FCrashCover = new TCrashCover(*FRegistry, *this, this);
}

void TFormMain::EndPendingWork()
{
    FStrip->Stop();
    FPermissions->DenyPending();
    FDownloads->End();
    FPrinting->End();
    FFullScreen->Leave();
}

void TFormMain::BindEvents(TChromium* view)
{
    view->SetHandler(this);
    connect(view, &TChromium::TitleChanged, this, [this, view](const QString& title) {
        if (!FClosing)
            FRegistry->SetTitle(view, title);
    });
    connect(view, &TChromium::LoadingStateChanged, this, [this, view](bool loading) {
        if (!FClosing)
            FRegistry->SetTabLoading(view, !loading);
    });
    connect(view, &TChromium::CloseRequested, this, [this, view] { crmClose(view); });
    connect(view, &TChromium::ContextMenuCommand, this, [this, view](const TContextMenuParams& params, int id) {
        RunPageMenuCommand(this, view, params, id);
    });
    connect(view, &TChromium::KeyUnhandled, this, [this](const TKeyPress& key) { RunKey(key, TKeySource::PageUnhandled); });
}

void TFormMain::LoginTaskReady(const QString& address)
{
    FLoginUrl = address;
    FCrashCover->SetLoginUrl(address);
    // The address already came through the event queue. Posting once more
    // would leave it waiting behind the window's first frames (tens of
    // milliseconds); handled now, it loads before they are drawn.
    TShellEvent message(WM_SHELL_LOGIN);
    QCoreApplication::sendEvent(this, &message);
}

TChromium* TFormMain::crmBeforePopup(TChromium* Sender, const TPopupRequest& Request)
{
    // Shutting down, or no tab opened yet: the page gets no window.
    if (FClosing)
        return nullptr;
    if (!FPopupLimit.Allow(Sender ? Sender->Tag : 0, Request.UserGesture, FPopupClock.elapsed())) {
        qDebug().noquote() << QStringLiteral("Popup refused: more than %1 a minute without a click from tab %2")
                                  .arg(TPopupLimit::Limit)
                                  .arg(Sender ? Sender->Tag : 0);
        return nullptr;
    }
    TChromium* view = FRegistry->NewPopupView();
    if (!view)
        return nullptr;
    TPopupInfo info;
    info.Window = view;
    info.Background = Request.Disposition == TWindowDisposition::NewBackgroundTab;
    QCoreApplication::postEvent(this, new TPopupTabEvent(info));
    return view;
}

void TFormMain::crmBeforeResourceLoad(TChromium*, const QUrl&, TRequestHeaders& Headers)
{
    Headers.Set("Accept-Language", "zh-CN");
}

void TFormMain::crmBeforeContextMenu(TChromium*, const TContextMenuParams& Params, TContextMenuModel& Model)
{
    EditPageMenu(Params, Model);
}

void TFormMain::crmBeforeDownload(TChromium*, const TDownloadRequest& Request, TDownloadReply& Reply)
{
    FDownloads->BeforeDownload(Request, Reply);
}

bool TFormMain::crmFullScreenRequest(TChromium* Sender, bool ToggleOn)
{
    return FFullScreen->PageRequest(Sender, ToggleOn);
}

void TFormMain::crmJsdialog(TChromium*, const TJsDialogRequest& Request, TJsDialogReply& Reply)
{
    // Shutting down: no box and no command any more; the page sees a
    // cancelled dialog.
    if (FClosing) {
        Reply.Handled = true;
        return;
    }
    const TPageCommand command = ParsePageCommand(Request.MessageText);
    switch (command.Kind) {
    case TPageCommandKind::Dialog:
        Reply.Handled = true;
        if (Request.Type == TJsDialogType::Confirm) {
            if (ShowMessageBox(QString(), Request.MessageText, MB_YESNO) == IDYES) {
                Reply.Success = true;
                Reply.HasInput = true;
                Reply.UserInput = Request.DefaultPromptText;
            }
        } else {
            // Alert and prompt alike: the text and one OK button; a prompt
            // collects nothing and gives the page null.
            ShowMessageBox(AppTitle(), Request.MessageText, MB_OK);
        }
        return;
    case TPageCommandKind::EngineOwn:
        return; // not handled: the engine shows the full text itself
    case TPageCommandKind::ClearCache:
        Reply.Handled = true;
        FClosing = true;
        FExitRequested = true;
        FConfirmExit = false;
        close();
        RestartWithEmptyCache();
        return;
    case TPageCommandKind::Relogin:
        Reply.Handled = true;
        NReloginClick();
        return;
    }
}

void TFormMain::crmClose(TChromium* Sender)
{
    // Deferred: the page that asked is still inside its own event. A page
    // closing itself never switches the shell off: a popup's tab closes
    // like any other, and the first tab's page hides the window.
    TTabPage* page = FRegistry->PageOf(Sender);
    if (page && FPageControl1->IndexOf(page) > 1) {
        QTimer::singleShot(0, this, [this, page = QPointer<TTabPage>(page)] {
            if (page)
                FRegistry->CloseTab(FPageControl1->IndexOf(page));
        });
        return;
    }
    QTimer::singleShot(0, this, [this] { close(); });
}

void TFormMain::RegistryCaptionChanged(int index)
{
    if (index == FPageControl1->ActivePageIndex())
        ShowCaptionOf(FPageControl1->Page(index)->Caption);
}

void TFormMain::ShowCaptionOf(const QString& caption)
{
    setWindowTitle(QStringLiteral("%1 - %2 %3").arg(caption, AppTitle(), QLatin1String(ClientVersion)));
}

void TFormMain::PageControl1Change()
{
    if (FClosing)
        return;
    FRegistry->RecalcTabWidth();
    TBrowserTab* tab = FRegistry->ActiveTab();
    if (!tab || !tab->Sheet)
        return;
    ShowCaptionOf(tab->Sheet->Caption);
    if (tab->Browser && tab->Window)
        tab->Window->setFocus();
}

// ---- keys: which key goes where is decided by KeyRouting; this only acts ----

bool TFormMain::RunKey(const TKeyPress& Key, TKeySource Source)
{
    TKeyState state;
    state.Closing = FClosing;
    state.ModalOpen = QApplication::activeModalWidget() != nullptr;
    const TKeyRoute route = KeyRouting::Route(Key, Source, state);
    RunKeyCommand(route);
    return route.Taken;
}

bool TFormMain::crmPreKeyEvent(TChromium*, const TKeyPress& Key)
{
    return RunKey(Key, TKeySource::PageBefore);
}

void TFormMain::keyPressEvent(QKeyEvent* event)
{
    if (!RunKey({event->key(), event->modifiers(), event->isAutoRepeat()}, TKeySource::Shell))
        QWidget::keyPressEvent(event);
}

void TFormMain::RunKeyCommand(const TKeyRoute& Route)
{
    const std::vector<bool> visible = FRegistry->TabVisibility();
    const int active = FPageControl1->ActivePageIndex();
    TBrowserTab* tab = FRegistry->ActiveBrowserTab();
    TChromium* view = tab ? tab->Browser.data() : nullptr;

    switch (Route.Command) {
    case TKeyCommand::None: break;
    case TKeyCommand::CloseTab:
        // The path of every close gesture; the registry keeps the first tab.
        PostShellMessage(this, WM_SHELL_CLOSE_TAB, active);
        break;
    case TKeyCommand::NextTab: FRegistry->Activate(TabCycle::Next(visible, active, 1)); break;
    case TKeyCommand::PreviousTab: FRegistry->Activate(TabCycle::Next(visible, active, -1)); break;
    case TKeyCommand::SelectTab: FRegistry->Activate(TabCycle::Nth(visible, Route.Tab)); break;
    case TKeyCommand::LastTab: FRegistry->Activate(TabCycle::Last(visible)); break;
    case TKeyCommand::Reload:
        if (view)
            view->Reload();
        break;
    case TKeyCommand::ReloadBypassingCache:
        if (view)
            view->ReloadBypassingCache();
        break;
    case TKeyCommand::StopLoad:
        if (view)
            view->StopLoad();
        break;
    case TKeyCommand::GoBack:
        if (view)
            view->GoBack();
        break;
    case TKeyCommand::GoForward:
        if (view)
            view->GoForward();
        break;
    case TKeyCommand::ToggleFullScreen: FFullScreen->Toggle(); break;
    case TKeyCommand::Print: FPrinting->PrintActiveTab(); break;
    case TKeyCommand::ShowDownloads: FDownloads->Show(); break;
    case TKeyCommand::OpenFind: FFind->Open(); break;
    case TKeyCommand::FindNext: FFind->Step(false); break;
    case TKeyCommand::FindPrevious: FFind->Step(true); break;
    case TKeyCommand::CloseFind: FFind->Close(); break;
    case TKeyCommand::ZoomIn: FZoom->ZoomBy(view, 1); break;
    case TKeyCommand::ZoomOut: FZoom->ZoomBy(view, -1); break;
    case TKeyCommand::ZoomReset: FZoom->SetZoom(view, ZoomSteps::Default); break;
    }
}
