#pragma once

#include "page/PagePermissions.h"

#include <QObject>

class TTabRegistry;
struct TShutdownFlags;

// Answers the pages' feature requests (notifications, location, camera...):
// at once where the policy decides, otherwise by asking the user, one
// question at a time, and only for a page in sight (a background tab's
// request waits until its tab is shown); answers are remembered. Every
// request is answered, since a page waits for ever on one left open.
class TPermissionPrompter : public QObject
{
    Q_OBJECT

public:
    TPermissionPrompter(TTabRegistry& registry, const TShutdownFlags& flags, const QString& configPath,
                        const QString& serviceHost, QObject* parent = nullptr);

    void Request(TChromium* view, const QUrl& origin, TPageFeature feature);
    // The program ends: everything still waiting is denied.
    void DenyPending();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void AskNext();
    void Answer(const TPermissionQueue::TRequest& request, bool allowed);

    const TShutdownFlags& FFlags;
    TPermissionPolicy FPolicy;
    TPermissionQueue FQueue;
    bool FAsking = false;
};
