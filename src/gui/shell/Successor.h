#pragma once

#include <QString>
#include <QStringList>

#include <functional>

// A program the shell starts in its place (relogin, cache reset).
struct TStartCommand
{
    QString Program;
    QStringList Arguments;
    QString WorkingFolder;
};

// Starts command once this process has finished its work: the window is
// gone, the single-instance lock released and the engine shut down with its
// cookie store written. The successor then never meets the old instance
// still holding the lock or the engine's files. Only the first request of
// a process counts.
void StartWhenEnded(const TStartCommand& command);

// Tests see the command here instead of a process being started.
using TStartHook = std::function<void(const TStartCommand& command)>;
void SetStartWhenEndedHook(TStartHook hook);

// The page command that empties the cache: keeps the cookie files beside
// the program, writes the reset script and has it run once this process has
// ended. Says so when the script cannot be written.
void RestartWithEmptyCache();

// Starts the updater of the program folder with the hand-over word for this
// executable; false when it cannot be started.
bool StartUpdater();
