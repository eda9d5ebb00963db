#pragma once

#include "engine/BrowserEngine.h"
#include "engine/EngineSettings.h"

#include <QObject>

class QWebEngineProfile;
class QWebEngineDownloadRequest;

// The engine over Qt WebEngine: one named, persistent profile shared by every view.
class TQtBrowserEngine : public QObject, public TBrowserEngine
{
    Q_OBJECT

public:
    // Puts the engine's start options in place. Must run before the
    // application object exists, because the engine reads them once.
    static void PrepareProcess(const TEngineSettings& settings);

    // Empty when the engine's helper program and resources are there, or the
    // message that says what is missing.
    static QString CheckAvailable();

    explicit TQtBrowserEngine(const TEngineSettings& settings);
    ~TQtBrowserEngine() override;

    TChromium* CreateView(QWidget* parent) override;
    void RegisterPluginPaths(const QStringList& paths) override;
    void PrepareWindow(QWidget* window) override;
    void SetNotificationPresenter(TNotificationPresenter presenter) override;

    QWebEngineProfile* Profile() const { return FProfile; }
    const QStringList& PluginPaths() const { return FPluginPaths; }

private:
    void ProfileDownloadRequested(QWebEngineDownloadRequest* download);

    QWebEngineProfile* FProfile = nullptr;
    QStringList FPluginPaths;
};
