// The main window's keys: tab keys, page keys, find in page, zoom and full
// screen. Which key goes where is decided by KeyRouting; this only acts.

#include "shell/Main.h"

#include "config/ConfigFile.h"
#include "core/Global.h"
#include "page/FindBar.h"
#include "tabs/PageControl.h"
#include "shell/ShellMessages.h"
#include "tabs/TabCycle.h"
#include "tabs/TabRegistry.h"
#include "page/Zoom.h"
#include "util/AppError.h"

#include <QApplication>
#include <QDebug>
#include <QKeyEvent>

#include <cmath>

void TFormMain::BindKeyEvents(TChromium* view)
{
    connect(view, &TChromium::KeyUnhandled, this, [this, view](const TKeyPress& key) { crmKeyEvent(view, key); });
    connect(view, &TChromium::FindResult, this,
            [this, view](int active, int count) { crmFindResult(view, active, count); });
    connect(view, &TChromium::ZoomWheel, this, [this, view](int steps) { crmZoomWheel(view, steps); });
    connect(view, &TChromium::UrlChanged, this, [this, view] { ApplyZoom(view); });
    connect(view, &TChromium::LoadingStateChanged, this, [this, view](bool loading) {
        if (!loading)
            ApplyZoom(view);
    });
}

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

void TFormMain::crmKeyEvent(TChromium*, const TKeyPress& Key)
{
    RunKey(Key, TKeySource::PageUnhandled);
}

void TFormMain::FindBarKeyPress(const TKeyPress& Key)
{
    RunKey(Key, TKeySource::FindBar);
}

void TFormMain::keyPressEvent(QKeyEvent* event)
{
    if (!RunKey({event->key(), event->modifiers(), event->isAutoRepeat()}, TKeySource::Shell))
        QWidget::keyPressEvent(event);
}

TBrowserTab* TFormMain::KeyTab() const
{
    TBrowserTab* tab = FRegistry->ActiveTab();
    return tab && tab->Browser && tab->Sheet ? tab : nullptr;
}

void TFormMain::RunKeyCommand(const TKeyRoute& Route)
{
    std::vector<bool> visible;
    for (int i = 0; i < FPageControl1->PageCount(); ++i)
        visible.push_back(FPageControl1->Page(i)->TabVisible);
    const int active = FPageControl1->ActivePageIndex();
    TBrowserTab* tab = KeyTab();
    TChromium* view = tab ? tab->Browser.data() : nullptr;

    switch (Route.Command) {
    case TKeyCommand::None: break;
    case TKeyCommand::CloseTab:
        // The path of every close gesture; the registry keeps the first tab.
        PostShellMessage(this, WM_SHELL_CLOSE_TAB, active);
        break;
    case TKeyCommand::NextTab: SelectPage(TabCycle::Next(visible, active, 1)); break;
    case TKeyCommand::PreviousTab: SelectPage(TabCycle::Next(visible, active, -1)); break;
    case TKeyCommand::SelectTab: SelectPage(TabCycle::Nth(visible, Route.Tab)); break;
    case TKeyCommand::LastTab: SelectPage(TabCycle::Last(visible)); break;
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
    case TKeyCommand::ToggleFullScreen: ToggleFullScreen(); break;
    case TKeyCommand::Print: PrintActiveTab(); break;
    case TKeyCommand::ShowDownloads: ShowDownloads(); break;
    case TKeyCommand::OpenFind: OpenFind(); break;
    case TKeyCommand::FindNext: FindStep(false); break;
    case TKeyCommand::FindPrevious: FindStep(true); break;
    case TKeyCommand::CloseFind: CloseFind(); break;
    case TKeyCommand::ZoomIn: ZoomBy(view, 1); break;
    case TKeyCommand::ZoomOut: ZoomBy(view, -1); break;
    case TKeyCommand::ZoomReset: SetZoom(view, ZoomSteps::Default); break;
    }
}

void TFormMain::SelectPage(int index)
{
    if (index < 0 || index == FPageControl1->ActivePageIndex())
        return;
    FPageControl1->SetActivePageIndex(index);
    PageControl1Change();
}

// ---- find in page ----------------------------------------------------------

TFindBar& TFormMain::FindBar()
{
    // Made the first time it is wanted: most days it never is, and its
    // widgets would cost the start several milliseconds.
    if (!FFindBar) {
        FFindBar = new TFindBar();
        FPageControl1->SetBar(FFindBar);
        connect(FFindBar, &TFindBar::KeyPressed, this, &TFormMain::FindBarKeyPress);
        connect(FFindBar, &TFindBar::TextEdited, this, &TFormMain::FindBarTextEdited);
        connect(FFindBar, &TFindBar::NextClicked, this, [this] { FindStep(false); });
        connect(FFindBar, &TFindBar::PreviousClicked, this, [this] { FindStep(true); });
        connect(FFindBar, &TFindBar::CloseClicked, this, &TFormMain::CloseFind);
    }
    return *FFindBar;
}

bool TFormMain::FindBarShown() const
{
    return FFindBar && !FFindBar->isHidden();
}

void TFormMain::OpenFind()
{
    TBrowserTab* tab = KeyTab();
    if (!tab)
        return;
    tab->FindOpen = true;
    TFindBar& bar = FindBar();
    bar.Open(tab->FindText);
    if (tab->FindText.isEmpty())
        bar.ClearResult();
    else
        bar.ShowResult(tab->FindActive, tab->FindCount);
}

void TFormMain::FindBarTextEdited(const QString& Text)
{
    TBrowserTab* tab = KeyTab();
    if (!tab || FClosing)
        return;
    tab->FindText = Text;
    tab->FindActive = tab->FindCount = 0;
    if (Text.isEmpty())
        FFindBar->ClearResult();
    tab->Browser->FindText(Text, false);
}

void TFormMain::FindStep(bool backward)
{
    TBrowserTab* tab = KeyTab();
    if (!tab)
        return;
    if (!tab->FindOpen || !FindBarShown())
        OpenFind();
    if (!tab->FindText.isEmpty())
        tab->Browser->FindText(tab->FindText, backward);
}

void TFormMain::CloseFind()
{
    if (FFindBar)
        FFindBar->hide();
    TBrowserTab* tab = KeyTab();
    if (!tab)
        return;
    tab->FindOpen = false;
    tab->FindActive = tab->FindCount = 0;
    tab->Browser->FindText(QString(), false); // clears the highlight
    if (tab->Window)
        tab->Window->setFocus();
}

void TFormMain::crmFindResult(TChromium* Sender, int Active, int Count)
{
    if (FClosing || !Sender)
        return;
    TBrowserTab* tab = FRegistry->FindTab(Sender->Tag);
    if (!tab || tab->Browser != Sender)
        return;
    tab->FindActive = Active;
    tab->FindCount = Count;
    if (tab == KeyTab() && tab->FindOpen && FindBarShown()) {
        FFindBar->ShowResult(Active, Count);
        qDebug().noquote() << QStringLiteral("Find in tab %1: %2").arg(Sender->Tag).arg(FFindBar->ResultText());
    }
}

void TFormMain::FindBarFollowActiveTab()
{
    TBrowserTab* tab = KeyTab();
    if (!tab || !tab->FindOpen) {
        if (FFindBar)
            FFindBar->hide();
        return;
    }
    TFindBar& bar = FindBar();
    bar.SetText(tab->FindText);
    bar.ShowResult(tab->FindActive, tab->FindCount);
    bar.show();
}

// ---- zoom --------------------------------------------------------------------

void TFormMain::crmZoomWheel(TChromium* Sender, int Steps)
{
    if (!FClosing && !QApplication::activeModalWidget())
        ZoomBy(Sender, Steps);
}

void TFormMain::ZoomBy(TChromium* view, int steps)
{
    if (!view || !FZoom)
        return;
    const QString host = TZoomStore::HostOf(view->Url());
    int percent = host.isEmpty() ? static_cast<int>(std::lround(view->ZoomFactor() * 100)) : FZoom->Level(host);
    for (int i = 0; i < std::abs(steps); ++i)
        percent = steps > 0 ? ZoomSteps::In(percent) : ZoomSteps::Out(percent);
    SetZoom(view, percent);
}

void TFormMain::SetZoom(TChromium* view, int percent)
{
    if (!view || !FZoom)
        return;
    const QString host = TZoomStore::HostOf(view->Url());
    if (host.isEmpty()) {
        view->SetZoomFactor(percent / 100.0);
    } else {
        try {
            FZoom->SetLevel(host, percent);
        } catch (const EAppError& error) {
            // The level still holds for this run; config.ini problems are
            // reported where the window's own settings are written.
            qDebug().noquote() << error.Message();
        }
        // Every page of the host follows, in every tab.
        for (TChromium* other : FPageControl1->findChildren<TChromium*>())
            if (TZoomStore::HostOf(other->Url()) == host)
                other->SetZoomFactor(percent / 100.0);
    }
    FZoomIndicator->ShowLevel(percent);
}

void TFormMain::ApplyZoom(TChromium* view)
{
    if (!FZoom || FClosing || !view)
        return;
    const QString host = TZoomStore::HostOf(view->Url());
    if (!host.isEmpty())
        view->SetZoomFactor(FZoom->Level(host) / 100.0);
}

// ---- full screen ---------------------------------------------------------------

void TFormMain::ToggleFullScreen()
{
    if (windowState().testFlag(Qt::WindowFullScreen)) {
        const bool maximized = FPlacementBeforeFullScreen && FPlacementBeforeFullScreen->State == 2;
        if (maximized)
            showMaximized();
        else
            showNormal();
        FPlacementBeforeFullScreen.reset();
        return;
    }
    FPlacementBeforeFullScreen = CurrentPlacement();
    showFullScreen();
}
