#include "engine/qt/QtDownloadItem.h"

#include <QDir>
#include <QFile>
#include <QWebEngineDownloadRequest>

namespace {

// The engine's numbers for a server that sent less than it announced and for
// the program ending; Qt's enum leaves them out.
constexpr int ContentLengthMismatch = 38;
constexpr int UserShutdown = 41;

TDownloadItem::TState StateOf(QWebEngineDownloadRequest::DownloadState state)
{
    switch (state) {
    case QWebEngineDownloadRequest::DownloadCompleted: return TDownloadItem::TState::Completed;
    case QWebEngineDownloadRequest::DownloadCancelled: return TDownloadItem::TState::Cancelled;
    case QWebEngineDownloadRequest::DownloadInterrupted: return TDownloadItem::TState::Interrupted;
    default: return TDownloadItem::TState::InProgress;
    }
}

// The engine's reasons in the words of the shell's messages.
QString ReasonText(QWebEngineDownloadRequest::DownloadInterruptReason reason)
{
    using R = QWebEngineDownloadRequest;
    switch (reason) {
    case R::NoReason: return {};
    case R::FileFailed:
    case R::FileAccessDenied:
    case R::FileVirusInfected:
    case R::FileNameTooLong:
    case R::FileTooLarge:
    case R::FileTransientError:
    case R::FileBlocked:
    case R::FileSecurityCheckFailed:
    case R::FileTooShort:
    case R::FileHashMismatch: return QStringLiteral("无法写入文件");
    case R::FileNoSpace: return QStringLiteral("磁盘空间不足");
    case R::NetworkTimeout: return QStringLiteral("网络超时");
    case R::NetworkDisconnected: return QStringLiteral("网络已断开");
    case R::NetworkServerDown: return QStringLiteral("服务器无响应");
    case R::NetworkFailed:
    case R::NetworkInvalidRequest: return QStringLiteral("网络错误");
    case R::ServerFailed:
    case R::ServerBadContent:
    case R::ServerCertProblem:
    case R::ServerForbidden:
    case R::ServerUnreachable: return QStringLiteral("服务器错误");
    case R::ServerUnauthorized: return QStringLiteral("没有权限");
    case R::UserCanceled: return QStringLiteral("已取消");
    }
    // Reasons the engine has that this enum does not name, by their ranges.
    const int code = static_cast<int>(reason);
    if (code == ContentLengthMismatch)
        return QStringLiteral("连接中断，文件不完整");
    if (code > 0 && code < 20)
        return QStringLiteral("无法写入文件");
    if (code >= 20 && code < 30)
        return QStringLiteral("网络错误");
    if (code >= 30 && code < 40)
        return QStringLiteral("服务器错误");
    if (code == UserShutdown)
        return QStringLiteral("程序已退出");
    return QStringLiteral("未知错误");
}

} // namespace

TQtDownloadItem::TQtDownloadItem(QWebEngineDownloadRequest* request, QObject* parent)
    : TDownloadItem(parent), FUrl(request->url()),
      FPath(QDir(request->downloadDirectory()).filePath(request->downloadFileName()))
{
    Watch(request);
}

void TQtDownloadItem::Rebind(QWebEngineDownloadRequest* request)
{
    if (!request || request == FRequest || FFinishedReported)
        return;
    if (FRequest)
        disconnect(FRequest, nullptr, this, nullptr);
    Watch(request);
}

void TQtDownloadItem::Watch(QWebEngineDownloadRequest* request)
{
    FRequest = request;
    connect(request, &QWebEngineDownloadRequest::receivedBytesChanged, this, &TQtDownloadItem::RequestChanged);
    connect(request, &QWebEngineDownloadRequest::totalBytesChanged, this, &TQtDownloadItem::RequestChanged);
    connect(request, &QWebEngineDownloadRequest::stateChanged, this, &TQtDownloadItem::RequestChanged);
    connect(request, &QWebEngineDownloadRequest::isFinishedChanged, this, &TQtDownloadItem::RequestChanged);
    connect(request, &QWebEngineDownloadRequest::interruptReasonChanged, this, &TQtDownloadItem::RequestChanged);
    // The engine may drop its request (profile going away) before it ends.
    connect(request, &QObject::destroyed, this, [this] {
        if (FState == TState::InProgress) {
            FState = TState::Interrupted;
            FReason = QStringLiteral("程序已退出");
            RemovePartialFile();
            Q_EMIT Changed();
        }
        if (!FFinishedReported) {
            FFinishedReported = true;
            Q_EMIT Finished();
        }
    });
    RequestChanged();
}

void TQtDownloadItem::RequestChanged()
{
    if (!FRequest || FFinishedReported)
        return;
    FReceived = FRequest->receivedBytes();
    FTotal = FRequest->totalBytes();
    FState = StateOf(FRequest->state());
    FReason = FState == TState::Interrupted ? ReasonText(FRequest->interruptReason()) : QString();
    Q_EMIT Changed();
    // An interrupt the engine could resume is not "finished" for it, but
    // nothing here resumes one: it ends the download all the same.
    if (FState != TState::InProgress) {
        FFinishedReported = true;
        if (FState == TState::Interrupted)
            RemovePartialFile();
        Q_EMIT Finished();
    }
}

void TQtDownloadItem::RemovePartialFile() const
{
    // The engine writes into "<name>.download" and keeps it after an
    // interrupt for a resume that never comes here: it would only be a
    // broken file left in the user's folder.
    QFile::remove(FPath + QStringLiteral(".download"));
}

qint64 TQtDownloadItem::ReceivedBytes() const
{
    return FReceived;
}

qint64 TQtDownloadItem::TotalBytes() const
{
    return FTotal;
}

TDownloadItem::TState TQtDownloadItem::State() const
{
    return FState;
}

QString TQtDownloadItem::InterruptReason() const
{
    return FReason;
}

void TQtDownloadItem::Cancel()
{
    if (FRequest && FState == TState::InProgress)
        FRequest->cancel();
}
