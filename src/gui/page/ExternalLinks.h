#pragma once

#include <QObject>
#include <QUrl>

#include <functional>

class TTabRegistry;
struct TShutdownFlags;

// Links to other programs (mailto:, tel:, an application's own scheme):
// opened through the desktop only after the user clicked one and then said
// yes to a question naming the scheme and the program; never from a page's
// script alone.
class TExternalLinks : public QObject
{
    Q_OBJECT

public:
    // Opens url with the desktop; tests put a recorder in its place.
    using TOpener = std::function<void(const QUrl& url)>;
    // The name of the program for a scheme, or empty when none is known.
    using THandlerName = std::function<QString(const QString& scheme)>;

    TExternalLinks(TTabRegistry& registry, const TShutdownFlags& flags, TOpener open, THandlerName handler,
                   QObject* parent = nullptr);

    static QString Question(const QUrl& url, const QString& program);

private:
    void Requested(const QUrl& url, bool userClicked);

    const TShutdownFlags& FFlags;
    TOpener FOpen;
    THandlerName FHandler;
    bool FAsking = false;
};
