#pragma once

#include "engine/BrowserEngine.h"
#include "engine/Chromium.h"

#include <QPointer>
#include <QStringList>

#include <vector>

// A browser view that tests drive: it records what the shell asked of it
// and raises each event on demand.
class TFakeChromium : public TChromium
{
    Q_OBJECT

public:
    using TChromium::TChromium;

    void Load(const QString& url) override;
    void StopLoad() override { ++StopCount; FLoading = false; }
    void Reload() override { ++ReloadCount; }
    void ReloadBypassingCache() override { ++HardReloadCount; }
    void GoBack() override { ++BackCount; }
    void GoForward() override { ++ForwardCount; }
    void FindText(const QString& text, bool backward) override { Finds.push_back({text, backward}); }
    void SetZoomFactor(double factor) override { FZoom = factor; }
    double ZoomFactor() const override { return FZoom; }
    bool IsPopup() const override { return FIsPopup; }
    QString Url() const override { return FUrl; }
    QString Title() const override { return FTitle; }
    bool IsLoading() const override { return FLoading; }
    void SetDefaultTextEncoding(const QString& encoding) override { TextEncoding = encoding; }

    QStringList Loads;
    int StopCount = 0;
    int ReloadCount = 0;
    int HardReloadCount = 0;
    int BackCount = 0;
    int ForwardCount = 0;
    struct TFind
    {
        QString Text;
        bool Backward = false;
    };
    std::vector<TFind> Finds;
    QString TextEncoding;

    TChromium* RaisePopup(const TPopupRequest& request);
    TRequestHeaders RaiseBeforeResourceLoad(const QUrl& url);
    void RaiseTitle(const QString& title);
    void RaiseLoading(bool loading);
    void RaiseClose();
    TJsDialogReply RaiseJsDialog(const TJsDialogRequest& request);
    TContextMenuModel RaiseContextMenu(const TContextMenuParams& params, TContextMenuModel model);
    void RaiseContextMenuCommand(const TContextMenuParams& params, int commandId);
    TDownloadReply RaiseDownload(const TDownloadRequest& request);
    // A key pressed in the page: the handler sees it first; a key it does not
    // take and the page does not want (pageTakes) comes back unhandled.
    // Gives true when the shell took it.
    bool RaiseKey(const TKeyPress& key, bool pageTakes = false);
    void RaiseZoomWheel(int steps) { Q_EMIT ZoomWheel(steps); }
    void RaiseFindResult(int active, int count) { Q_EMIT FindResult(active, count); }
    // Navigates to url (no load is recorded).
    void RaiseUrl(const QString& url);

    bool FIsPopup = false;

private:
    QString FUrl = QStringLiteral("about:blank");
    QString FTitle;
    bool FLoading = false;
    double FZoom = 1.0;
};

class TFakeBrowserEngine : public TBrowserEngine
{
public:
    TChromium* CreateView(QWidget* parent) override;
    void RegisterPluginPaths(const QStringList& paths) override { PluginPaths = paths; }

    // Every view made so far; destroyed ones read as null.
    std::vector<QPointer<TFakeChromium>> Views;
    QStringList PluginPaths;
};
