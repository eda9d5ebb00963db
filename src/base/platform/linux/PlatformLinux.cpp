#include "platform/Platform.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

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
