#pragma once

#include <QString>
#include <QStringList>

#include <functional>

// Where the program keeps the files it writes: config.ini, cache/, the cache
// reset script and the cookie copies. A copy its user can write (a portable
// folder, the build folder) keeps them beside the executable; an installed
// copy keeps them in a folder of each user.

// What the decision depends on, gathered from the system.
struct TDataFolderFacts
{
    QString ProgramFolder;             // the executable's folder, with a trailing separator
    bool ProgramFolderWritable = false;
    bool SystemInstall = false;        // the package's marker file lies beside the executable
    QString XdgDataHome;               // $XDG_DATA_HOME as found; may be empty or relative
    QString Home;                      // $HOME as found; may be empty
    QString AccountHome;               // the home folder of the user's account
    // The program folder is owned by this user and writable by no one else:
    // only then may it hold the user's settings and session cookies.
    bool ProgramFolderPrivate = false;
};

// Name of the folder under the user's data folder.
inline constexpr char UserDataFolderName[] = "VelmarERP";

// Name of the marker file the package installs beside the executable, so an
// installed copy never writes into its own folder, not even for root.
inline constexpr char SystemInstallMarker[] = "system-install";

// The per-user folders to try, best first, each with a trailing separator:
// $XDG_DATA_HOME/VelmarERP when that is absolute, ~/.local/share/VelmarERP
// from $HOME, then from the account's home. Empty when there is none.
QStringList UserDataFolderCandidates(const TDataFolderFacts& facts);

struct TDataFolder
{
    QString Folder;        // with a trailing separator; empty when none could be made
    bool Portable = false; // the program folder itself
    QString Problem;       // why none could be made, for the user
};

// The program folder when it is writable, private to the user and not
// installed; else the first
// per-user candidate that exists or can be created as a writable folder.
// make does the creating and says whether the folder is usable.
TDataFolder ChooseDataFolder(const TDataFolderFacts& facts, const std::function<bool(const QString&)>& make);

// The decision for this process, with its program folder.
TDataFolder ResolveDataFolder(const QString& programFolder);

namespace Platform {

// The facts of this process and user.
TDataFolderFacts DataFolderFacts(const QString& programFolder);

// Creates folder (and its parents) private to the user when missing; true
// when it is then a folder the user can write.
bool MakeUserFolder(const QString& folder);

} // namespace Platform
