// The pages' feature requests and the notifications they show.

#include "shell/Main.h"

#include "core/Global.h"
#include "tabs/PageControl.h"
#include "tabs/TabRegistry.h"
#include "util/AppError.h"
#include "widgets/AppMessageBox.h"

#include <QApplication>
#include <QDebug>
#include <QSystemTrayIcon>
#include <QTimer>

void TFormMain::crmFeaturePermissionRequested(TChromium* Sender, const QUrl& Origin, TPageFeature Feature)
{
    // Every request gets an answer: a page waits for ever on one left open.
    if (FClosing || !FPermissionPolicy) {
        Sender->SetFeaturePermission(Origin, Feature, false);
        return;
    }
    switch (FPermissionPolicy->Decide(Origin, Feature)) {
    case TPermissionPolicy::TDecision::Allow:
        Sender->SetFeaturePermission(Origin, Feature, true);
        return;
    case TPermissionPolicy::TDecision::Deny:
        Sender->SetFeaturePermission(Origin, Feature, false);
        return;
    case TPermissionPolicy::TDecision::Ask:
        break;
    }
    if (FPermissionQueue.Add(Sender, {Origin, Feature}) && !FAskingPermission)
        QTimer::singleShot(0, this, &TFormMain::AskNextPermission);
}

void TFormMain::AskNextPermission()
{
    if (FAskingPermission || FClosing)
        return;
    const std::optional<TPermissionQueue::TRequest> request = FPermissionQueue.Next();
    if (!request)
        return;
    FAskingPermission = true;
    const bool allowed =
        AppMessageBox(TPermissionPolicy::Question(request->Origin, request->Feature), MB_YESNO) == IDYES;
    FAskingPermission = false;
    // The program may have begun to end while the question was open: then
    // everything still waiting was denied already.
    if (FClosing)
        return;
    try {
        FPermissionPolicy->Remember(request->Origin, request->Feature, allowed);
    } catch (const EAppError& error) {
        // Answered all the same; only the next start asks again.
        qDebug().noquote() << error.Message();
    }
    AnswerPermission(*request, allowed);
    if (!FPermissionQueue.IsEmpty())
        QTimer::singleShot(0, this, &TFormMain::AskNextPermission);
}

void TFormMain::AnswerPermission(const TPermissionQueue::TRequest& request, bool allowed)
{
    for (const QPointer<TChromium>& view : FPermissionQueue.Take(request))
        view->SetFeaturePermission(request.Origin, request.Feature, allowed);
}

void TFormMain::DenyPendingPermissions()
{
    for (const TPermissionQueue::TWaiter& waiter : FPermissionQueue.TakeAll())
        waiter.View->SetFeaturePermission(waiter.Request.Origin, waiter.Request.Feature, false);
}

void TFormMain::PageNotificationShow(const TPageNotification& notification)
{
    if (FClosing)
        return;
    FLastNotification = notification;
    if (gPopupHint && TrayIcon1 && TrayIcon1->isVisible()) {
        FTrayMessage = TTrayMessage::Notification;
        const QString title = notification.Title.isEmpty() ? AppTitle() : notification.Title;
        TrayIcon1->showMessage(title, notification.Message, QSystemTrayIcon::Information);
    }
    if (gSoundHint)
        QApplication::beep();
}

void TFormMain::TrayIcon1MessageClicked()
{
    if (FClosing)
        return;
    NShowMainClick();
    if (FTrayMessage == TTrayMessage::Download) {
        ShowDownloads();
        return;
    }
    if (FTrayMessage != TTrayMessage::Notification)
        return;
    // The tab showing the notifying site: the active one if it does, else
    // the first that does.
    const QString origin = FLastNotification.Origin.adjusted(QUrl::RemovePath).toString();
    const auto shows = [&origin](const TBrowserTab* tab) {
        return tab && tab->Browser
               && QUrl(tab->Browser->Url()).adjusted(QUrl::RemovePath | QUrl::RemoveQuery | QUrl::RemoveFragment)
                          .toString() == origin;
    };
    if (!shows(FRegistry->ActiveTab())) {
        for (int index = 1; index < FPageControl1->PageCount(); ++index) {
            const TTabPage* page = FPageControl1->Page(index);
            TBrowserTab* tab = page && page->TabVisible ? FRegistry->FindTab(page->Tag) : nullptr;
            if (shows(tab)) {
                ShowTabOf(tab->Browser);
                break;
            }
        }
    }
    if (FLastNotification.Clicked)
        FLastNotification.Clicked();
}

void TFormMain::ShowTabOf(TChromium* view)
{
    const int index = FPageControl1->IndexOf(FRegistry->PageOf(view));
    if (index <= 0 || !FPageControl1->Page(index)->TabVisible)
        return;
    FPageControl1->SetActivePageIndex(index); // redraws the strip with the next frame
    PageControl1Change();
}
