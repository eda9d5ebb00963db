#include "shell/FullScreen.h"

#include "engine/Chromium.h"
#include "tabs/PageControl.h"
#include "tabs/TabRegistry.h"
#include "widgets/ShutdownFlags.h"

#include <QShortcut>
#include <QWidget>

TFullScreen::TFullScreen(QWidget& window, TTabRegistry& registry, TPageControl& pages, const TShutdownFlags& flags,
                         std::function<TWindowPlacement()> placement, QObject* parent)
    : QObject(parent), FWindow(window), FRegistry(registry), FPages(pages), FFlags(flags),
      FPlacement(std::move(placement))
{
    // A page whose process ended cannot leave by itself.
    connect(&FRegistry, &TTabRegistry::ViewCreated, this, [this](TChromium* view) {
        connect(view, &TChromium::RenderProcessTerminated, this, [this, view](TRenderTermination status, int) {
            if (!FFlags.FClosing && status != TRenderTermination::Normal && view == FView)
                Leave();
        });
    });
}

std::optional<TWindowPlacement> TFullScreen::ReturnPlacement() const
{
    if (FKind == TKind::Page || (FKind == TKind::Window && FWindow.isFullScreen()))
        return FReturn;
    return std::nullopt;
}

void TFullScreen::Enter(TKind kind)
{
    if (FKind == TKind::None) {
        FReturn = FPlacement();
        FGeometry = FWindow.saveGeometry();
    }
    FKind = kind;
    FWindow.showFullScreen();
}

void TFullScreen::Toggle()
{
    if (FKind != TKind::None || FWindow.isFullScreen())
        Leave();
    else
        Enter(TKind::Window);
}

bool TFullScreen::PageRequest(TChromium* view, bool on)
{
    if (!on) {
        if (view == FView)
            Leave();
        return true;
    }
    if (FFlags.FClosing || FView)
        return false;
    FView = view;
    // A page that closes itself while full screen takes the full screen
    // with it. The view is half gone by then: it is not touched again.
    FViewGone = connect(view, &QObject::destroyed, this, [this] {
        FView = nullptr;
        Leave();
    });
    FRegistry.ActivateTabOf(view);
    FPages.SetStripHidden(true);
    if (!FEsc) {
        FEsc = new QShortcut(QKeySequence(Qt::Key_Escape), &FWindow);
        connect(FEsc, &QShortcut::activated, this, [this] {
            if (FView)
                FView->ExitFullScreen();
            else
                Leave();
        });
    }
    FEsc->setEnabled(true);
    Enter(TKind::Page);
    return true;
}

void TFullScreen::Leave()
{
    disconnect(FViewGone);
    if (FEsc)
        FEsc->setEnabled(false);
    if (FKind == TKind::None && !FWindow.isFullScreen())
        return;
    const TKind kind = std::exchange(FKind, TKind::None);
    const QPointer<TChromium> view = std::exchange(FView, nullptr);
    FPages.SetStripHidden(false);
    if (view)
        view->ExitFullScreen();
    if (FFlags.FClosing)
        return;
    if (kind == TKind::Page) {
        FWindow.showNormal();
        FWindow.restoreGeometry(FGeometry); // maximised again if it was
    } else if (kind == TKind::Window && FReturn.State == 2) {
        FWindow.showMaximized();
    } else {
        FWindow.showNormal();
    }
}
