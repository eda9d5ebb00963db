#pragma once

#include "engine/Chromium.h"

#include <QHash>
#include <QObject>
#include <QPointer>
#include <QString>

class QTimer;
class TLoadFailedPage;
class TTabRegistry;
struct TShutdownFlags;

// When the first tab tries again by itself: after FirstMs, then twice as
// long each time, never longer than MaxMs.
struct TRetryTiming
{
    int FirstMs = 2000;
    int MaxMs = 30000;
};

// A page that could not be loaded for the network's sake (the service down,
// no network, a failing proxy) gets the shell's own page in its tab, with
// "重试". The first tab, when the service's page failed there, also tries
// again by itself, with a growing delay and at once when the network comes
// back, and loads the login address again, so the user finds the login page
// as soon as the service answers.
class TLoadFailureCover : public QObject
{
    Q_OBJECT

public:
    TLoadFailureCover(TTabRegistry& registry, const TShutdownFlags& flags, TRetryTiming timing = {},
                      QObject* parent = nullptr);

    void SetLoginUrl(const QString& url) { FLoginUrl = url; }
    // The desktop reports the network back: a failed first tab tries at once.
    void NetworkBack();

    // attempt counts from 0.
    static int RetryDelayMs(const TRetryTiming& timing, int attempt);
    static QString TitleOf(TLoadFailure failure);
    static QString TextOf(const TLoadResult& result);
    // The address as shown and logged: no query (the login address carries
    // the machine's fingerprint there), no user name or password.
    static QString ShownAddress(const QUrl& url);

private:
    struct TState
    {
        QPointer<TLoadFailedPage> Cover;
        QUrl Url;         // what failed: what "重试" loads in any tab but the first
        int Attempts = 0; // the first tab's own retries so far
        QTimer* Retry = nullptr;
        QTimer* Tick = nullptr;
        qint64 DueMs = 0; // when Retry fires, on the monotonic clock
    };

    void Failed(TChromium* view, const TLoadResult& result);
    void Succeeded(TChromium* view);
    void Retry(TChromium* view);
    bool RetriesByItself(TChromium* view, const QUrl& failed) const;
    void ScheduleRetry(TChromium* view, TState& state);
    static void ShowCountdown(TState& state);
    // Listens for the desktop's word that the network is back, from the
    // first failure on (not at start: its backend takes time to load).
    void WatchNetwork();

    TTabRegistry& FRegistry;
    const TShutdownFlags& FFlags;
    TRetryTiming FTiming;
    QString FLoginUrl;
    bool FWatchingNetwork = false;
    QHash<TChromium*, TState> FStates; // by view; removed when the view goes
};
