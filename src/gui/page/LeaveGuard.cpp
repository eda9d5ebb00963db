#include "page/LeaveGuard.h"

#include "engine/Chromium.h"
#include "tabs/TabRegistry.h"
#include "widgets/ShutdownFlags.h"

#include <QApplication>
#include <QDebug>
#include <QTimer>

namespace {

constexpr int WatchStepMs = 250;

} // namespace

TLeaveGuard::TLeaveGuard(TTabRegistry& registry, const TShutdownFlags& flags, int answerWaitMs,
                         std::function<bool()> asking, QObject* parent)
    : QObject(parent), FRegistry(registry), FFlags(flags), FAnswerWaitMs(answerWaitMs),
      FQuestionShown(asking ? std::move(asking) : [] { return QApplication::activeModalWidget() != nullptr; })
{
    connect(&FRegistry, &TTabRegistry::TabRemoved, this, [this](int, int id) { FWaiting.remove(id); });
}

void TLeaveGuard::CloseTab(int id)
{
    const TBrowserTab* tab = FRegistry.FindTab(id);
    TChromium* view = tab ? tab->Browser.data() : nullptr;
    // Nothing to ask (or the page's own box is open: the tab closes once it
    // is answered, as before).
    if (FFlags.FClosing || !view || view->InDialog()) {
        FRegistry.CloseTabWithId(id);
        return;
    }
    if (FWaiting.contains(id))
        return; // asked already; a second gesture does not ask twice
    FWaiting.insert(id);
    view->RequestClose();
    if (FWaiting.contains(id)) // not answered at once
        Watch(id, 0);
}

void TLeaveGuard::Watch(int id, int waitedMs)
{
    QTimer::singleShot(WatchStepMs, this, [this, id, waitedMs] {
        if (!FWaiting.contains(id))
            return; // closed
        // The page asks the user: the user decides, however long it takes.
        if (FQuestionShown()) {
            FWaiting.remove(id);
            return;
        }
        if (waitedMs + WatchStepMs < FAnswerWaitMs) {
            Watch(id, waitedMs + WatchStepMs);
            return;
        }
        qDebug().noquote() << QStringLiteral("Tab %1: its page did not answer the close; closed").arg(id);
        FWaiting.remove(id);
        FRegistry.CloseTabWithId(id);
    });
}
