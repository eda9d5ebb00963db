#include "engine/Chromium.h"

QByteArray TRequestHeaders::Value(const QByteArray& name) const
{
    for (const auto& line : FLines)
        if (line.first.compare(name, Qt::CaseInsensitive) == 0)
            return line.second;
    return {};
}

void TRequestHeaders::Set(const QByteArray& name, const QByteArray& value)
{
    for (auto& line : FLines) {
        if (line.first.compare(name, Qt::CaseInsensitive) == 0) {
            line.second = value;
            return;
        }
    }
    FLines.append({name, value});
}

TChromium* TChromiumHandler::crmBeforePopup(TChromium*, const TPopupRequest&)
{
    return nullptr;
}

void TChromiumHandler::crmBeforeResourceLoad(TChromium*, const QUrl&, TRequestHeaders&) {}

void TChromiumHandler::crmJsdialog(TChromium*, const TJsDialogRequest&, TJsDialogReply&) {}

void TChromiumHandler::crmBeforeContextMenu(TChromium*, const TContextMenuParams&, TContextMenuModel&) {}

void TChromiumHandler::crmBeforeDownload(TChromium*, const TDownloadRequest&, TDownloadReply&) {}

bool TChromiumHandler::crmFullScreenRequest(TChromium*, bool)
{
    return false;
}

bool TChromiumHandler::crmPreKeyEvent(TChromium*, const TKeyPress&)
{
    return false;
}

bool TChromiumHandler::crmCertificateError(TChromium*, const TCertificateError&)
{
    return false;
}

void TChromium::CallJsDialog(const TJsDialogRequest& request, TJsDialogReply& reply)
{
    ++FDialogDepth;
    Handler().crmJsdialog(this, request, reply);
    if (--FDialogDepth == 0)
        Q_EMIT DialogEnded();
}

TChromiumHandler& TChromium::Handler() const
{
    static TChromiumHandler defaults;
    return FHandler ? *FHandler : defaults;
}
