#include "FakeBrowserEngine.h"

#include <QTimer>

#include <QBuffer>
#include <QPainter>
#include <QPdfWriter>

#include <utility>

void TFakeChromium::Load(const QString& url)
{
    Loads << url;
    FUrl = url;
    Q_EMIT UrlChanged(url);
}

TChromium* TFakeChromium::RaisePopup(const TPopupRequest& request)
{
    TChromium* target = Handler().crmBeforePopup(this, request);
    if (auto* fake = qobject_cast<TFakeChromium*>(target)) {
        fake->FIsPopup = true;
        fake->FUrl = request.TargetUrl.toString();
    }
    return target;
}

TRequestHeaders TFakeChromium::RaiseBeforeResourceLoad(const QUrl& url)
{
    TRequestHeaders headers;
    Handler().crmBeforeResourceLoad(this, url, headers);
    return headers;
}

void TFakeChromium::RaiseTitle(const QString& title)
{
    FTitle = title;
    Q_EMIT TitleChanged(title);
}

void TFakeChromium::RaiseLoading(bool loading)
{
    FLoading = loading;
    Q_EMIT LoadingStateChanged(loading, false, false);
}

void TFakeChromium::RaiseClose()
{
    Q_EMIT CloseRequested();
}

TJsDialogReply TFakeChromium::RaiseJsDialog(const TJsDialogRequest& request)
{
    TJsDialogReply reply;
    CallJsDialog(request, reply);
    return reply;
}

TContextMenuModel TFakeChromium::RaiseContextMenu(const TContextMenuParams& params, TContextMenuModel model)
{
    Handler().crmBeforeContextMenu(this, params, model);
    return model;
}

void TFakeChromium::RaiseContextMenuCommand(const TContextMenuParams& params, int commandId)
{
    Q_EMIT ContextMenuCommand(params, commandId);
}

TDownloadReply TFakeChromium::RaiseDownload(const TDownloadRequest& request)
{
    TDownloadReply reply;
    Handler().crmBeforeDownload(this, request, reply);
    return reply;
}

bool TFakeChromium::RaiseKey(const TKeyPress& key, bool pageTakes)
{
    if (Handler().crmPreKeyEvent(this, key))
        return true;
    if (!pageTakes)
        Q_EMIT KeyUnhandled(key);
    return false;
}

void TFakeChromium::RaiseUrl(const QString& url)
{
    FUrl = url;
    Q_EMIT UrlChanged(url);
}

TChromium* TFakeBrowserEngine::CreateView(QWidget* parent)
{
    auto* view = new TFakeChromium(parent);
    view->Engine = this;
    Views.emplace_back(view);
    return view;
}

void TFakeChromium::Print(QPrinter*, std::function<void(bool ok)> done)
{
    Prints << QString();
    done(!PendingPrint && PrinterPrintsSucceed); // one at a time, as the engine does
}

void TFakeChromium::PrintToPdf(const QString& path, const QPageLayout&, std::function<void(bool ok)> done)
{
    Prints << path;
    if (PendingPrint) {
        done(false);
        return;
    }
    PendingPrint = std::move(done);
}

void TFakeChromium::PrintToPdfData(const QPageLayout&, std::function<void(const QByteArray& pdf)> done)
{
    if (PendingPdfData) {
        done({});
        return;
    }
    PendingPdfData = std::move(done);
}

void TFakeChromium::FinishPdfData(const QByteArray& pdf)
{
    if (auto done = std::exchange(PendingPdfData, nullptr))
        done(pdf);
}

QByteArray TFakeChromium::MakePdf(int pages)
{
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    QPdfWriter writer(&buffer);
    writer.setResolution(72);
    QPainter painter(&writer);
    for (int page = 1; page <= pages; ++page) {
        if (page > 1)
            writer.newPage();
        QFont font = painter.font();
        font.setPixelSize(120);
        painter.setFont(font);
        painter.drawText(QRect(0, 0, 400, 400), Qt::AlignCenter, QString::number(page));
    }
    painter.end();
    return buffer.data();
}

void TFakeChromium::FinishPrint(bool ok)
{
    if (auto done = std::exchange(PendingPrint, nullptr))
        done(ok);
}

TFakeDownloadItem* TFakeChromium::StartDownload(const TDownloadRequest& request)
{
    return Engine->StartDownload(this, request);
}

TFakeDownloadItem* TFakeBrowserEngine::StartDownload(TFakeChromium* view, const TDownloadRequest& request)
{
    const TDownloadReply reply = view->RaiseDownload(request); // view may be deleted by now
    if (!reply.Accept || !Sink)
        return nullptr;
    auto* item = new TFakeDownloadItem(request.Url, reply.FullPath, nullptr);
    Sink(item);
    return item;
}

void TFakeDownloadItem::Cancel()
{
    ++CancelCount;
    if (FState == TState::InProgress)
        End(TState::Cancelled);
}

void TFakeDownloadItem::Progress(qint64 received, qint64 total)
{
    FReceived = received;
    FTotal = total;
    Q_EMIT Changed();
}

void TFakeDownloadItem::Complete()
{
    FReceived = qMax(FReceived, FTotal);
    End(TState::Completed);
}

void TFakeDownloadItem::Interrupt(const QString& reason)
{
    FReason = reason;
    End(TState::Interrupted);
}

void TFakeDownloadItem::End(TState state)
{
    FState = state;
    Q_EMIT Changed();
    Q_EMIT Finished();
}

TChromium* TFakeChromium::CopyOfDocument(const TFrameDocument& document, QWidget* parent)
{
    if (NoCopies)
        return nullptr;
    auto* copy = new TFakeChromium(parent);
    copy->Document = document;
    copy->FUrl = document.Url.toString();
    LastCopy = copy;
    const bool fails = CopyFails;
    QTimer::singleShot(0, copy, [copy, fails] {
        TLoadResult result;
        result.Url = copy->Document.Url;
        result.Ok = !fails;
        result.ErrorCode = fails ? -2 : 0;
        Q_EMIT copy->LoadFinished(result);
    });
    return copy;
}
