#pragma once

#include <QObject>
#include <QString>

class TChromium;
class TTabRegistry;
struct TShutdownFlags;

// A page whose process ended gets a cover that says so and loads it again
// on a click: the first tab its login address, any other tab its page.
class TCrashCover : public QObject
{
    Q_OBJECT

public:
    TCrashCover(TTabRegistry& registry, const TShutdownFlags& flags, QObject* parent = nullptr);

    void SetLoginUrl(const QString& url) { FLoginUrl = url; }

private:
    void Cover(TChromium* view);

    TTabRegistry& FRegistry;
    const TShutdownFlags& FFlags;
    QString FLoginUrl;
};
