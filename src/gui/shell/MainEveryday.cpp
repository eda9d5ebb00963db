// Printing, downloads in progress, crashed pages and full screen.

#include "shell/Main.h"

#include "core/Global.h"
#include "downloads/DownloadList.h"
#include "tabs/PageControl.h"
#include "tabs/TabRegistry.h"
#include "widgets/CrashedPage.h"
#include "downloads/Downloads.h"
#include "print/PrintPreview.h"

#include <QDebug>
#include <QShortcut>
#include <QSystemTrayIcon>

TFormPrint* TFormMain::PrintWindow() const
{
    return FPrintWindow;
}

TFormDownloads* TFormMain::DownloadsWindow() const
{
    return FDownloadsWindow;
}

void TFormMain::PrintActiveTab()
{
    const TBrowserTab* tab = FRegistry->ActiveTab();
    if (tab && tab->Browser)
        PrintView(tab->Browser);
}

void TFormMain::crmPrintRequested(TChromium* Sender)
{
    if (!FClosing)
        PrintView(Sender);
}

void TFormMain::PrintView(TChromium* view)
{
    if (FClosing || !view)
        return;
    // One print at a time: a page calling print() again (or in a loop) finds
    // the print window already open.
    if (FPrintWindow) {
        qDebug() << "Print refused: a print window is open already";
        FPrintWindow->raise();
        FPrintWindow->activateWindow();
        return;
    }
    ShowTabOf(view);
    FPrintWindow = new TFormPrint(view, this);
    FPrintWindow->setAttribute(Qt::WA_DeleteOnClose);
    FPrintWindow->setWindowModality(Qt::WindowModal);
    FPrintWindow->open();
}

void TFormMain::ShowDownloads()
{
    if (FClosing)
        return;
    if (!FDownloadsWindow)
        FDownloadsWindow = new TFormDownloads(*FDownloads, this);
    FDownloadsWindow->ShowAndRaise();
}

void TFormMain::crmDownloadStarted(TChromium*, TDownloadItem* Item)
{
    FDownloads->Add(Item);
    if (FClosing)
        FDownloads->CancelAll();
    else
        ShowDownloads();
}

void TFormMain::DownloadsFinished(int row)
{
    const TDownloadList::TEntry& entry = FDownloads->Entry(row);
    if (entry.State == TDownloadList::TState::Failed)
        qDebug().noquote() << QStringLiteral("Download failed: %1: %2").arg(entry.FileName, entry.Reason);
    if (FClosing || entry.State == TDownloadList::TState::Cancelled || !TrayIcon1 || !TrayIcon1->isVisible())
        return;
    FTrayMessage = TTrayMessage::Download;
    if (entry.State == TDownloadList::TState::Completed)
        TrayIcon1->showMessage(QStringLiteral("下载完成"), entry.FileName, QSystemTrayIcon::Information);
    else
        TrayIcon1->showMessage(QStringLiteral("下载失败"), QStringLiteral("%1：%2").arg(entry.FileName, entry.Reason),
                               QSystemTrayIcon::Warning);
}

void TFormMain::EndPendingWork()
{
    DenyPendingPermissions();
    FDownloads->CancelAll();
    if (FPrintWindow)
        FPrintWindow->reject();
    LeaveFullScreen();
}

void TFormMain::crmRenderProcessTerminated(TChromium* Sender, TRenderTermination Status)
{
    if (FClosing || Status == TRenderTermination::Normal || Sender->findChild<TCrashedPage*>())
        return;
    if (Sender == FFullScreenView)
        LeaveFullScreen();
    auto* cover = new TCrashedPage(Sender);
    connect(cover, &TCrashedPage::ReloadClicked, this, [this, cover, view = QPointer<TChromium>(Sender)] {
        cover->deleteLater();
        if (!view)
            return;
        // The first tab goes back to its login address; others to their page.
        const bool firstTab = FPageControl1->IndexOf(FRegistry->PageOf(view)) == 1;
        const QString address = firstTab && !FLoginUrl.isEmpty() ? FLoginUrl : view->Url();
        view->Load(address.isEmpty() ? QStringLiteral("about:blank") : address);
        view->setFocus();
    });
}

bool TFormMain::crmFullScreenRequest(TChromium* Sender, bool ToggleOn)
{
    if (!ToggleOn) {
        if (Sender == FFullScreenView)
            LeaveFullScreen();
        return true;
    }
    if (FClosing || FFullScreenView)
        return false;
    FFullScreenReturn = CurrentPlacement();
    FFullScreenGeometry = saveGeometry();
    FFullScreenView = Sender;
    ShowTabOf(Sender);
    FPageControl1->SetStripHidden(true);
    if (!FFullScreenEsc) {
        FFullScreenEsc = new QShortcut(QKeySequence(Qt::Key_Escape), this);
        connect(FFullScreenEsc, &QShortcut::activated, this, [this] {
            if (FFullScreenView)
                FFullScreenView->ExitFullScreen();
            else
                LeaveFullScreen();
        });
    }
    FFullScreenEsc->setEnabled(true);
    showFullScreen();
    return true;
}

void TFormMain::LeaveFullScreen()
{
    if (FFullScreenEsc)
        FFullScreenEsc->setEnabled(false);
    if (!FFullScreenView && !isFullScreen())
        return;
    const QPointer<TChromium> view = std::exchange(FFullScreenView, nullptr);
    FPageControl1->SetStripHidden(false);
    if (view)
        view->ExitFullScreen();
    if (FClosing)
        return;
    showNormal();
    restoreGeometry(FFullScreenGeometry); // maximised again if it was
}
