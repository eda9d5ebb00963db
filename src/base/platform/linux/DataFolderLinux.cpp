#include "platform/DataFolder.h"

#include <QFile>

#include <cerrno>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace Platform {

namespace {

QString Env(const char* name)
{
    return QFile::decodeName(qgetenv(name));
}

bool IsWritableFolder(const QByteArray& path)
{
    struct stat st {};
    return ::stat(path.constData(), &st) == 0 && S_ISDIR(st.st_mode) && ::access(path.constData(), W_OK | X_OK) == 0;
}

} // namespace

TDataFolderFacts DataFolderFacts(const QString& programFolder)
{
    TDataFolderFacts facts;
    facts.ProgramFolder = programFolder;
    facts.ProgramFolderWritable = !programFolder.isEmpty() && IsWritableFolder(QFile::encodeName(programFolder));
    struct stat st {};
    facts.ProgramFolderPrivate = !programFolder.isEmpty()
                                 && ::stat(QFile::encodeName(programFolder).constData(), &st) == 0
                                 && st.st_uid == ::getuid() && (st.st_mode & (S_IWGRP | S_IWOTH)) == 0;
    facts.SystemInstall =
        !programFolder.isEmpty() && QFile::exists(programFolder + QLatin1String(SystemInstallMarker));
    facts.XdgDataHome = Env("XDG_DATA_HOME");
    facts.Home = Env("HOME");
    if (const passwd* account = ::getpwuid(::getuid()); account && account->pw_dir)
        facts.AccountHome = QFile::decodeName(account->pw_dir);
    return facts;
}

bool MakeUserFolder(const QString& folder)
{
    // Parents the way mkdir -p makes them; the last one private to the user.
    QByteArray path = QFile::encodeName(folder);
    while (path.size() > 1 && path.endsWith('/'))
        path.chop(1);
    for (qsizetype at = path.indexOf('/', 1); at != -1; at = path.indexOf('/', at + 1)) {
        const QByteArray parent = path.left(at);
        if (::mkdir(parent.constData(), 0755) != 0 && errno != EEXIST)
            return false;
    }
    if (::mkdir(path.constData(), 0700) != 0 && errno != EEXIST)
        return false;
    // One made earlier, or by someone's hand, becomes private as well; a
    // folder of someone else is no folder of this user's.
    struct stat st {};
    if (::lstat(path.constData(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != ::getuid())
        return false;
    if ((st.st_mode & 0077) != 0 && ::chmod(path.constData(), 0700) != 0)
        return false;
    return IsWritableFolder(path);
}

} // namespace Platform
