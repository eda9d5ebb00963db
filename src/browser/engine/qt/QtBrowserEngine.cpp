#include "engine/qt/QtBrowserEngine.h"

#include <QtWebEngineCore/qtwebenginecoreglobal.h>

#include "engine/qt/QtChromium.h"
#include "engine/qt/QtDownloadItem.h"
#include "engine/qt/QtEngineStart.h"

#include <QDebug>
#include <QDir>
#include <QFileInfo>
#include <QLibraryInfo>
#include <QWebEngineClientCertificateStore>
#include <QOpenGLWidget>
#include <QPointer>
#include <QWebEngineCookieStore>
#include <QWebEngineDownloadRequest>
#include <QWebEngineNotification>
#include <QWebEngineProfile>

#include <cerrno>
#include <cstring>
#include <utility>

void TQtBrowserEngine::PrepareProcess(const TEngineSettings& settings, TEnvironmentOverride& environment)
{
    PrepareEngineProcess(settings, environment);
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
    : FLogPageErrors(settings.LogPageErrors)
{
    FProfile = CreateEngineProfile(settings, this);
    connect(FProfile, &QWebEngineProfile::downloadRequested, this, &TQtBrowserEngine::ProfileDownloadRequested);
    QWebEngineCookieStore* cookies = FProfile->cookieStore();
    connect(cookies, &QWebEngineCookieStore::cookieAdded, this,
            [this](const QNetworkCookie& cookie) { FCookieChanges.Added(cookie); });
    connect(cookies, &QWebEngineCookieStore::cookieRemoved, this,
            [this](const QNetworkCookie& cookie) { FCookieChanges.Removed(cookie); });
}

void TQtBrowserEngine::RestoreCookieChanges(const QString& path)
{
    QWebEngineCookieStore* cookies = FProfile->cookieStore();
    for (const TCookieChanges::TChange& change : TCookieChanges::Take(path)) {
        const QUrl origin = TCookieChanges::Origin(change.Cookie);
        if (change.Set)
            cookies->setCookie(TCookieChanges::ForOrigin(change.Cookie), origin);
        else
            cookies->deleteCookie(TCookieChanges::ForOrigin(change.Cookie), origin);
    }
}

void TQtBrowserEngine::SetNotificationPresenter(TNotificationPresenter presenter)
{
    if (!presenter) {
        FProfile->setNotificationPresenter({});
        return;
    }
    FProfile->setNotificationPresenter([presenter](std::unique_ptr<QWebEngineNotification> raw) {
        std::shared_ptr<QWebEngineNotification> shown(raw.release());
        shown->show();
        TPageNotification notification;
        notification.Origin = shown->origin();
        notification.Title = shown->title();
        notification.Message = shown->message();
        notification.Clicked = [shown] { shown->click(); };
        notification.Closed = [shown] { shown->close(); };
        presenter(notification);
    });
}

TQtBrowserEngine::~TQtBrowserEngine() = default;

QString TQtBrowserEngine::VersionText()
{
    return QStringLiteral("Chromium %1（安全补丁 %2）")
        .arg(QLatin1String(qWebEngineChromiumVersion()), QLatin1String(qWebEngineChromiumSecurityPatchVersion()));
}

TChromium* TQtBrowserEngine::CreateView(QWidget* parent)
{
    auto* view = new TQtChromium(FProfile, parent);
    view->SetLogPageErrors(FLogPageErrors);
    return view;
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
    if (const auto known = FAccepted.find(download->id()); known != FAccepted.end()) {
        DownloadResumed(download, *known);
        return;
    }
    TQtChromium* view = TQtChromium::FromPage(download->page());
    if (TQtChromium::TPendingSave save; view && view->TakePendingSave(download->url(), save)) {
        // A fetch the shell asked for: straight to its file, and report the end.
        TAcceptedDownload accepted;
        accepted.Path = save.Path;
        accepted.Done = save.Done;
        AcceptInto(download, std::move(accepted));
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
    // The save dialog may have outlived the tab (and the view); the download
    // goes on all the same, listed like any other.
    if (!reply.Accept || reply.FullPath.isEmpty() || !FDownloadSink) {
        download->cancel();
        return;
    }
    TAcceptedDownload accepted;
    accepted.Path = reply.FullPath;
    AcceptInto(download, accepted);
    auto* item = new TQtDownloadItem(download, this);
    FAccepted[download->id()].Item = item;
    FDownloadSink(item);
}

void TQtBrowserEngine::AcceptInto(QWebEngineDownloadRequest* download, TAcceptedDownload accepted)
{
    const quint32 id = download->id();
    const QFileInfo target(accepted.Path);
    download->setDownloadDirectory(target.absolutePath());
    download->setDownloadFileName(target.fileName());
    accepted.Request = download;
    FAccepted.insert(id, std::move(accepted));
    connect(download, &QWebEngineDownloadRequest::isFinishedChanged, this, [this, id, download] {
        const auto entry = FAccepted.find(id);
        if (!download->isFinished() || entry == FAccepted.end() || entry->Request != download || entry->Ended)
            return;
        entry->Ended = true;
        if (entry->Done)
            std::exchange(entry->Done, {})(download->state() == QWebEngineDownloadRequest::DownloadCompleted);
    });
    download->accept();
}

void TQtBrowserEngine::DownloadResumed(QWebEngineDownloadRequest* download, TAcceptedDownload& accepted)
{
    // Once its end was reported, the download stays ended: resuming it now
    // would write a file the user was told had failed.
    if (accepted.Ended || (accepted.Item && accepted.Item->FinishedReported())) {
        download->cancel();
        return;
    }
    qDebug() << "Download resumed by the engine:" << download->id();
    const QPointer<TQtDownloadItem> item = accepted.Item;
    AcceptInto(download, accepted);
    if (item)
        item->Rebind(download);
}

void TQtBrowserEngine::AddClientCertificate(const QSslCertificate& certificate, const QSslKey& key)
{
    FProfile->clientCertificateStore()->add(certificate, key);
}
