// The main window's handling of its pages' events.

#include "shell/Main.h"

#include "app/Global.h"
#include "shell/PageControl.h"
#include "shell/ShellMessages.h"

#include <QCoreApplication>
#include <QTimer>

TChromium* TFormMain::crmBeforePopup(TChromium*, const TPopupRequest& Request)
{
    // Shutting down, or no tab opened yet: the page gets no window.
    if (FClosing || !FPlaceholderWnd)
        return nullptr;
    // Each popup gets a placeholder of its own, so rapid popups become tabs
    // of their own, in order, without ever waiting on this thread.
    if (FPlaceholderWnd->HoldsPopup)
        AddPlaceholderPage();
    TTabPage* page = FPlaceholderWnd;
    page->HoldsPopup = true;
    TChromium* view = NewBrowserView(page);
    TPopupInfo info;
    info.Window = view;
    info.Background = Request.Disposition == TWindowDisposition::NewBackgroundTab;
    QCoreApplication::postEvent(this, new TPopupTabEvent(info));
    FLastPopupTime.emplace();
    FLastPopupTime->start();
    return view;
}

void TFormMain::crmBeforeResourceLoad(TChromium*, const QUrl&, TRequestHeaders& Headers)
{
    Headers.Set("Accept-Language", "zh-CN");
}

void TFormMain::crmTitleChange(TChromium* Sender, const QString& Title)
{
    if (FClosing || !Sender)
        return;
    TTabPage* page = PageOf(Sender);
    if (!page)
        return;
    TBrowserTab* tab = FindTab(page->Tag);
    if (Sender->IsPopup()) {
        if (!tab) {
            tab = NewTabRecord(Sender, page);
            FTabMap.insert(page->Tag, tab);
        }
        if (!tab->Window) {
            tab->Window = Sender;
            tab->Browser = Sender;
        }
    }
    if (!tab)
        return;
    const QString trimmed = Title.trimmed();
    if (trimmed.isEmpty() || trimmed == QLatin1String("about:blank"))
        return;
    page->Caption = PageControl1->IndexOf(page) == 1 ? AppTitle() : Title;
    PageControl1->RepaintTabs();
    if (PageControl1->Page(PageControl1->ActivePageIndex()) == page)
        ShowCaptionOf(page);
}

void TFormMain::crmLoadingStateChange(TChromium* Sender, bool IsLoading, bool, bool)
{
    if (!FClosing)
        SetTabLoading(Sender, !IsLoading);
}

void TFormMain::SetTabLoading(TChromium* view, bool loaded)
{
    if (!view || view->Tag == 0)
        return;
    TBrowserTab* tab = FindTab(view->Tag);
    if (!tab || !tab->Sheet)
        return;
    const int p = PageControl1->IndexOf(tab->Sheet);
    if (p < 0)
        return;
    if (!loaded && !FLoadingPages.contains(p)) {
        FLoadingPages.append(p);
        TimerRefreshTab->start();
    }
    if (loaded)
        FLoadingPages.removeOne(p);
    tab->Loaded = loaded;
    PageControl1->RepaintTabs();
}

void TFormMain::crmClose(TChromium*)
{
    FClosing = true;
    FConfirmExit = false;
    // Deferred: the page that asked is still inside its own event.
    QTimer::singleShot(0, this, [this] { close(); });
}

void TFormMain::ShowCaptionOf(const TTabPage* page)
{
    setWindowTitle(QStringLiteral("%1 - %2 %3").arg(page->Caption, AppTitle(), QLatin1String(ClientVersion)));
}

void TFormMain::PageControl1Change()
{
    if (FClosing)
        return;
    RecalcTabWidth();
    TBrowserTab* tab = ActiveTab();
    if (!tab || !tab->Sheet)
        return;
    ShowCaptionOf(tab->Sheet);
    if (tab->Browser && tab->Window)
        tab->Window->setFocus();
}
