#pragma once

#include <QObject>
#include <QStringList>

#include <functional>

class QTimer;
class TChromium;
class TTabRegistry;
struct TShutdownFlags;

// The tabs of this run, kept in a file of the data folder while the client
// runs and removed when it ends normally. A file found at start means the
// last run crashed or was killed: once the login page has loaded, the user
// is offered, once, to reopen its tabs.
class TSessionRestore : public QObject
{
    Q_OBJECT

public:
    static constexpr int SaveDelayMs = 1000;
    // count: how many pages can be reopened; true reopens them.
    using TAsk = std::function<bool(int count)>;

    TSessionRestore(TTabRegistry& registry, const TShutdownFlags& flags, QString path, TAsk ask,
                    int saveDelayMs = SaveDelayMs, QObject* parent = nullptr);

    // The addresses the last run left, read once at start.
    const QStringList& Pending() const { return FPending; }
    // The program ends normally: nothing is offered next time.
    void EndedNormally();

    // Writes the tabs now (the delay's end).
    void Save();

private:
    void Offer();
    void ScheduleSave();

    TTabRegistry& FRegistry;
    const TShutdownFlags& FFlags;
    QString FPath;
    TAsk FAsk;
    QTimer* FSaveTimer = nullptr;
    QStringList FPending;
    bool FOffered = false; // saving waits for the answer, so a crash meanwhile loses nothing
    bool FEnded = false;
};
