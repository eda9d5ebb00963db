#include "FakeBrowserEngine.h"

void TFakeChromium::Load(const QString& url)
{
    Loads << url;
    FUrl = url;
}

TChromium* TFakeChromium::RaisePopup(const TPopupRequest& request)
{
    TChromium* target = OnBeforePopup ? OnBeforePopup(this, request) : nullptr;
    if (auto* fake = dynamic_cast<TFakeChromium*>(target)) {
        fake->FIsPopup = true;
        fake->FUrl = request.TargetUrl.toString();
    }
    return target;
}

TRequestHeaders TFakeChromium::RaiseBeforeResourceLoad(const QUrl& url)
{
    TRequestHeaders headers;
    if (OnBeforeResourceLoad)
        OnBeforeResourceLoad(this, url, headers);
    return headers;
}

void TFakeChromium::RaiseTitle(const QString& title)
{
    FTitle = title;
    if (OnTitleChange)
        OnTitleChange(this, title);
}

void TFakeChromium::RaiseLoading(bool loading)
{
    FLoading = loading;
    if (OnLoadingStateChange)
        OnLoadingStateChange(this, loading, false, false);
}

void TFakeChromium::RaiseClose()
{
    if (OnClose)
        OnClose(this);
}

TJsDialogReply TFakeChromium::RaiseJsDialog(const TJsDialogRequest& request)
{
    TJsDialogReply reply;
    if (OnJsdialog)
        OnJsdialog(this, request, reply);
    return reply;
}

TContextMenuModel TFakeChromium::RaiseContextMenu(const TContextMenuParams& params, TContextMenuModel model)
{
    if (OnBeforeContextMenu)
        OnBeforeContextMenu(this, params, model);
    return model;
}

void TFakeChromium::RaiseContextMenuCommand(const TContextMenuParams& params, int commandId)
{
    if (OnContextMenuCommand)
        OnContextMenuCommand(this, params, commandId);
}

TDownloadReply TFakeChromium::RaiseDownload(const TDownloadRequest& request)
{
    TDownloadReply reply;
    if (OnBeforeDownload)
        OnBeforeDownload(this, request, reply);
    return reply;
}

TChromium* TFakeBrowserEngine::CreateView(QWidget* parent)
{
    auto* view = new TFakeChromium(parent);
    Views.emplace_back(view);
    return view;
}
