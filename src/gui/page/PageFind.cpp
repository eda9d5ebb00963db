#include "page/PageFind.h"

#include "page/FindBar.h"
#include "tabs/PageControl.h"
#include "tabs/TabRegistry.h"
#include "widgets/ShutdownFlags.h"

#include <QDebug>

TPageFind::TPageFind(TTabRegistry& registry, TPageControl& pages, const TShutdownFlags& flags, QObject* parent)
    : QObject(parent), FRegistry(registry), FPages(pages), FFlags(flags)
{
    connect(&FRegistry, &TTabRegistry::ViewCreated, this, &TPageFind::ViewCreated);
    connect(&FRegistry, &TTabRegistry::ActiveChanged, this, &TPageFind::FollowActiveTab);
    connect(&FRegistry, &TTabRegistry::TabRemoved, this, [this](int, int id) { FStates.remove(id); });
}

void TPageFind::ViewCreated(TChromium* view)
{
    connect(view, &TChromium::FindResult, this,
            [this, view](int active, int count) { FindResult(view, active, count); });
}

TFindBar& TPageFind::Bar()
{
    if (!FBar) {
        FBar = new TFindBar();
        FPages.SetBar(FBar);
        connect(FBar, &TFindBar::KeyPressed, this, &TPageFind::KeyPressed);
        connect(FBar, &TFindBar::TextEdited, this, &TPageFind::TextEdited);
        connect(FBar, &TFindBar::NextClicked, this, [this] { Step(false); });
        connect(FBar, &TFindBar::PreviousClicked, this, [this] { Step(true); });
        connect(FBar, &TFindBar::CloseClicked, this, &TPageFind::Close);
    }
    return *FBar;
}

bool TPageFind::BarShown() const
{
    return FBar && !FBar->isHidden();
}

TPageFind::TState* TPageFind::KeyState(TBrowserTab** tab)
{
    TBrowserTab* active = FRegistry.ActiveBrowserTab();
    if (tab)
        *tab = active;
    return active ? &FStates[active->Browser->Tag] : nullptr;
}

void TPageFind::Open()
{
    TState* state = KeyState();
    if (!state)
        return;
    state->Open = true;
    TFindBar& bar = Bar();
    bar.Open(state->Text);
    if (state->Text.isEmpty())
        bar.ClearResult();
    else
        bar.ShowResult(state->Active, state->Count);
}

void TPageFind::TextEdited(const QString& text)
{
    TBrowserTab* tab = nullptr;
    TState* state = KeyState(&tab);
    if (!state || FFlags.FClosing)
        return;
    state->Text = text;
    state->Active = state->Count = 0;
    if (text.isEmpty())
        FBar->ClearResult();
    tab->Browser->FindText(text, false);
}

void TPageFind::Step(bool backward)
{
    TBrowserTab* tab = nullptr;
    TState* state = KeyState(&tab);
    if (!state)
        return;
    if (!state->Open || !BarShown())
        Open();
    if (!state->Text.isEmpty())
        tab->Browser->FindText(state->Text, backward);
}

void TPageFind::Close()
{
    if (FBar)
        FBar->hide();
    TBrowserTab* tab = nullptr;
    TState* state = KeyState(&tab);
    if (!state)
        return;
    state->Open = false;
    state->Active = state->Count = 0;
    tab->Browser->FindText(QString(), false); // clears the highlight
    if (tab->Window)
        tab->Window->setFocus();
}

void TPageFind::FindResult(TChromium* view, int active, int count)
{
    if (FFlags.FClosing || !view)
        return;
    const TBrowserTab* tab = FRegistry.FindTab(view->Tag);
    if (!tab || tab->Browser != view)
        return;
    TState& state = FStates[view->Tag];
    state.Active = active;
    state.Count = count;
    if (tab == FRegistry.ActiveBrowserTab() && state.Open && BarShown()) {
        FBar->ShowResult(active, count);
        qDebug().noquote() << QStringLiteral("Find in tab %1: %2").arg(view->Tag).arg(FBar->ResultText());
    }
}

void TPageFind::FollowActiveTab()
{
    if (FFlags.FClosing)
        return;
    const TState* state = KeyState();
    if (!state || !state->Open) {
        if (FBar)
            FBar->hide();
        return;
    }
    TFindBar& bar = Bar();
    bar.SetText(state->Text);
    bar.ShowResult(state->Active, state->Count);
    bar.show();
}
