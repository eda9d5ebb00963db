#pragma once

#include "config/ConfigFile.h"
#include "engine/Chromium.h"

#include <QList>
#include <QPointer>
#include <QString>
#include <QUrl>

#include <optional>

// Who decides a page's feature request: answered at once (notifications of
// the service's own pages), by an answer the user gave before, or by a
// question. Answers are kept in config.ini, section "PERMISSIONS", one key
// per origin and feature with the value 1 (allowed) or 0 (denied); any other
// value counts as not answered yet.
class TPermissionPolicy
{
public:
    enum class TDecision { Allow, Deny, Ask };

    // configPath: config.ini; serviceHost: host or host:port of the service.
    TPermissionPolicy(QString configPath, QString serviceHost);

    TDecision Decide(const QUrl& origin, TPageFeature feature) const;
    // Keeps the user's answer. Raises EAppError when config.ini cannot be written.
    void Remember(const QUrl& origin, TPageFeature feature, bool allowed) const;

    static QString Key(const QUrl& origin, TPageFeature feature);
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
    };
    struct TWaiter
    {
        QPointer<TChromium> View;
        TRequest Request;
    };

    // True when the request needs a question of its own (none waits for it yet).
    bool Add(TChromium* view, const TRequest& request);
    // The next question to ask, or nothing; requests of views gone are dropped.
    std::optional<TRequest> Next();
    // Takes the views waiting for this question; views gone meanwhile are left out.
    QList<QPointer<TChromium>> Take(const TRequest& request);
    // Takes every waiting request of every view still there (to deny them all).
    QList<TWaiter> TakeAll();
    bool IsEmpty() const { return FWaiters.isEmpty(); }

private:
    QList<TWaiter> FWaiters;
};
