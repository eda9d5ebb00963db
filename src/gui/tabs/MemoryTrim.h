#pragma once

#include <QObject>
#include <QTimer>

#include <functional>

class TTabRegistry;

// Once tabs have stopped closing for a while, gives the memory their pages
// left free back to the system. Without it the process keeps the peak of a
// day of popups opened and closed.
class TMemoryTrim : public QObject
{
    Q_OBJECT

public:
    using TRelease = std::function<void()>;
    static constexpr int QuietMs = 3000;
    TMemoryTrim(TTabRegistry& registry, TRelease release, int quietMs = QuietMs, QObject* parent = nullptr);

private:
    TRelease FRelease;
    QTimer FQuiet;
};
