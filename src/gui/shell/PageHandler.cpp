#include "shell/PageHandler.h"

#include "core/Global.h"
#include "downloads/DownloadController.h"
#include "page/CertificateGuard.h"
#include "page/ClientCertificates.h"
#include "page/SignIn.h"
#include "page/PageCommand.h"
#include "page/PageMenu.h"
#include "print/PrintController.h"
#include "service/ServiceHost.h"
#include "shell/FullScreen.h"
#include "shell/KeyCommands.h"
#include "shell/ShellMessages.h"
#include "tabs/PageControl.h"
#include "tabs/TabRegistry.h"
#include "widgets/AppMessageBox.h"
#include "widgets/ShutdownFlags.h"

#include <QCoreApplication>
#include <QDebug>
#include <QPointer>
#include <QTimer>
#include <QWidget>

TPageHandler::TPageHandler(QWidget& window, TTabRegistry& registry, TDownloadController& downloads,
                           TPrintController& printing, TFullScreen& fullScreen, TKeyCommands& keys,
                           TCertificateGuard& certificates, TSignIn& signIn, TClientCertificates& clientCertificates,
                           const TShutdownFlags& flags, QObject* parent)
    : QObject(parent), FWindow(window), FRegistry(registry), FDownloads(downloads), FPrinting(printing),
      FFullScreen(fullScreen), FKeys(keys), FCertificates(certificates), FSignIn(signIn),
      FClientCertificates(clientCertificates), FFlags(flags)
{
    FClock.start();
    connect(&FRegistry, &TTabRegistry::ViewCreated, this, &TPageHandler::ViewCreated);
    connect(&FRegistry, &TTabRegistry::TabRemoved, this, [this](int, int id) {
        FPopupLimit.Closed(id);
        FBoxFlood.Forget(id);
    });
}

void TPageHandler::ViewCreated(TChromium* view)
{
    view->SetHandler(this);
    connect(view, &TChromium::TitleChanged, this, [this, view](const QString& title) {
        if (!FFlags.FClosing)
            FRegistry.SetTitle(view, title);
    });
    connect(view, &TChromium::LoadingStateChanged, this, [this, view](bool loading) {
        if (!FFlags.FClosing)
            FRegistry.SetTabLoading(view, !loading);
    });
    connect(view, &TChromium::CloseRequested, this, [this, view] { crmClose(view); });
    // The service's own "复制" buttons may write to the clipboard; other
    // sites only through the user's own copy.
    connect(view, &TChromium::UrlChanged, view, [view](const QString& url) {
        view->SetClipboardAccess(IsServiceOrigin(QUrl(url), ServiceHost()));
    });
    connect(view, &TChromium::ContextMenuCommand, this, [this, view](const TContextMenuParams& params, int id) {
        RunPageMenuCommand(&FWindow, view, params, id);
    });
    // Another document starts afresh with its boxes.
    connect(view, &TChromium::LoadingStateChanged, this, [this, view](bool loading) {
        if (loading)
            FBoxFlood.Forget(view->Tag);
    });
    connect(view, &TChromium::KeyUnhandled, this,
            [this](const TKeyPress& key) { FKeys.Run(key, TKeySource::PageUnhandled); });
}

TChromium* TPageHandler::crmBeforePopup(TChromium* Sender, const TPopupRequest& Request)
{
    // Shutting down, or no tab opened yet: the page gets no window.
    if (FFlags.FClosing)
        return nullptr;
    if (!FPopupLimit.Allow(Sender ? Sender->Tag : 0, Request.UserGesture, FClock.elapsed())) {
        qDebug().noquote() << QStringLiteral("Popup refused: more than %1 a minute without a click from tab %2")
                                  .arg(TPopupLimit::Limit)
                                  .arg(Sender ? Sender->Tag : 0);
        return nullptr;
    }
    TChromium* view = FRegistry.NewPopupView();
    if (!view)
        return nullptr;
    FPopupLimit.Opened(Sender ? Sender->Tag : 0, view->Tag);
    TPopupInfo info;
    info.Window = view;
    info.Background = Request.Disposition == TWindowDisposition::NewBackgroundTab;
    QCoreApplication::postEvent(&FWindow, new TPopupTabEvent(info));
    return view;
}

void TPageHandler::crmBeforeResourceLoad(TChromium*, const QUrl&, TRequestHeaders& Headers)
{
    Headers.Set("Accept-Language", "zh-CN");
}

void TPageHandler::crmJsdialog(TChromium* Sender, const TJsDialogRequest& Request, TJsDialogReply& Reply)
{
    // Shutting down: no box and no command any more; the page sees a
    // cancelled dialog.
    if (FFlags.FClosing) {
        Reply.Handled = true;
        return;
    }
    TPageCommand command = ParsePageCommand(Request.MessageText);
    // Only the service's own pages may command the shell: from any other
    // page or frame the text is an ordinary dialog.
    if (command.Kind != TPageCommandKind::Dialog && !IsFromService(Sender, Request)) {
        qDebug().noquote() << QStringLiteral("Page command refused from %1").arg(Request.OriginUrl.toDisplayString());
        command.Kind = TPageCommandKind::Dialog;
    }
    switch (command.Kind) {
    case TPageCommandKind::Dialog:
        Reply.Handled = true;
        // A page whose boxes the user stopped gets a cancelled dialog at once.
        if (!FBoxFlood.MayShow(Sender ? Sender->Tag : 0, FClock.elapsed()))
            return;
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
        Q_EMIT ClearCacheRequested();
        return;
    case TPageCommandKind::Relogin:
        Reply.Handled = true;
        Q_EMIT ReloginRequested();
        return;
    }
}

bool TPageHandler::IsFromService(TChromium* Sender, const TJsDialogRequest& Request)
{
    // Both the frame that asks and the page it sits in: a service frame
    // inside someone else's page does not speak for the service.
    return Sender && IsServiceOrigin(Request.OriginUrl, ServiceHost())
           && IsServiceOrigin(QUrl(Sender->Url()), ServiceHost());
}

void TPageHandler::crmBeforeContextMenu(TChromium*, const TContextMenuParams& Params, TContextMenuModel& Model)
{
    EditPageMenu(Params, Model);
}

void TPageHandler::crmBeforeDownload(TChromium* Sender, const TDownloadRequest& Request, TDownloadReply& Reply)
{
    // Each download opens a save dialog: a stream of them is a flood of boxes.
    if (FBoxFlood.MayShow(Sender ? Sender->Tag : 0, FClock.elapsed()))
        FDownloads.BeforeDownload(Request, Reply);
}

bool TPageHandler::crmFullScreenRequest(TChromium* Sender, bool ToggleOn)
{
    return FFullScreen.PageRequest(Sender, ToggleOn);
}

bool TPageHandler::crmPreKeyEvent(TChromium*, const TKeyPress& Key)
{
    return FKeys.Run(Key, TKeySource::PageBefore);
}

bool TPageHandler::crmCertificateError(TChromium* Sender, const TCertificateError& Error)
{
    return FCertificates.Decide(Sender, Error);
}

std::optional<TCredentials> TPageHandler::crmSignInRequired(TChromium* Sender, const TSignInRequest& Request)
{
    // A page of a window on its way out asks nobody.
    if (FFlags.FClosing)
        return std::nullopt;
    // Asked for a background tab, the box still names the server; the tab
    // comes to the front so the user sees whose page asks.
    FRegistry.ActivateTabOf(Sender);
    return FSignIn.Answer(Request);
}

std::optional<int> TPageHandler::crmSelectClientCertificate(TChromium* Sender, const TClientCertificateRequest& Request)
{
    if (FFlags.FClosing)
        return std::nullopt;
    FRegistry.ActivateTabOf(Sender);
    return FClientCertificates.Select(Request);
}

void TPageHandler::crmClose(TChromium* Sender)
{
    // Asked whether it may go before the program ends: the answer is all.
    if (FFlags.FLeaving)
        return;
    // A page that prints and closes itself (a receipt) closes once its print
    // window is done: print() does not wait here as it does in a browser.
    FPrinting.WhenDone(Sender, [this, view = QPointer<TChromium>(Sender)] {
        if (view)
            ClosePageOf(view);
    });
}

void TPageHandler::ClosePageOf(TChromium* Sender)
{
    // Deferred: the page that asked is still inside its own event. A page
    // closing itself never switches the shell off: a popup's tab closes
    // like any other, and the first tab's page hides the window.
    TTabPage* page = FRegistry.PageOf(Sender);
    if (page && FRegistry.IndexOfPage(page) > 1) {
        QTimer::singleShot(0, this, [this, page = QPointer<TTabPage>(page)] {
            if (page)
                FRegistry.CloseTab(FRegistry.IndexOfPage(page));
        });
        return;
    }
    QTimer::singleShot(0, &FWindow, [window = &FWindow] { window->close(); });
}
