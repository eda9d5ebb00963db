#pragma once

#include "engine/BrowserEngine.h"
#include "engine/Chromium.h"
#include "engine/DownloadItem.h"

#include <QPointer>
#include <QStringList>

#include <vector>

// A browser view that tests drive: it records what the shell asked of it
// and raises each event on demand.
class TFakeChromium : public TChromium
{
    Q_OBJECT

public:
    using TChromium::TChromium;

    void Load(const QString& url) override;
    void StopLoad() override { ++StopCount; FLoading = false; }
    void Reload() override { ++ReloadCount; }
    void ReloadBypassingCache() override { ++HardReloadCount; }
    void GoBack() override { ++BackCount; }
    void GoForward() override { ++ForwardCount; }
    void FindText(const QString& text, bool backward) override { Finds.push_back({text, backward}); }
    void SetZoomFactor(double factor) override { FZoom = factor; }
    double ZoomFactor() const override { return FZoom; }
    bool IsPopup() const override { return FIsPopup; }
    QString Url() const override { return FUrl; }
    QString Title() const override { return FTitle; }
    bool IsLoading() const override { return FLoading; }
    void SetDefaultTextEncoding(const QString& encoding) override { TextEncoding = encoding; }
    void SetClipboardAccess(bool allowed) override { ClipboardAccess = allowed; }
    // A page without a "leave" handler agrees at once; with one (StaysOnRequest) it keeps quiet.
    // A page that AsksOnRequest puts its question up as the engine does (a
    // confirm box) and leaves only when the user agrees.
    void RequestClose() override
    {
        ++CloseRequests;
        if (AsksOnRequest) {
            if (RaiseJsDialog({QUrl(FUrl), TJsDialogType::Confirm, LeaveQuestion, {}}).Success)
                Q_EMIT CloseRequested();
            return;
        }
        if (!StaysOnRequest)
            Q_EMIT CloseRequested();
    }
    static inline const QString LeaveQuestion = QStringLiteral("您确定要离开此页面吗？ 您所做的更改不会被保存。");
    bool AsksOnRequest = false;
    QByteArray SaveHistory() const override { return ("history:" + FUrl).toUtf8(); }
    void RestoreHistory(const QByteArray& history) override { RestoredHistory = history; }
    QByteArray RestoredHistory;
    int CloseRequests = 0;
    bool StaysOnRequest = false;
    void SetFeaturePermission(const QUrl& origin, TPageFeature feature, bool granted) override
    {
        Permissions.push_back({origin, feature, granted});
    }
    void Print(QPrinter* printer, std::function<void(bool ok)> done) override;
    void PrintToPdf(const QString& path, const QPageLayout& layout, std::function<void(bool ok)> done) override;
    void ExitFullScreen() override { ++ExitFullScreenCount; }
    // A copy of a frame's document: a view of its own that has loaded it
    // once the events run (or fails to, with CopyFails); none with NoCopies.
    TChromium* CopyOfDocument(const TFrameDocument& document, QWidget* parent) override;
    TFrameDocument Document;
    bool NoCopies = false;
    bool CopyFails = false;
    QPointer<TFakeChromium> LastCopy;

    struct TPermissionAnswer
    {
        QUrl Origin;
        TPageFeature Feature;
        bool Granted;
    };
    std::vector<TPermissionAnswer> Permissions;
    int ExitFullScreenCount = 0;
    // Prints asked for (a path for PDFs, empty for a printer). A print to a
    // printer ends at once, with PrinterPrintsSucceed; a PDF waits in
    // PendingPrint until the test finishes it with FinishPrint.
    bool PrinterPrintsSucceed = true;
    QStringList Prints;
    std::function<void(bool ok)> PendingPrint;
    void FinishPrint(bool ok);
    // A PDF in memory waits here until the test answers it with FinishPdfData.
    void PrintToPdfData(const QPageLayout& layout, std::function<void(const QByteArray& pdf)> done) override;
    std::function<void(const QByteArray& pdf)> PendingPdfData;
    void FinishPdfData(const QByteArray& pdf);
    // A PDF of pages pages, each with its number in large digits.
    static QByteArray MakePdf(int pages);

    QStringList Loads;
    int StopCount = 0;
    int ReloadCount = 0;
    int HardReloadCount = 0;
    int BackCount = 0;
    int ForwardCount = 0;
    struct TFind
    {
        QString Text;
        bool Backward = false;
    };
    std::vector<TFind> Finds;
    QString TextEncoding;
    bool ClipboardAccess = false;

    TChromium* RaisePopup(const TPopupRequest& request);
    TRequestHeaders RaiseBeforeResourceLoad(const QUrl& url);
    void RaiseTitle(const QString& title);
    void RaiseLoading(bool loading);
    void RaiseLoadFinished(const TLoadResult& result) { Q_EMIT LoadFinished(result); }
    void RaiseClose();
    TJsDialogReply RaiseJsDialog(const TJsDialogRequest& request);
    TContextMenuModel RaiseContextMenu(const TContextMenuParams& params, TContextMenuModel model);
    void RaiseContextMenuCommand(const TContextMenuParams& params, int commandId);
    TDownloadReply RaiseDownload(const TDownloadRequest& request);
    void RaisePrint() { Q_EMIT PrintRequested(); }
    void RaiseRenderProcessTerminated(TRenderTermination status) { Q_EMIT RenderProcessTerminated(status, 1); }
    void RaisePermission(const QUrl& origin, TPageFeature feature) { Q_EMIT FeaturePermissionRequested(origin, feature); }
    bool RaiseFullScreen(bool on) { return Handler().crmFullScreenRequest(this, on); }
    bool RaiseCertificateError(const TCertificateError& error) { return Handler().crmCertificateError(this, error); }
    // Accepted downloads start a fake item the test drives; null when refused.
    class TFakeDownloadItem* StartDownload(const TDownloadRequest& request);
    class TFakeBrowserEngine* Engine = nullptr; // the engine that made the view
    // A key pressed in the page: the handler sees it first; a key it does not
    // take and the page does not want (pageTakes) comes back unhandled.
    // Gives true when the shell took it.
    bool RaiseKey(const TKeyPress& key, bool pageTakes = false);
    void RaiseZoomWheel(int steps) { Q_EMIT ZoomWheel(steps); }
    void RaiseFindResult(int active, int count) { Q_EMIT FindResult(active, count); }
    // Navigates to url (no load is recorded).
    void RaiseUrl(const QString& url);

    bool FIsPopup = false;

private:
    QString FUrl = QStringLiteral("about:blank");
    QString FTitle;
    bool FLoading = false;
    double FZoom = 1.0;
};

// A download the test moves through its states.
class TFakeDownloadItem : public TDownloadItem
{
    Q_OBJECT

public:
    TFakeDownloadItem(const QUrl& url, const QString& path, QObject* parent)
        : TDownloadItem(parent), FUrl(url), FPath(path)
    {
    }

    QUrl Url() const override { return FUrl; }
    QString Path() const override { return FPath; }
    qint64 ReceivedBytes() const override { return FReceived; }
    qint64 TotalBytes() const override { return FTotal; }
    TState State() const override { return FState; }
    QString InterruptReason() const override { return FReason; }
    void Cancel() override;

    void Progress(qint64 received, qint64 total);
    void Complete();
    void Interrupt(const QString& reason);
    int CancelCount = 0;

private:
    void End(TState state);

    QUrl FUrl;
    QString FPath;
    qint64 FReceived = 0;
    qint64 FTotal = -1;
    TState FState = TState::InProgress;
    QString FReason;
};

class TFakeBrowserEngine : public TBrowserEngine
{
public:
    TChromium* CreateView(QWidget* parent) override;
    void RegisterPluginPaths(const QStringList& paths) override { PluginPaths = paths; }
    void AddClientCertificate(const QSslCertificate& certificate, const QSslKey&) override
    {
        ClientCertificates << certificate;
    }
    QList<QSslCertificate> ClientCertificates;
    void SetNotificationPresenter(TNotificationPresenter presenter) override { Presenter = std::move(presenter); }
    TNotificationPresenter Presenter;
    void SetDownloadSink(TDownloadSink sink) override { Sink = std::move(sink); }
    TDownloadSink Sink;
    bool SaveCookieChanges(const QString& path) override
    {
        CookieChangesSavedTo.push_back(path);
        return true;
    }
    QStringList CookieChangesSavedTo;

    // A download asked for by view, as the engine runs it: the handler
    // decides (view may be gone afterwards); an accepted one reaches the sink.
    // Null when refused.
    class TFakeDownloadItem* StartDownload(TFakeChromium* view, const TDownloadRequest& request);

    // Every view made so far; destroyed ones read as null.
    std::vector<QPointer<TFakeChromium>> Views;
    QStringList PluginPaths;
};
