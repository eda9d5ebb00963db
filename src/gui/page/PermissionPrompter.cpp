#include "page/PermissionPrompter.h"

#include "tabs/TabRegistry.h"
#include "util/AppError.h"
#include "widgets/AppMessageBox.h"
#include "widgets/ShutdownFlags.h"

#include <QDebug>
#include <QEvent>
#include <QTimer>

TPermissionPrompter::TPermissionPrompter(TTabRegistry& registry, const TShutdownFlags& flags,
                                         const QString& configPath, const QString& serviceHost, QObject* parent)
    : QObject(parent), FFlags(flags), FPolicy(configPath, serviceHost)
{
    connect(&registry, &TTabRegistry::ViewCreated, this, [this](TChromium* view) {
        connect(view, &TChromium::FeaturePermissionRequested, this,
                [this, view](const QUrl& origin, TPageFeature feature) { Request(view, origin, feature); });
    });
}

void TPermissionPrompter::Request(TChromium* view, const QUrl& origin, TPageFeature feature)
{
    if (FFlags.FClosing) {
        view->SetFeaturePermission(origin, feature, false);
        return;
    }
    const QUrl page(view->Url());
    switch (FPolicy.Decide(origin, feature, page)) {
    case TPermissionPolicy::TDecision::Allow:
        view->SetFeaturePermission(origin, feature, true);
        return;
    case TPermissionPolicy::TDecision::Deny:
        view->SetFeaturePermission(origin, feature, false);
        return;
    case TPermissionPolicy::TDecision::Ask:
        break;
    }
    // Its tab coming into sight may let its question be asked.
    view->installEventFilter(this);
    if (FQueue.Add(view, {origin, feature, page}) && !FAsking)
        QTimer::singleShot(0, this, &TPermissionPrompter::AskNext);
}

bool TPermissionPrompter::eventFilter(QObject* watched, QEvent* event)
{
    const bool shown = event->type() == QEvent::Show || event->type() == QEvent::ShowToParent;
    if (shown && !FQueue.IsEmpty() && !FAsking)
        QTimer::singleShot(0, this, &TPermissionPrompter::AskNext);
    return QObject::eventFilter(watched, event);
}

void TPermissionPrompter::AskNext()
{
    if (FAsking || FFlags.FClosing)
        return;
    // A page out of sight cannot show what it asks for: a question for it
    // would come out of nowhere.
    const std::optional<TPermissionQueue::TRequest> request =
        FQueue.Next([](TChromium* view) { return view->isVisibleTo(view->window()); });
    if (!request)
        return;
    FAsking = true;
    // No is the default: a stray Enter grants nothing.
    const bool allowed = AppMessageBox(TPermissionPolicy::Question(request->Origin, request->Feature),
                                       MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2) == IDYES;
    FAsking = false;
    // The program may have begun to end while the question was open: then
    // everything still waiting was denied already.
    if (FFlags.FClosing)
        return;
    try {
        FPolicy.Remember(request->Origin, request->Feature, allowed, request->Page);
    } catch (const EAppError& error) {
        // Answered all the same; only the next start asks again.
        qDebug().noquote() << error.Message();
    }
    Answer(*request, allowed);
    if (!FQueue.IsEmpty())
        QTimer::singleShot(0, this, &TPermissionPrompter::AskNext);
}

void TPermissionPrompter::Answer(const TPermissionQueue::TRequest& request, bool allowed)
{
    for (const QPointer<TChromium>& view : FQueue.Take(request))
        view->SetFeaturePermission(request.Origin, request.Feature, allowed);
}

void TPermissionPrompter::DenyPending()
{
    for (const TPermissionQueue::TWaiter& waiter : FQueue.TakeAll())
        waiter.View->SetFeaturePermission(waiter.Request.Origin, waiter.Request.Feature, false);
}
