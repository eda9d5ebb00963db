#pragma once

#include "config/ConfigFile.h"
#include "engine/Chromium.h"

#include <QList>
#include <QPointer>
#include <QString>
#include <QUrl>

#include <functional>
#include <optional>

// Who decides a page's feature request: answered at once (notifications of
// the service's own pages), by an answer the user gave before, or by a
// question. Answers are kept in config.ini, section "PERMISSIONS", one key
// per origin, feature and the page it was asked in, with the value 1
// (allowed) or 0 (denied); any other value counts as not answered yet.
// Sharing the screen is asked every time, never remembered.
class TPermissionPolicy
{
public:
    enum class TDecision { Allow, Deny, Ask };

    // configPath: config.ini; serviceHost: host or host:port of the service.
    TPermissionPolicy(QString configPath, QString serviceHost);

    // origin: the frame that asks; page: the address of the page it is in
    // (its origin counts), empty for the origin's own page.
    TDecision Decide(const QUrl& origin, TPageFeature feature, const QUrl& page = QUrl()) const;
    // Keeps the user's answer (not for sharing the screen). Raises EAppError
    // when config.ini cannot be written.
    void Remember(const QUrl& origin, TPageFeature feature, bool allowed, const QUrl& page = QUrl()) const;

    // A kept answer as the settings window lists it.
    struct TRememberedAnswer
    {
        QString Key;     // the line in config.ini, for Forget
        QString Site;    // who asked, as the question named it
        QString Page;    // the site it was asked under; empty for its own page
        QString Feature; // what it asked for
        bool Allowed = false;
    };
    // Every answer kept, in the order they were given.
    QList<TRememberedAnswer> Remembered() const;
    // The site asks again next time. Raises EAppError when config.ini cannot be written.
    void Forget(const QString& key) const;

    static bool IsRemembered(TPageFeature feature);
    // "feature@origin", and "|" + the page's origin when a frame of another
    // origin asks: allowed once under one site is not allowed under any.
    static QString Key(const QUrl& origin, TPageFeature feature, const QUrl& page = QUrl());
    // What the question calls the site and the feature.
    static QString SiteName(const QUrl& origin);
    static QString FeatureText(TPageFeature feature);
    static QString Question(const QUrl& origin, TPageFeature feature);

private:
    TConfigFile FConfig;
    QString FServiceHost;
};

// The requests waiting for the user's answer. Requests for the same origin
// and feature share one question, whichever views made them; the question
// asked first is answered first.
class TPermissionQueue
{
public:
    struct TRequest
    {
        QUrl Origin;
        TPageFeature Feature = TPageFeature::Notifications;
        QUrl Page; // the page the asking frame is in
    };
    struct TWaiter
    {
        QPointer<TChromium> View;
        TRequest Request;
    };

    // True when the request needs a question of its own (none waits for it yet).
    bool Add(TChromium* view, const TRequest& request);
    // The next question to ask, or nothing; requests of views gone are
    // dropped. Only requests of views that shown says are in sight count.
    std::optional<TRequest> Next(const std::function<bool(TChromium*)>& shown = nullptr);
    // Takes the views waiting for this question; views gone meanwhile are left out.
    QList<QPointer<TChromium>> Take(const TRequest& request);
    // Takes every waiting request of every view still there (to deny them all).
    QList<TWaiter> TakeAll();
    bool IsEmpty() const { return FWaiters.isEmpty(); }

private:
    QList<TWaiter> FWaiters;
};
