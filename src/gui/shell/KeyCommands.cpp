#include "shell/KeyCommands.h"

#include "downloads/DownloadController.h"
#include "page/PageFind.h"
#include "page/PageZoom.h"
#include "page/Zoom.h"
#include "print/PrintController.h"
#include "shell/FullScreen.h"
#include "shell/ShellMessages.h"
#include "tabs/ClosedTabs.h"
#include "tabs/PageControl.h"
#include "tabs/TabCycle.h"
#include "tabs/TabRegistry.h"
#include "widgets/ShutdownFlags.h"
#include "windows/Options.h"

#include <QApplication>

TKeyCommands::TKeyCommands(QWidget& window, const TKeyTargets& targets, const TShutdownFlags& flags)
    : FWindow(window), FTargets(targets), FFlags(flags)
{
}

bool TKeyCommands::Run(const TKeyPress& key, TKeySource source)
{
    TKeyState state;
    state.Closing = FFlags.FClosing;
    state.ModalOpen = QApplication::activeModalWidget() != nullptr;
    const TKeyRoute route = KeyRouting::Route(key, source, state);
    RunKeyCommand(route);
    return route.Taken;
}

void TKeyCommands::RunKeyCommand(const TKeyRoute& route)
{
    TTabRegistry& registry = FTargets.Registry;
    const std::vector<bool> visible = registry.TabVisibility();
    const int active = FTargets.Pages.ActivePageIndex();
    TBrowserTab* tab = registry.ActiveBrowserTab();
    TChromium* view = tab ? tab->Browser.data() : nullptr;

    switch (route.Command) {
    case TKeyCommand::None: break;
    case TKeyCommand::CloseTab:
        // The path of every close gesture; the registry keeps the first tab.
        // By id: pages may move before the message is handled.
        PostShellMessage(&FWindow, WM_SHELL_CLOSE_TAB, registry.IdAt(active));
        break;
    case TKeyCommand::NextTab: registry.Activate(TabCycle::Next(visible, active, 1)); break;
    case TKeyCommand::PreviousTab: registry.Activate(TabCycle::Next(visible, active, -1)); break;
    case TKeyCommand::SelectTab: registry.Activate(TabCycle::Nth(visible, route.Tab)); break;
    case TKeyCommand::LastTab: registry.Activate(TabCycle::Last(visible)); break;
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
    case TKeyCommand::ToggleFullScreen: FTargets.FullScreen.Toggle(); break;
    case TKeyCommand::Print: FTargets.Printing.PrintActiveTab(); break;
    case TKeyCommand::ShowDownloads: FTargets.Downloads.Show(); break;
    case TKeyCommand::ShowOptions: FTargets.Options.Show(); break;
    case TKeyCommand::ReopenClosedTab: FTargets.ClosedTabs.ReopenLast(); break;
    case TKeyCommand::OpenFind: FTargets.Find.Open(); break;
    case TKeyCommand::FindNext: FTargets.Find.Step(false); break;
    case TKeyCommand::FindPrevious: FTargets.Find.Step(true); break;
    case TKeyCommand::CloseFind: FTargets.Find.Close(); break;
    case TKeyCommand::ZoomIn: FTargets.Zoom.ZoomBy(view, 1); break;
    case TKeyCommand::ZoomOut: FTargets.Zoom.ZoomBy(view, -1); break;
    case TKeyCommand::ZoomReset: FTargets.Zoom.SetZoom(view, ZoomSteps::Default); break;
    }
}
