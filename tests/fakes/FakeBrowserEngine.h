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
    bool IsPopup() const override { return FIsPopup; }
    QString Url() const override { return FUrl; }
    QString Title() const override { return FTitle; }
    bool IsLoading() const override { return FLoading; }
    void SetDefaultTextEncoding(const QString& encoding) override { TextEncoding = encoding; }

    QStringList Loads;
    int StopCount = 0;
    int ReloadCount = 0;
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

    bool FIsPopup = false;

private:
    QString FUrl = QStringLiteral("about:blank");
    QString FTitle;
    bool FLoading = false;
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
