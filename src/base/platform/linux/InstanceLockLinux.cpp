#include "platform/InstanceLock.h"

#include <QDir>
#include <QFile>

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

bool IsPrivateFolder(const QString& path)
{
    struct stat st {};
    const QByteArray native = QFile::encodeName(path);
    return ::lstat(native.constData(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == ::getuid();
}

} // namespace

TInstanceLock::~TInstanceLock()
{
    Release();
}

QString TInstanceLock::LockFolder()
{
    const QString runtime = QString::fromLocal8Bit(qgetenv("XDG_RUNTIME_DIR"));
    if (!runtime.isEmpty() && IsPrivateFolder(runtime))
        return runtime;
    // No runtime folder (plain ssh sessions, CI): a private folder of this
    // user in the temp folder. It must not be a symlink someone else planted.
    const QString folder = QDir::tempPath() + QStringLiteral("/velmar-%1").arg(::getuid());
    const QByteArray native = QFile::encodeName(folder);
    if (::mkdir(native.constData(), 0700) != 0 && errno != EEXIST)
        return {};
    return IsPrivateFolder(folder) ? folder : QString();
}

TInstanceLock::TResult TInstanceLock::Create(const QString& name, const QString& inFolder)
{
    Release();
    QString folder = inFolder.isEmpty() ? LockFolder() : inFolder;
    while (folder.size() > 1 && folder.endsWith(QLatin1Char('/')))
        folder.chop(1);
    if (folder.isEmpty())
        return TResult::Failed;
    const QByteArray path = QFile::encodeName(folder + QLatin1Char('/') + name + QStringLiteral(".lock"));
    // Close-on-exec: the engine's helpers and any program we start must not
    // inherit the lock and keep it alive after we are gone.
    const int fd = ::open(path.constData(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0)
        return TResult::Failed;
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const int error = errno;
        ::close(fd);
        return error == EWOULDBLOCK ? TResult::AlreadyExists : TResult::Failed;
    }
    FHandle = fd;
    return TResult::Acquired;
}

void TInstanceLock::Release()
{
    if (FHandle >= 0) {
        ::flock(FHandle, LOCK_UN);
        ::close(FHandle);
        FHandle = -1;
    }
}
