#include "platform/Platform.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>

#include <climits>
#if defined(__GLIBC__)
#include <malloc.h>
#endif
#include <unistd.h>

namespace Platform {

QString ExecutablePath()
{
    char buffer[PATH_MAX + 1];
    const ssize_t length = ::readlink("/proc/self/exe", buffer, PATH_MAX);
    if (length <= 0)
        return {};
    return QFile::decodeName(QByteArray(buffer, static_cast<int>(length)));
}

QString ExecutableFolder()
{
    const QString exe = ExecutablePath();
    if (exe.isEmpty())
        return {};
    QString folder = QFileInfo(exe).absolutePath();
    if (!folder.endsWith(QLatin1Char('/')))
        folder += QLatin1Char('/');
    return folder;
}

QString LongPathName(const QString& path)
{
    return path; // no short names here
}

void ReleaseFreeMemory()
{
#if defined(__GLIBC__)
    ::malloc_trim(0);
#endif
}

bool IsRunningAsRoot()
{
    return ::geteuid() == 0;
}

QString AutoStartFolder()
{
    QString config = QString::fromLocal8Bit(qgetenv("XDG_CONFIG_HOME"));
    if (config.isEmpty() || !QDir::isAbsolutePath(config))
        config = QDir::homePath() + QStringLiteral("/.config");
    return config + QStringLiteral("/autostart");
}

QString UserPluginFolder()
{
    return QDir::homePath() + QStringLiteral("/.mozilla/plugins");
}

} // namespace Platform

#include <cerrno>
#include <sys/resource.h>
#include <sys/syscall.h>

namespace Platform {

namespace {
id_t CurrentThreadId()
{
    return static_cast<id_t>(::syscall(SYS_gettid));
}
} // namespace

void LowerCurrentThreadPriority()
{
    // On Linux a thread's nice value is its own; raising it never needs rights.
    ::setpriority(PRIO_PROCESS, CurrentThreadId(), 10);
}

int CurrentThreadNiceness()
{
    errno = 0;
    return ::getpriority(PRIO_PROCESS, CurrentThreadId());
}

} // namespace Platform

namespace Platform {

QString SchemeHandlerName(const QString& scheme)
{
    for (const QChar c : scheme)
        if (!(c.isLetterOrNumber() || c == u'+' || c == u'-' || c == u'.') || c.unicode() > 127)
            return {};
    if (scheme.isEmpty())
        return {};
    QProcess query;
    query.start(QStringLiteral("xdg-mime"), {QStringLiteral("query"), QStringLiteral("default"),
                                             QStringLiteral("x-scheme-handler/") + scheme.toLower()});
    if (!query.waitForFinished(2000)) {
        query.kill();
        query.waitForFinished(1000);
        return {};
    }
    const QString entry = QString::fromUtf8(query.readAllStandardOutput()).trimmed();
    if (entry.isEmpty())
        return {};
    // The entry's own name, in the program's language where it has one.
    const QStringList folders = QStandardPaths::standardLocations(QStandardPaths::ApplicationsLocation);
    for (const QString& folder : folders) {
        QFile file(folder + QLatin1Char('/') + entry);
        if (!file.open(QIODevice::ReadOnly))
            continue;
        QString name;
        bool inEntry = false;
        for (const QByteArray& raw : file.readAll().split('\n')) {
            const QString line = QString::fromUtf8(raw).trimmed();
            if (line.startsWith(QLatin1Char('[')))
                inEntry = line == QLatin1String("[Desktop Entry]");
            else if (inEntry && line.startsWith(QLatin1String("Name[zh_CN]=")))
                return line.mid(12).trimmed();
            else if (inEntry && name.isEmpty() && line.startsWith(QLatin1String("Name=")))
                name = line.mid(5).trimmed();
        }
        if (!name.isEmpty())
            return name;
    }
    return entry;
}

} // namespace Platform
