#pragma once

#include <QObject>
#include <QString>
#include <QUrl>

// One running or ended download, as the engine reports it. Changed is
// raised for every change of bytes or state; Finished once, when the state
// is no longer InProgress.
class TDownloadItem : public QObject
{
    Q_OBJECT

public:
    enum class TState { InProgress, Completed, Cancelled, Interrupted };

    using QObject::QObject;

    virtual QUrl Url() const = 0;
    // The full path of the file the download is written to.
    virtual QString Path() const = 0;
    virtual qint64 ReceivedBytes() const = 0;
    // -1 when the server did not say.
    virtual qint64 TotalBytes() const = 0;
    virtual TState State() const = 0;
    // Why an interrupted download stopped, in the user's words; empty otherwise.
    virtual QString InterruptReason() const = 0;
    virtual void Cancel() = 0;

Q_SIGNALS:
    void Changed();
    void Finished();
};
