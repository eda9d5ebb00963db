#include "print/PrintController.h"

#include "engine/Chromium.h"
#include "print/PrintPreview.h"
#include "tabs/TabRegistry.h"
#include "widgets/ShutdownFlags.h"

#include <QDebug>

TPrintController::TPrintController(TTabRegistry& registry, QWidget& window, const TShutdownFlags& flags,
                                   QObject* parent)
    : QObject(parent), FRegistry(registry), FOwner(window), FFlags(flags)
{
    connect(&FRegistry, &TTabRegistry::ViewCreated, this, [this](TChromium* view) {
        connect(view, &TChromium::PrintRequested, this, [this, view] { Print(view); });
    });
}

TFormPrint* TPrintController::Window() const
{
    return FWindow;
}

void TPrintController::PrintActiveTab()
{
    const TBrowserTab* tab = FRegistry.ActiveTab();
    if (tab && tab->Browser)
        Print(tab->Browser);
}

void TPrintController::Print(TChromium* view)
{
    if (FFlags.FClosing || !view)
        return;
    // One print at a time: a page calling print() again (or in a loop) finds
    // the print window already open.
    if (FWindow) {
        qDebug() << "Print refused: a print window is open already";
        FWindow->raise();
        FWindow->activateWindow();
        return;
    }
    FRegistry.ActivateTabOf(view);
    FWindow = new TFormPrint(view, &FOwner);
    FWindow->setAttribute(Qt::WA_DeleteOnClose);
    FWindow->setWindowModality(Qt::WindowModal);
    FWindow->open();
}

void TPrintController::WhenDone(const TChromium* view, std::function<void()> then)
{
    if (!FWindow || !view || FWindow->View() != view) {
        then();
        return;
    }
    connect(FWindow, &QObject::destroyed, this, std::move(then));
}

void TPrintController::End()
{
    if (FWindow)
        FWindow->reject();
}
