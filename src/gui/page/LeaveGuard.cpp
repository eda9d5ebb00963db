#include "page/LeaveGuard.h"

#include "engine/Chromium.h"
#include "tabs/TabRegistry.h"
#include "widgets/ShutdownFlags.h"

#include <QApplication>
#include <QDebug>
#include <QEventLoop>
#include <QPointer>
#include <QTimer>

namespace {

constexpr int WatchStepMs = 250;

} // namespace

TLeaveGuard::TLeaveGuard(TTabRegistry& registry, TShutdownFlags& flags, int answerWaitMs,
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
    // The first tab never closes: its page is not even asked (it would hide
    // the window, as a page closing itself there does).
    if (view && FRegistry.IsFirstTab(view))
        return;
    // Nothing to ask (or the page's own box is open: the tab closes once it
    // is answered, as before).
    if (FFlags.FClosing || !view || view->InDialog()) {
        FRegistry.CloseTabWithId(id);
        return;
    }
    if (FWaiting.contains(id))
        return; // asked already; a second gesture does not ask twice
    FWaiting.insert(id);
    // Its question answered: "leave" comes back as the page's close request,
    // "stay" as nothing more. Either way the wait is over.
    connect(view, &TChromium::DialogEnded, this, [this, id] { FWaiting.remove(id); }, Qt::SingleShotConnection);
    view->RequestClose();
    if (FWaiting.contains(id)) // not answered at once
        Watch(id, 0);
}

bool TLeaveGuard::QuestionUp(const TChromium& view) const
{
    return view.InDialog() || FQuestionShown();
}

void TLeaveGuard::Watch(int id, int waitedMs)
{
    QTimer::singleShot(WatchStepMs, this, [this, id, waitedMs] {
        if (!FWaiting.contains(id))
            return; // closed
        // The page asks the user: the user decides, however long it takes.
        const TBrowserTab* tab = FRegistry.FindTab(id);
        if (tab && tab->Browser && QuestionUp(*tab->Browser)) {
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

bool TLeaveGuard::AskAllToLeave()
{
    // The first tab last: when another page keeps the program open, the
    // login page has not been asked (and unloaded) for nothing.
    QList<QPointer<TChromium>> views;
    QPointer<TChromium> first;
    for (const TBrowserTab* tab : FRegistry.VisibleTabs()) {
        if (!tab->Browser)
            continue;
        if (FRegistry.IsFirstTab(tab->Browser))
            first = tab->Browser;
        else
            views.append(tab->Browser);
    }
    if (first)
        views.append(first);

    FFlags.FLeaving = true;
    QList<int> agreed; // tab ids
    bool all = true;
    for (const QPointer<TChromium>& view : views) {
        if (!view)
            continue;
        const TTabPage* page = FRegistry.PageOf(view);
        const int id = page ? FRegistry.IdAt(FRegistry.IndexOfPage(page)) : 0;
        if (!AskToLeave(view)) {
            all = false;
            break;
        }
        agreed.append(id);
    }
    FFlags.FLeaving = false;
    if (!all) {
        for (const int id : agreed)
            FRegistry.CloseTabWithId(id);
    }
    return all;
}

bool TLeaveGuard::AskToLeave(TChromium* view)
{
    // A page inside its own box cannot be asked; it goes with the program as before.
    if (view->InDialog())
        return true;
    const QPointer<TChromium> asked(view);
    QEventLoop loop;
    bool answered = false;
    bool questionSeen = false;
    int waited = 0;
    int sinceQuestion = 0;
    const QMetaObject::Connection connection = connect(view, &TChromium::CloseRequested, &loop, [&] {
        answered = true;
        loop.quit();
    });
    // However short the question was up, its end is seen.
    const QMetaObject::Connection asking = connect(view, &TChromium::DialogEnded, &loop, [&] {
        questionSeen = true;
        sinceQuestion = 0;
    });
    QTimer poll;
    connect(&poll, &QTimer::timeout, &loop, [&] {
        waited += WatchStepMs;
        if (!asked) {
            answered = true; // gone meanwhile: nothing left to keep
            loop.quit();
        } else if (QuestionUp(*asked)) {
            questionSeen = true;
            sinceQuestion = 0;
        } else if (questionSeen) {
            // The question is answered; "leave" comes back as the close request.
            sinceQuestion += WatchStepMs;
            if (sinceQuestion >= 2 * WatchStepMs)
                loop.quit();
        } else if (waited >= FAnswerWaitMs) {
            answered = true; // neither answered nor asked: a hung page
            loop.quit();
        }
    });
    view->RequestClose();
    if (!answered) {
        poll.start(WatchStepMs);
        loop.exec();
    }
    disconnect(connection);
    disconnect(asking);
    return answered;
}
