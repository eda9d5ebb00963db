#pragma once

#include <QByteArray>
#include <QString>

// Name of the reset script in the program folder, and the engine's cookie
// files that survive the reset.
inline constexpr char CacheResetScriptName[] = "ClearCache.sh";
inline constexpr const char* CookieFileNames[] = {"Cookies", "Cookies-journal"};
// The cookies the session changed that the engine may not have written yet;
// the next start puts them back and removes the file.
inline constexpr char CookieChangesName[] = "CookieChanges";

// A word for /bin/sh that stands for exactly these bytes, whatever they hold
// (spaces, quotes, $, backquotes, ;, &, newlines).
QByteArray ShellQuote(const QByteArray& bytes);

// The reset script for the program folder appDir (with or without a trailing
// separator) and the executable to start again. It pauses, empties cache/
// (sub-folders stay), puts the cookie files back, removes each copy beside
// the program once it is back in place (a copy that could not be put back
// stays) and starts the executable. It never follows a symbolic
// link, so nothing outside cache/ is removed or written.
QByteArray CacheResetScript(const QString& appDir, const QString& executable);
