#include "print/PrintController.h"

#include "engine/Chromium.h"
#include "print/PrintPreview.h"
#include "tabs/TabRegistry.h"
#include "widgets/ShutdownFlags.h"

#include <QDebug>
#include <QTimer>

TPrintController::TPrintController(TTabRegistry& registry, QWidget& window, const TShutdownFlags& flags,
                                   QObject* parent)
    : QObject(parent), FRegistry(registry), FOwner(window), FFlags(flags)
{
    connect(&FRegistry, &TTabRegistry::ViewCreated, this, [this](TChromium* view) {
        connect(view, &TChromium::PrintRequested, this, [this, view] { Print(view); });
        connect(view, &TChromium::FramePrintRequested, this,
                [this, view](const TFrameDocument& document) { PrintFrame(view, document); });
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
    OpenWindow(view);
}

void TPrintController::OpenWindow(TChromium* view)
{
    FWindow = new TFormPrint(view, &FOwner);
    FWindow->setAttribute(Qt::WA_DeleteOnClose);
    FWindow->setWindowModality(Qt::WindowModal);
    FWindow->open();
}

void TPrintController::PrintFrame(TChromium* view, const TFrameDocument& document)
{
    if (FFlags.FClosing || !view)
        return;
    if (FWindow || FFrameCopy) {
        qDebug() << "Frame print refused: a print is under way already";
        if (FWindow) {
            FWindow->raise();
            FWindow->activateWindow();
        }
        return;
    }
    TChromium* copy = view->CopyOfDocument(document, &FOwner);
    if (!copy) {
        qDebug() << "Frame print: no copy of the frame's document; the whole page prints";
        Print(view);
        return;
    }
    FRegistry.ActivateTabOf(view);
    FFrameCopy = copy;
    const QPointer<TChromium> page(view);
    // A copy that does not load gives way to the whole page, as before.
    const auto giveUp = [this, copy, page](const QString& why) {
        if (FFrameCopy != copy)
            return;
        qDebug().noquote() << QStringLiteral("Frame print: %1; the whole page prints").arg(why);
        FFrameCopy.clear();
        copy->deleteLater();
        if (page)
            Print(page);
    };
    connect(copy, &TChromium::LoadFinished, this, [this, copy, giveUp](const TLoadResult& result) {
        if (FFrameCopy != copy)
            return;
        if (!result.Ok) {
            giveUp(QStringLiteral("the copy did not load (%1)").arg(result.ErrorCode));
            return;
        }
        FFrameCopy.clear();
        OpenWindow(copy);
        // The copy lives as long as its print window.
        connect(FWindow, &QObject::destroyed, copy, &QObject::deleteLater);
    });
    QTimer::singleShot(CopyLoadWaitMs, copy, [giveUp] { giveUp(QStringLiteral("the copy took too long")); });
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
    if (FFrameCopy)
        FFrameCopy->deleteLater();
    FFrameCopy.clear();
    if (FWindow)
        FWindow->reject();
}
