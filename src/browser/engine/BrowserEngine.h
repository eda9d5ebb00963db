#pragma once

#include <QSslCertificate>
#include <QSslKey>
#include <QStringList>

#include <functional>

class QWidget;
class TChromium;
class TDownloadItem;
struct TPageNotification;

// The process-level side of the browser engine: it makes browser views and
// takes the plug-in files. One exists in the browser process; it must
// outlive every view it made.
class TBrowserEngine
{
public:
    virtual ~TBrowserEngine() = default;

    // The engine and its version, for the diagnostic report.
    virtual QString EngineVersion() const { return QString(); }
    // A new view, owned by parent (a child control filling nothing yet).
    virtual TChromium* CreateView(QWidget* parent) = 0;

    // Readies a top-level window for views before its native window exists,
    // so showing the first view never has to replace that native window.
    virtual void PrepareWindow(QWidget* window) { (void)window; }

    // Hands the plug-in files to the engine, in order, empty entries included.
    virtual void RegisterPluginPaths(const QStringList& paths) = 0;

    // Where the notifications pages show go (pages of every view); without a
    // presenter they are dropped.
    using TNotificationPresenter = std::function<void(const TPageNotification& notification)>;
    virtual void SetNotificationPresenter(TNotificationPresenter presenter) { (void)presenter; }

    // Where every download a handler accepted goes once it runs, also when
    // the page that asked has gone meanwhile (its tab closed during the save
    // dialog). The item belongs to the engine; take it over with setParent to
    // keep it beyond the engine's life. Without a sink it is cancelled.
    using TDownloadSink = std::function<void(TDownloadItem* item)>;
    virtual void SetDownloadSink(TDownloadSink sink) { (void)sink; }

    // The cookies this session changed, written to path for the next start
    // (a restart soon after a sign-in would lose them otherwise), and put
    // back from such a file, which is removed. Put back before the first page
    // loads.
    virtual bool SaveCookieChanges(const QString& path) { (void)path; return true; }
    virtual void RestoreCookieChanges(const QString& path) { (void)path; }

    // Makes a client certificate with its private key available to servers
    // that ask for one (this run only; nothing is written).
    virtual void AddClientCertificate(const QSslCertificate& certificate, const QSslKey& key)
    {
        (void)certificate;
        (void)key;
    }
};
