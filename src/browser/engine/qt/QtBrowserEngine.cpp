#include "engine/qt/QtBrowserEngine.h"

#include "engine/qt/QtChromium.h"
#include "engine/qt/QtEngineStart.h"

#include <QDir>
#include <QFileInfo>
#include <QLibraryInfo>
#include <QOpenGLWidget>
#include <QWebEngineDownloadRequest>
#include <QWebEngineProfile>

#include <cerrno>
#include <cstring>

void TQtBrowserEngine::PrepareProcess(const TEngineSettings& settings)
{
    PrepareEngineProcess(settings);
}

QString TQtBrowserEngine::CheckAvailable()
{
    QString helper = QString::fromLocal8Bit(qgetenv("QTWEBENGINEPROCESS_PATH"));
    if (helper.isEmpty())
        helper = QLibraryInfo::path(QLibraryInfo::LibraryExecutablesPath) + QStringLiteral("/QtWebEngineProcess");
    const QFileInfo info(helper);
    if (info.isFile() && info.isExecutable())
        return {};
    return QStringLiteral("System Error.  Code: %1.\n%2: %3")
        .arg(ENOENT)
        .arg(QString::fromLocal8Bit(std::strerror(ENOENT)), QDir::toNativeSeparators(helper));
}

TQtBrowserEngine::TQtBrowserEngine(const TEngineSettings& settings)
{
    FProfile = CreateEngineProfile(settings, this);
    connect(FProfile, &QWebEngineProfile::downloadRequested, this, &TQtBrowserEngine::ProfileDownloadRequested);
}

TQtBrowserEngine::~TQtBrowserEngine() = default;

TChromium* TQtBrowserEngine::CreateView(QWidget* parent)
{
    return new TQtChromium(FProfile, parent);
}

void TQtBrowserEngine::RegisterPluginPaths(const QStringList& paths)
{
    // Qt WebEngine has no way to register plug-in files (no PepperFlash, no
    // NPAPI); the list is kept so the start-up stays the same everywhere.
    FPluginPaths = paths;
}

void TQtBrowserEngine::PrepareWindow(QWidget* window)
{
    // The views draw through textures. A window whose native surface was made
    // for plain drawing gets a new native window (and handle, and loses its
    // maximised state) when the first view shows; a texture-drawing child
    // present from the start makes the right surface at once.
    auto* marker = new QOpenGLWidget(window);
    marker->setObjectName(QStringLiteral("SurfaceMarker"));
    marker->setGeometry(0, 0, 1, 1);
    marker->hide();
}

void TQtBrowserEngine::ProfileDownloadRequested(QWebEngineDownloadRequest* download)
{
    TQtChromium* view = TQtChromium::FromPage(download->page());
    if (TQtChromium::TPendingSave save; view && view->TakePendingSave(download->url(), save)) {
        // A fetch the shell asked for: straight to its file, and report the end.
        const QFileInfo target(save.Path);
        download->setDownloadDirectory(target.absolutePath());
        download->setDownloadFileName(target.fileName());
        connect(download, &QWebEngineDownloadRequest::isFinishedChanged, download, [download, done = save.Done] {
            if (download->isFinished() && done)
                done(download->state() == QWebEngineDownloadRequest::DownloadCompleted);
        });
        download->accept();
        return;
    }
    TDownloadReply reply;
    if (view) {
        TDownloadRequest request;
        request.Url = download->url();
        request.SuggestedName = download->suggestedFileName();
        request.MimeType = download->mimeType();
        view->Handler().crmBeforeDownload(view, request, reply);
    }
    if (!reply.Accept || reply.FullPath.isEmpty()) {
        download->cancel();
        return;
    }
    const QFileInfo target(reply.FullPath);
    download->setDownloadDirectory(target.absolutePath());
    download->setDownloadFileName(target.fileName());
    download->accept();
}
