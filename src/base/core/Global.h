#pragma once

#include <QString>

#include "platform/InstanceLock.h"

// Process-wide values shared by the start-up, the main window and the tasks.

// The program folder with a trailing separator. Set at start from the
// executable's location; the main window sets it again when it is created.
extern QString gAppDir;

// Where the program writes config.ini, cache/, the cache reset script and
// the cookie copies, with a trailing separator: gAppDir for a copy its user
// can write, else a folder of the user's own (platform/DataFolder.h).
extern QString gDataDir;

// Held from the single-instance check until the main window is destroyed.
extern TInstanceLock gInstanceMutex;

// User options in memory, read from config.ini when the main window is created.
extern bool gAutoStart;
extern bool gSoundHint;
extern bool gPopupHint;

// The client's own version, shown in the caption and compared with the
// version the service publishes.
extern const char* const ClientVersion;

// Caption of the main window and of the shell's message boxes.
QString AppTitle();

// Name of the installed desktop entry (without ".desktop") and of the icon.
inline constexpr char DesktopEntryId[] = "com.velmar.VelmarERP";

// The support log in the data folder, when it is on.
inline constexpr char LogFileName[] = "logs/client.log";

// The updater in the program folder, the publisher's public key it checks
// packages with, and the helper that installs them as root.
#ifdef _WIN32
inline constexpr char UpdaterFileName[] = "Update.exe";
#else
inline constexpr char UpdaterFileName[] = "Update";
#endif
inline constexpr char PublisherKeyringName[] = "velmar-erp-archive-keyring.gpg";
inline constexpr char UpdateInstallerName[] = "velmar-erp-install";

// Name of the single-instance lock and of the autostart entry.
inline constexpr const char* InstanceName = "BrowserVelmarHouse";

// Host (or host:port) of the ERP service: the build's own, unless
// config.ini names another one at start (service/ServiceHost.h).
QString ServiceHost();
void SetServiceHost(const QString& host);

// Host (or host:port) of the ERP service, fixed at build time.
QString BuiltInServiceHost();
// Built for the bundled demo service (plain HTTP on this machine), not for a
// real one.
bool IsDemoBuild();

// "http://" + the service host + path; path starts with "/".
QString ServiceUrl(const QString& path);

// gAppDir + name: the program's own files.
QString AppFile(const QString& name);

// gDataDir + name: the files the program writes.
QString DataFile(const QString& name);
