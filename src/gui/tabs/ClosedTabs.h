#pragma once

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QString>

class TChromium;
class TTabRegistry;

// The tabs closed in this run, the last first, so that Ctrl+Shift+T brings
// one back at its address with its back and forward list.
class TClosedTabs : public QObject
{
    Q_OBJECT

public:
    static constexpr int MaxKept = 20;

    explicit TClosedTabs(TTabRegistry& registry, QObject* parent = nullptr);

    // Reopens the tab closed last, as the active tab; false when none is left.
    bool ReopenLast();
    int Count() const { return static_cast<int>(FClosed.size()); }

private:
    struct TClosed
    {
        QString Url;
        QByteArray History;
    };

    void TabClosing(TChromium* view);

    TTabRegistry& FRegistry;
    QList<TClosed> FClosed; // the last closed first
};
