#pragma once

#include "config/IniFile.h"

#include <QRect>

// What the program keeps in config.ini, with the defaults of each key.
struct TUserOptions
{
    bool AutoStart = true;
    bool SoundHint = true;
    bool PopupHint = true;
};

// The main window's outer rectangle and state (0 normal, 1 minimised, 2 maximised).
struct TWindowPlacement
{
    int Left = 0;
    int Top = 0;
    int Right = 0;
    int Bottom = 0;
    int State = 2;
};

class TConfigFile
{
public:
    explicit TConfigFile(const QString& path);

    const QString& FileName() const { return FIni.FileName(); }

    qint64 ReadHandle() const;
    void WriteHandle(qint64 handle) const;

    TUserOptions ReadOptions() const;
    // Writes "AUTOSTART", "SOUNDHINT", "POPUPHINT" in that order.
    void WriteOptions(const TUserOptions& options) const;

    // Right and bottom default to the size of the work area.
    TWindowPlacement ReadPlacement(const QSize& workArea) const;
    // Writes "LEFT", "TOP", "RIGHT", "BOTTOM", "STATE" in that order.
    void WritePlacement(const TWindowPlacement& placement) const;

    // A flag is on exactly when its text is "1".
    bool ReadFlag(const QString& section, const QString& key) const;

private:
    TIniFile FIni;
};
