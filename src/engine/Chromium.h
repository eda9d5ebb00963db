#pragma once

#include "engine/ContextMenuModel.h"

#include <QList>
#include <QPair>
#include <QUrl>
#include <QWidget>

#include <functional>

class TChromium;

// How a page asked for a new window.
enum class TWindowDisposition { NewForegroundTab, NewBackgroundTab, NewWindow, NewPopup };

struct TPopupRequest
{
    QUrl TargetUrl;
    TWindowDisposition Disposition = TWindowDisposition::NewForegroundTab;
    bool UserGesture = false;
};

// Header lines of a request about to be sent, in order; names compare
// without regard to case.
class TRequestHeaders
{
public:
    QByteArray Value(const QByteArray& name) const;
    void Set(const QByteArray& name, const QByteArray& value);
    const QList<QPair<QByteArray, QByteArray>>& Lines() const { return FLines; }

private:
    QList<QPair<QByteArray, QByteArray>> FLines;
};

enum class TJsDialogType { Alert, Confirm, Prompt };

struct TJsDialogRequest
{
    QUrl OriginUrl;
    TJsDialogType Type = TJsDialogType::Alert;
    QString MessageText;
    QString DefaultPromptText;
};

// What a dialog handler answers. Not handled: the engine shows its own dialog.
struct TJsDialogReply
{
    bool Handled = false;
    bool Success = false;   // OK / Yes
    bool HasInput = false;  // a prompt's answer; without it the page gets null
    QString UserInput;
};

enum class TContextMediaType { None, Image, Video, Audio, Canvas, File, Plugin };

struct TContextMenuParams
{
    TContextMediaType MediaType = TContextMediaType::None;
    QUrl SourceUrl; // the media's address
    QUrl LinkUrl;
    QUrl PageUrl;
};

struct TDownloadRequest
{
    QUrl Url;
    QString SuggestedName;
    QString MimeType;
};

// A download goes ahead only when Accept is set, to FullPath.
struct TDownloadReply
{
    bool Accept = false;
    QString FullPath;
};

// A browser view: a child control holding one engine browser. Events are
// plain callable members so that the owner binds its handlers, and a fake
// engine in the tests raises the same events.
class TChromium : public QWidget
{
public:
    using QWidget::QWidget;
    ~TChromium() override = default;

    // Popup request: return the (new) view the popup is to live in, or
    // nullptr to cancel the popup.
    std::function<TChromium*(TChromium* Sender, const TPopupRequest& Request)> OnBeforePopup;
    std::function<void(TChromium* Sender, const QUrl& Url, TRequestHeaders& Headers)> OnBeforeResourceLoad;
    std::function<void(TChromium* Sender, const QString& Title)> OnTitleChange;
    std::function<void(TChromium* Sender, bool IsLoading, bool CanGoBack, bool CanGoForward)> OnLoadingStateChange;
    std::function<void(TChromium* Sender)> OnClose;
    std::function<void(TChromium* Sender, const TJsDialogRequest& Request, TJsDialogReply& Reply)> OnJsdialog;
    std::function<void(TChromium* Sender, const TContextMenuParams& Params, TContextMenuModel& Model)>
        OnBeforeContextMenu;
    std::function<void(TChromium* Sender, const TContextMenuParams& Params, int CommandId)> OnContextMenuCommand;
    std::function<void(TChromium* Sender, const TDownloadRequest& Request, TDownloadReply& Reply)> OnBeforeDownload;

    virtual void Load(const QString& url) = 0;
    virtual void StopLoad() = 0;
    virtual void Reload() = 0;
    // True for a view the engine created for a page's popup.
    virtual bool IsPopup() const = 0;
    virtual QString Url() const = 0;
    virtual QString Title() const = 0;
    virtual bool IsLoading() const = 0;

    // Fetches url through the engine, with this page's cookies, into the
    // file path (overwriting it), and calls done with true once the file is
    // complete or with false on any failure. Without a way to fetch, it fails.
    virtual void SaveUrlToFile(const QUrl& url, const QString& path, std::function<void(bool ok)> done)
    {
        (void)url;
        (void)path;
        if (done)
            done(false);
    }

    // The owner's number for this view (the id of the tab page it was made in).
    int Tag = 0;
};
