#pragma once

#include "engine/BrowserEngine.h"
#include "engine/CookieChanges.h"
#include "engine/EngineSettings.h"

#include <QHash>
#include <QObject>
#include <QPointer>

#include <functional>

class TEnvironmentOverride;

class QWebEngineProfile;
class QWebEngineDownloadRequest;
class TQtDownloadItem;

// The engine over Qt WebEngine: one named, persistent profile shared by every view.
class TQtBrowserEngine : public QObject, public TBrowserEngine
{
    Q_OBJECT

public:
    // Puts the engine's start options in place, remembered in environment
    // (see PrepareEngineProcess). Must run before the application object
    // exists, because the engine reads them once.
    static void PrepareProcess(const TEngineSettings& settings, TEnvironmentOverride& environment);

    // Empty when the engine's helper program and resources are there, or the
    // message that says what is missing.
    static QString CheckAvailable();
    // "Chromium <version>（安全补丁 <level>）".
    static QString VersionText();
    QString EngineVersion() const override { return VersionText(); }

    explicit TQtBrowserEngine(const TEngineSettings& settings);
    ~TQtBrowserEngine() override;

    TChromium* CreateView(QWidget* parent) override;
    void RegisterPluginPaths(const QStringList& paths) override;
    void PrepareWindow(QWidget* window) override;
    void SetNotificationPresenter(TNotificationPresenter presenter) override;
    void SetDownloadSink(TDownloadSink sink) override { FDownloadSink = std::move(sink); }
    bool SaveCookieChanges(const QString& path) override { return FCookieChanges.Save(path); }
    void RestoreCookieChanges(const QString& path) override;
    void AddClientCertificate(const QSslCertificate& certificate, const QSslKey& key) override;

    QWebEngineProfile* Profile() const { return FProfile; }
    const QStringList& PluginPaths() const { return FPluginPaths; }

private:
    bool FLogPageErrors = false;
    // A download the shell accepted, by the engine's download id. After a
    // dropped connection the engine resumes it and asks again under the same
    // id: it goes on into the same file, without a second save dialog.
    struct TAcceptedDownload
    {
        QString Path;
        QPointer<QWebEngineDownloadRequest> Request; // the engine's current request
        QPointer<TQtDownloadItem> Item;              // what the downloads list shows
        std::function<void(bool ok)> Done;           // a save the shell asked for
        bool Ended = false;
    };

    void ProfileDownloadRequested(QWebEngineDownloadRequest* download);
    void AcceptInto(QWebEngineDownloadRequest* download, TAcceptedDownload accepted);
    void DownloadResumed(QWebEngineDownloadRequest* download, TAcceptedDownload& accepted);

    QHash<quint32, TAcceptedDownload> FAccepted;
    TCookieChanges FCookieChanges;
    TDownloadSink FDownloadSink;
    QWebEngineProfile* FProfile = nullptr;
    QStringList FPluginPaths;
};
