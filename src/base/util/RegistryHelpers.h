#pragma once

#include <QStringList>

// The program's entry in the user's autostart list: written when enabled,
// removed otherwise. Failing to reach the list does nothing; a failed write
// raises EAppError.
void SetAutoStart(bool enabled);

// Full path of the autostart entry SetAutoStart manages.
QString AutoStartEntryPath();

// Browser plug-in files registered for the current user, one entry per
// registration in name order; a registration without a usable file gives an
// empty entry. Never fails: no registrations give an empty list.
QStringList GetMozillaPluginPaths();
