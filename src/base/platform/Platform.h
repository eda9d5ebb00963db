#pragma once

#include <QString>
#include <QStringList>

// Thin wrappers over operating-system calls. No program logic lives here.
namespace Platform {

// Full path of the running executable; empty when it cannot be found.
QString ExecutablePath();

// Folder of the running executable with a trailing separator; empty on failure.
QString ExecutableFolder();

// The long form of a path (Windows expands 8.3 names; elsewhere it is the path itself).
QString LongPathName(const QString& path);

// True when the process runs with administrator (root) rights.
bool IsRunningAsRoot();

// Folder of the user's autostart entries (created on demand by the caller).
QString AutoStartFolder();

// Folder where the user's browser plug-ins are registered.
QString UserPluginFolder();

} // namespace Platform

namespace Platform {

// Lowers the scheduling priority of the calling thread to the lowest level
// that ordinary work still gets (background tasks).
void LowerCurrentThreadPriority();

// The calling thread's scheduling niceness (higher is lower priority).
int CurrentThreadNiceness();

} // namespace Platform

namespace Platform {

// Hands heap memory that is free again back to the system, so a long day of
// opening and closing pages does not keep the peak. Does nothing where the
// C library has no such call.
void ReleaseFreeMemory();

} // namespace Platform

namespace Platform {

// The program the desktop opens links of scheme with (its desktop entry's
// name), or empty when none is set or the desktop cannot say.
QString SchemeHandlerName(const QString& scheme);

} // namespace Platform
