#pragma once

#include "engine/Chromium.h"
#include "page/BoxFlood.h"
#include "page/PopupLimit.h"

#include <QElapsedTimer>
#include <QObject>

class QWidget;
class TCertificateGuard;
class TSignIn;
class TClientCertificates;
class TDownloadController;
class TFullScreen;
class TKeyCommands;
class TPrintController;
class TTabRegistry;
struct TShutdownFlags;

// The handler of every view: it answers what the engine asks synchronously
// (popups, dialogs and page commands, the page menu, downloads, full screen,
// keys) and passes on what the views report (titles, loading, a page that
// closes itself), each to the feature that owns it.
class TPageHandler : public QObject, private TChromiumHandler
{
    Q_OBJECT

public:
    // window: the main window, which turns popups into tabs through its
    // messages and owns the dialogs.
    TPageHandler(QWidget& window, TTabRegistry& registry, TDownloadController& downloads, TPrintController& printing,
                 TFullScreen& fullScreen, TKeyCommands& keys, TCertificateGuard& certificates, TSignIn& signIn,
                 TClientCertificates& clientCertificates, const TShutdownFlags& flags, QObject* parent = nullptr);

Q_SIGNALS:
    // The page commands that end this process.
    void ClearCacheRequested();
    void ReloginRequested();

private:
    TChromium* crmBeforePopup(TChromium* Sender, const TPopupRequest& Request) override;
    void crmBeforeResourceLoad(TChromium* Sender, const QUrl& Url, TRequestHeaders& Headers) override;
    void crmJsdialog(TChromium* Sender, const TJsDialogRequest& Request, TJsDialogReply& Reply) override;
    void crmBeforeContextMenu(TChromium* Sender, const TContextMenuParams& Params, TContextMenuModel& Model) override;
    void crmBeforeDownload(TChromium* Sender, const TDownloadRequest& Request, TDownloadReply& Reply) override;
    bool crmFullScreenRequest(TChromium* Sender, bool ToggleOn) override;
    bool crmPreKeyEvent(TChromium* Sender, const TKeyPress& Key) override;
    bool crmCertificateError(TChromium* Sender, const TCertificateError& Error) override;
    std::optional<TCredentials> crmSignInRequired(TChromium* Sender, const TSignInRequest& Request) override;
    std::optional<int> crmSelectClientCertificate(TChromium* Sender, const TClientCertificateRequest& Request) override;

    static bool IsFromService(TChromium* Sender, const TJsDialogRequest& Request);
    void ViewCreated(TChromium* view);
    void crmClose(TChromium* Sender);
    void ClosePageOf(TChromium* view);

    QWidget& FWindow;
    TTabRegistry& FRegistry;
    TDownloadController& FDownloads;
    TPrintController& FPrinting;
    TFullScreen& FFullScreen;
    TKeyCommands& FKeys;
    TCertificateGuard& FCertificates;
    TSignIn& FSignIn;
    TClientCertificates& FClientCertificates;
    const TShutdownFlags& FFlags;
    TPopupLimit FPopupLimit;
    TBoxFlood FBoxFlood; // the pages' dialogs and save dialogs
    QElapsedTimer FClock;
};
