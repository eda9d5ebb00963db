#pragma once

#include "config/ConfigFile.h"

#include <QHash>
#include <QString>

// Page zoom in the steps browsers use, as whole percents.
namespace ZoomSteps {

inline constexpr int Minimum = 25;
inline constexpr int Maximum = 500;
inline constexpr int Default = 100;

// The next step above (below) percent; the end stays where it is. A level
// between steps goes to the neighbouring step.
int In(int percent);
int Out(int percent);
bool InRange(int percent);

} // namespace ZoomSteps

// The zoom level of each host, kept in config.ini section "ZOOM" (key: the
// host name, value: percent). A missing, unreadable or out-of-range value
// reads as 100%. Levels are cached: this process is the file's only writer.
class TZoomStore
{
public:
    explicit TZoomStore(const QString& iniPath);

    // The host a page's address is zoomed under; empty when the address has
    // none (about:blank, data:, file:), which is not stored.
    static QString HostOf(const QString& url);

    int Level(const QString& host);
    // Remembers the level; raises EAppError when config.ini cannot be
    // written (the level still holds until the program ends).
    void SetLevel(const QString& host, int percent);

private:
    TConfigFile FConfig;
    QHash<QString, int> FCache;
};
