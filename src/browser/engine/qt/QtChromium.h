#pragma once

#include "engine/Chromium.h"
#include "engine/PendingSaves.h"

#include <QElapsedTimer>
#include <QPointer>

class QWebEngineProfile;
class QWebEnginePage;
class QWebEngineView;

// A browser view over a Qt WebEngine page and view.
class TQtChromium : public TChromium
{
    Q_OBJECT

public:
    TQtChromium(QWebEngineProfile* profile, QWidget* parent);
    ~TQtChromium() override;

    void Load(const QString& url) override;
    void StopLoad() override;
    void Reload() override;
    void ReloadBypassingCache() override;
    void GoBack() override;
    void GoForward() override;
    void FindText(const QString& text, bool backward) override;
    void SetZoomFactor(double factor) override;
    double ZoomFactor() const override;
    bool IsPopup() const override { return FIsPopup; }
    QString Url() const override;
    QString Title() const override;
    bool IsLoading() const override;
    void SetDefaultTextEncoding(const QString& encoding) override;
    void SetClipboardAccess(bool allowed) override;
    void RequestClose() override;
    QByteArray SaveHistory() const override;
    void RestoreHistory(const QByteArray& history) override;
    void SaveUrlToFile(const QUrl& url, const QString& path, std::function<void(bool ok)> done) override;
    void SetFeaturePermission(const QUrl& origin, TPageFeature feature, bool granted) override;
    void Print(QPrinter* printer, std::function<void(bool ok)> done) override;
    void PrintToPdf(const QString& path, const QPageLayout& layout, std::function<void(bool ok)> done) override;
    void PrintToPdfData(const QPageLayout& layout, std::function<void(const QByteArray& pdf)> done) override;
    void ExitFullScreen() override;
    TChromium* CopyOfDocument(const TFrameDocument& document, QWidget* parent) override;

    // Whether the page's console errors go to the program's log.
    void SetLogPageErrors(bool on) { FLogPageErrors = on; }
    bool LogsPageErrors() const { return FLogPageErrors; }

    QWebEnginePage* Page() const;
    QWebEngineView* View() const;

    // The view that shows page, or nullptr.
    static TQtChromium* FromPage(QWebEnginePage* page);

    // Asks the handler; called by the page and view of this control.
    void RaiseContextMenu(QWidget* menuParent, const QPoint& globalPos);
    bool RaiseJsDialog(const TJsDialogRequest& request, TJsDialogReply& reply);
    // The user clicked or pressed a key in the page a moment ago.
    bool HadInputJustNow() const;
    void RaiseBeforeResourceLoad(const QUrl& url, TRequestHeaders& headers);

    // A fetch SaveUrlToFile started, waiting for the engine's download request.
    using TPendingSave = TPendingSaves::TSave;
    // Takes the pending save that a download of url belongs to: only one for
    // exactly that address.
    bool TakePendingSave(const QUrl& url, TPendingSave& save);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    // Keys the page did not handle come back here.
    void keyPressEvent(QKeyEvent* event) override;

private:
    void FinishPrint(bool ok);
    void FinishPdfData(int serial, const QByteArray& pdf);
    void WatchPageWidget(QObject* child);

    QPointer<QWebEnginePage> FPage;
    QPointer<QWebEngineView> FView;
    bool FIsPopup = false;
    bool FLogPageErrors = false;
    bool FIsLoading = false;
    void ExpirePendingSaves();

    TPendingSaves FPendingSaves;
    std::function<void(bool ok)> FPrintDone; // set while a print runs
    std::function<void(const QByteArray& pdf)> FPdfDataDone; // set while a PDF is made in memory
    int FPdfDataSerial = 0; // which request the engine's answer belongs to
    int FFindRequest = 0; // the newest search
    int FWheelAngle = 0; // Ctrl+wheel turn not yet a whole step
    bool FDestroying = false; // set first thing in the destructor
    QUrl FLoadingUrl;         // the address of the load that started last
    QElapsedTimer FLastInput; // the user's last click or key in the page
};
