#include "tabs/ClosedTabs.h"

#include "engine/Chromium.h"
#include "tabs/TabRegistry.h"

TClosedTabs::TClosedTabs(TTabRegistry& registry, QObject* parent)
    : QObject(parent), FRegistry(registry)
{
    connect(&FRegistry, &TTabRegistry::TabClosing, this, [this](int, TChromium* view) { TabClosing(view); });
}

void TClosedTabs::TabClosing(TChromium* view)
{
    const QString url = view->Url();
    if (url.isEmpty() || url == QLatin1String("about:blank"))
        return;
    FClosed.prepend({url, view->SaveHistory()});
    while (FClosed.size() > MaxKept)
        FClosed.removeLast();
}

bool TClosedTabs::ReopenLast()
{
    if (FClosed.isEmpty())
        return false;
    const TClosed closed = FClosed.takeFirst();
    // The list loads its own current entry; without one, the address does.
    FRegistry.OpenAddressTab(closed.History.isEmpty() ? closed.Url : QStringLiteral("about:blank"));
    const TBrowserTab* tab = FRegistry.ActiveTab();
    if (tab && tab->Browser && !closed.History.isEmpty())
        tab->Browser->RestoreHistory(closed.History);
    return true;
}
