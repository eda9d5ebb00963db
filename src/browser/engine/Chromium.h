#pragma once

#include "engine/ContextMenuModel.h"

#include <QList>
#include <QPageLayout>
#include <QPair>
#include <QSslCertificate>
#include <Qt>
#include <QUrl>
#include <QWidget>

#include <functional>
#include <optional>

class QPrinter;
class TChromium;
class TDownloadItem;

// How a page asked for a new window.
enum class TWindowDisposition { NewForegroundTab, NewBackgroundTab, NewWindow, NewPopup };

struct TPopupRequest
{
    QUrl TargetUrl;
    TWindowDisposition Disposition = TWindowDisposition::NewForegroundTab;
    bool UserGesture = false;
};

// Header lines of a request about to be sent, in order; names compare
// without regard to case.
class TRequestHeaders
{
public:
    QByteArray Value(const QByteArray& name) const;
    void Set(const QByteArray& name, const QByteArray& value);
    const QList<QPair<QByteArray, QByteArray>>& Lines() const { return FLines; }

private:
    QList<QPair<QByteArray, QByteArray>> FLines;
};

enum class TJsDialogType { Alert, Confirm, Prompt };

struct TJsDialogRequest
{
    QUrl OriginUrl;
    TJsDialogType Type = TJsDialogType::Alert;
    QString MessageText;
    QString DefaultPromptText;
};

// What a dialog handler answers. Not handled: the engine shows its own dialog.
struct TJsDialogReply
{
    bool Handled = false;
    bool Success = false;   // OK / Yes
    bool HasInput = false;  // a prompt's answer; without it the page gets null
    QString UserInput;
};

enum class TContextMediaType { None, Image, Video, Audio, Canvas, File, Plugin };

struct TContextMenuParams
{
    TContextMediaType MediaType = TContextMediaType::None;
    QUrl SourceUrl; // the media's address
    QUrl LinkUrl;
    QUrl PageUrl;
};

struct TDownloadRequest
{
    QUrl Url;
    QString SuggestedName;
    QString MimeType;
};

// A download goes ahead only when Accept is set, to FullPath.
struct TDownloadReply
{
    bool Accept = false;
    QString FullPath;
};

// What a page may ask to use; each request is answered with SetFeaturePermission.
enum class TPageFeature { Notifications, Geolocation, Microphone, Camera, CameraAndMicrophone, MouseLock,
                          ScreenCapture, ScreenAndAudioCapture };

// Why a page's render process ended.
enum class TRenderTermination { Normal, Abnormal, Crashed, Killed };

// A notification a page shows. Clicked and Closed tell the page, if it still exists.
struct TPageNotification
{
    QUrl Origin;
    QString Title;
    QString Message;
    std::function<void()> Clicked;
    std::function<void()> Closed;
};

// A key as the view saw it.
struct TKeyPress
{
    int Key = 0; // Qt::Key
    Qt::KeyboardModifiers Modifiers;
    bool AutoRepeat = false;
};

// Why a page could not be loaded, when it is the network's fault rather
// than the server's answer (an error page of the server loads as a page).
enum class TLoadFailure {
    None,          // loaded, or failed for a reason of its own (stopped, certificate, the server's answer)
    Refused,       // nobody answered at that address: the service is down
    NameNotFound,  // the host name does not resolve
    TimedOut,
    NetworkDown,   // no network, or it changed under the load
    Proxy,         // the proxy could not be reached or refused the way through
    ClientCertificate, // the server wants a client certificate the user does not have (or it refused it)
    Other,         // any other failure of the connection
};

// What a network error number of the engine (Chromium's, negative) means
// for the user; None for the ones that are no fault of the network.
TLoadFailure LoadFailureOf(int netError);

// How a page's load ended.
struct TLoadResult
{
    QUrl Url;
    bool Ok = true;
    TLoadFailure Failure = TLoadFailure::None;
    int ErrorCode = 0;   // the engine's network error number, 0 when loaded
    QString Description; // the engine's own words
};

// A certificate the engine could not verify, for a page or one of its parts.
struct TCertificateError
{
    QUrl Url;
    QString Description;         // the engine's own words
    bool Overridable = false;    // false: the engine never lets it through
    bool IssuerUnknownOnly = false; // the one problem is an issuer the engine does not trust
    QList<QSslCertificate> Chain; // the server's certificate first
    bool MainFrame = true;        // the page's own address, not a part of it
};

// A server, or the proxy on the way to it, asks who the user is.
struct TSignInRequest
{
    QUrl Url;          // what was asked for
    QString Realm;     // the server's name for what it protects; may be empty
    bool Proxy = false;
    QString ProxyHost; // the proxy that asks, when Proxy
};

struct TCredentials
{
    QString User;
    QString Password;
};

// A server asks for a client certificate; the engine offers these.
struct TClientCertificateRequest
{
    QString Host; // host and port
    QList<QSslCertificate> Certificates;
};

// A frame's document as it stood when the frame called print(): its
// address (the base of its relative links) and its markup, with what was
// typed into its fields.
struct TFrameDocument
{
    QUrl Url;
    QString Html;
};

// The hooks whose answer the engine waits for: it asks, the handler fills in
// the reply before returning. Everything else a view reports is a signal.
// The defaults answer as if no handler were set.
class TChromiumHandler
{
public:
    virtual ~TChromiumHandler() = default;

    // Return the (new) view the popup is to live in, or nullptr to cancel it.
    virtual TChromium* crmBeforePopup(TChromium* Sender, const TPopupRequest& Request);
    virtual void crmBeforeResourceLoad(TChromium* Sender, const QUrl& Url, TRequestHeaders& Headers);
    virtual void crmJsdialog(TChromium* Sender, const TJsDialogRequest& Request, TJsDialogReply& Reply);
    virtual void crmBeforeContextMenu(TChromium* Sender, const TContextMenuParams& Params, TContextMenuModel& Model);
    virtual void crmBeforeDownload(TChromium* Sender, const TDownloadRequest& Request, TDownloadReply& Reply);
    // A page asks to fill the screen (or to leave it); true grants it.
    virtual bool crmFullScreenRequest(TChromium* Sender, bool ToggleOn);
    // A key pressed in the page, before the page sees it. True takes the key:
    // the page never gets it.
    virtual bool crmPreKeyEvent(TChromium* Sender, const TKeyPress& Key);
    // True lets the load go on with this certificate; the default refuses.
    virtual bool crmCertificateError(TChromium* Sender, const TCertificateError& Error);
    // The user's name and password, or nothing to give up (the default).
    virtual std::optional<TCredentials> crmSignInRequired(TChromium* Sender, const TSignInRequest& Request);
    // The index of the certificate to send, or nothing to send none (the default).
    virtual std::optional<int> crmSelectClientCertificate(TChromium* Sender, const TClientCertificateRequest& Request);
};

// A browser view: a child control holding one engine browser. It reports
// what happens in its page as Qt signals and asks its handler where the
// engine needs an answer; a fake engine in the tests does the same.
class TChromium : public QWidget
{
    Q_OBJECT

public:
    using QWidget::QWidget;
    ~TChromium() override = default;

    // The handler asked for answers; without one the defaults answer. Not
    // owned: the handler outlives the view or unsets itself first.
    void SetHandler(TChromiumHandler* handler) { FHandler = handler; }
    TChromiumHandler& Handler() const;
    // True while the handler answers one of the page's dialogs. The box runs
    // an event loop of its own inside the engine's call, so the view must not
    // be destroyed until DialogEnded.
    bool InDialog() const { return FDialogDepth > 0; }

    virtual void Load(const QString& url) = 0;
    virtual void StopLoad() = 0;
    // Asks the page whether it may go (its "leave this page?" handler, which
    // may ask the user); CloseRequested follows when it may, nothing when
    // the user chose to stay.
    virtual void RequestClose() = 0;
    // The page's back and forward list, to give to another view with
    // RestoreHistory (which loads its current entry).
    virtual QByteArray SaveHistory() const = 0;
    virtual void RestoreHistory(const QByteArray& history) = 0;
    virtual void Reload() = 0;
    virtual void ReloadBypassingCache() = 0;
    virtual void GoBack() = 0;
    virtual void GoForward() = 0;
    // Highlights the matches of text and moves to the next (or previous)
    // one; FindResult follows. An empty text ends the search and clears the
    // highlight.
    virtual void FindText(const QString& text, bool backward) = 0;
    // 1.0 is 100%.
    virtual void SetZoomFactor(double factor) = 0;
    virtual double ZoomFactor() const = 0;
    // True for a view the engine created for a page's popup.
    virtual bool IsPopup() const = 0;
    virtual QString Url() const = 0;
    virtual QString Title() const = 0;
    virtual bool IsLoading() const = 0;
    // The encoding of pages that declare none.
    virtual void SetDefaultTextEncoding(const QString& encoding) = 0;
    // Whether the page's script may write to the clipboard by itself
    // (navigator.clipboard); a copy the user starts works either way.
    virtual void SetClipboardAccess(bool allowed) = 0;

    // Fetches url through the engine, with this page's cookies, into the
    // file path (overwriting it), and calls done with true once the file is
    // complete or with false on any failure. Without a way to fetch, it fails.
    virtual void SaveUrlToFile(const QUrl& url, const QString& path, std::function<void(bool ok)> done)
    {
        (void)url;
        (void)path;
        if (done)
            done(false);
    }

    // Answers a FeaturePermissionRequested for origin; an unanswered request
    // keeps the page waiting.
    virtual void SetFeaturePermission(const QUrl& origin, TPageFeature feature, bool granted) = 0;
    // Prints the page: to printer, or as a PDF file (text kept as text). done
    // gets the outcome once; a second print while one runs fails at once.
    virtual void Print(QPrinter* printer, std::function<void(bool ok)> done) = 0;
    virtual void PrintToPdf(const QString& path, const QPageLayout& layout, std::function<void(bool ok)> done) = 0;
    // The page as a PDF document in memory, laid out as a print would be.
    // done gets empty data when it fails (the page's process ended, another
    // one still runs); it is not called once the view is gone.
    virtual void PrintToPdfData(const QPageLayout& layout, std::function<void(const QByteArray& pdf)> done) = 0;
    // Leaves the page's full screen, as Esc does in a browser.
    virtual void ExitFullScreen() = 0;
    // A view of its own (hidden, a child of parent) showing document without
    // running its scripts, to print a frame by itself; LoadFinished follows.
    // nullptr when the engine cannot (the document is too large).
    virtual TChromium* CopyOfDocument(const TFrameDocument& document, QWidget* parent)
    {
        (void)document;
        (void)parent;
        return nullptr;
    }

    // The owner's number for this view (the id of the tab page it was made in).
    int Tag = 0;

Q_SIGNALS:
    void TitleChanged(const QString& title);
    void LoadingStateChanged(bool isLoading, bool canGoBack, bool canGoForward);
    // A load of the page (not of its frames) ended.
    void LoadFinished(const TLoadResult& result);
    // The page asked to close its window.
    void CloseRequested();
    // The user picked an entry the handler added to the context menu.
    void ContextMenuCommand(const TContextMenuParams& params, int commandId);
    // The page called window.print().
    void PrintRequested();
    // A frame of the page called its print(): that frame's document alone is
    // to be printed, as browsers do.
    void FramePrintRequested(const TFrameDocument& document);
    // The page's process ended; the view shows nothing until it loads again.
    void RenderProcessTerminated(TRenderTermination status, int exitCode);
    // The page wants a feature; answer with SetFeaturePermission.
    void FeaturePermissionRequested(const QUrl& origin, TPageFeature feature);
    void UrlChanged(const QString& url);
    // A key the page did not handle.
    void KeyUnhandled(const TKeyPress& key);
    // The wheel turned with Ctrl held over the page: steps > 0 away from the user.
    void ZoomWheel(int steps);
    // The matches of the last FindText: active is 1-based, 0 with none.
    void FindResult(int active, int count);
    // The last dialog call returned; a queued connection runs once the
    // engine's call is done as well.
    void DialogEnded();
    // The page went to an address of another program (mailto:, tel:, an
    // application's own scheme); the engine did not open it. userClicked:
    // the user clicked a link, rather than the page's script going there.
    void ExternalLinkRequested(const QUrl& url, bool userClicked);

protected:
    // The handler's crmJsdialog, counted for InDialog.
    void CallJsDialog(const TJsDialogRequest& request, TJsDialogReply& reply);

private:
    TChromiumHandler* FHandler = nullptr;
    int FDialogDepth = 0;
};
