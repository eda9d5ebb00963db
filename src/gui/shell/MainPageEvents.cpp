// The main window's handling of its pages' events.

#include "shell/Main.h"

#include "core/Global.h"
#include "engine/DownloadItem.h"
#include "tabs/PageControl.h"
#include "shell/ShellMessages.h"
#include "tabs/TabRegistry.h"

#include <QCoreApplication>
#include <QDebug>
#include <QPointer>
#include <QTimer>

void TFormMain::BindEvents(TChromium* view)
{
    view->SetHandler(this);
    connect(view, &TChromium::TitleChanged, this, [this, view](const QString& title) { crmTitleChange(view, title); });
    connect(view, &TChromium::LoadingStateChanged, this, [this, view](bool loading, bool back, bool forward) {
        crmLoadingStateChange(view, loading, back, forward);
    });
    connect(view, &TChromium::CloseRequested, this, [this, view] { crmClose(view); });
    connect(view, &TChromium::ContextMenuCommand, this, [this, view](const TContextMenuParams& params, int id) {
        crmContextMenuCommand(view, params, id);
    });
    connect(view, &TChromium::PrintRequested, this, [this, view] { crmPrintRequested(view); });
    connect(view, &TChromium::RenderProcessTerminated, this,
            [this, view](TRenderTermination status, int) { crmRenderProcessTerminated(view, status); });
    connect(view, &TChromium::FeaturePermissionRequested, this,
            [this, view](const QUrl& origin, TPageFeature feature) {
                crmFeaturePermissionRequested(view, origin, feature);
            });
    connect(view, &TChromium::DownloadStarted, this, [this, view](TDownloadItem* item) { crmDownloadStarted(view, item); });
    BindKeyEvents(view);
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

void TFormMain::crmTitleChange(TChromium* Sender, const QString& Title)
{
    if (!FClosing)
        FRegistry->SetTitle(Sender, Title);
}

void TFormMain::RegistryCaptionChanged(int index)
{
    if (index == FPageControl1->ActivePageIndex())
        ShowCaptionOf(FPageControl1->Page(index)->Caption);
}

void TFormMain::crmLoadingStateChange(TChromium* Sender, bool IsLoading, bool, bool)
{
    if (!FClosing)
        FRegistry->SetTabLoading(Sender, !IsLoading);
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

void TFormMain::ShowCaptionOf(const QString& caption)
{
    setWindowTitle(QStringLiteral("%1 - %2 %3").arg(caption, AppTitle(), QLatin1String(ClientVersion)));
}

void TFormMain::PageControl1Change()
{
    if (FClosing)
        return;
    FindBarFollowActiveTab();
    FRegistry->RecalcTabWidth();
    TBrowserTab* tab = FRegistry->ActiveTab();
    if (!tab || !tab->Sheet)
        return;
    ShowCaptionOf(tab->Sheet->Caption);
    if (tab->Browser && tab->Window)
        tab->Window->setFocus();
}
