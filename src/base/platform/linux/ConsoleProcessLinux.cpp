#include "platform/ConsoleProcess.h"

#include <algorithm>
#include <vector>

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/ioctl.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace Platform {

namespace {

int Fd(const THandle& handle)
{
    return static_cast<int>(handle.Native());
}

// Standard streams are set up with dup2 in the child; a descriptor that is
// itself 0, 1 or 2 would keep its close-on-exec flag there, so move it up.
THandle Owned(const int fd)
{
    if (fd < 0 || fd > 2)
        return THandle(fd);
    const int moved = ::fcntl(fd, F_DUPFD_CLOEXEC, 3);
    ::close(fd);
    return THandle(moved);
}

THandle OpenNullDevice(const int mode)
{
    int fd;
    do
        fd = ::open("/dev/null", mode | O_CLOEXEC);
    while (fd < 0 && errno == EINTR);
    return Owned(fd);
}

int OpenExitHandle(const pid_t pid)
{
#ifdef SYS_pidfd_open
    return static_cast<int>(::syscall(SYS_pidfd_open, pid, 0));
#else
    (void)pid;
    return -1;
#endif
}

// The attributes and stream set-up of one posix_spawn call, released with the object.
struct TSpawnSetup
{
    posix_spawnattr_t FAttributes;
    posix_spawn_file_actions_t FActions;
    bool FAttributesReady = false;
    bool FActionsReady = false;

    TSpawnSetup()
    {
        FAttributesReady = ::posix_spawnattr_init(&FAttributes) == 0;
        FActionsReady = ::posix_spawn_file_actions_init(&FActions) == 0;
    }
    ~TSpawnSetup()
    {
        if (FActionsReady)
            ::posix_spawn_file_actions_destroy(&FActions);
        if (FAttributesReady)
            ::posix_spawnattr_destroy(&FAttributes);
    }
    TSpawnSetup(const TSpawnSetup&) = delete;
    TSpawnSetup& operator=(const TSpawnSetup&) = delete;
};

} // namespace

THandle& THandle::operator=(THandle&& other) noexcept
{
    if (this != &other) {
        Close();
        FNative = std::exchange(other.FNative, -1);
    }
    return *this;
}

void THandle::Close()
{
    if (FNative != -1)
        ::close(static_cast<int>(std::exchange(FNative, -1)));
}

bool CreatePipe(TPipe& pipe)
{
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0)
        return false;
    pipe.Read = Owned(fds[0]);
    pipe.Write = Owned(fds[1]);
    return pipe.Read.IsValid() && pipe.Write.IsValid();
}

THandle OpenEmptyInput()
{
    return OpenNullDevice(O_RDONLY);
}

THandle OpenDiscardOutput()
{
    return OpenNullDevice(O_WRONLY);
}

qint64 PeekPipe(const THandle& pipe)
{
    int available = 0;
    if (::ioctl(Fd(pipe), FIONREAD, &available) != 0)
        return 0;
    return available;
}

qint64 ReadPipe(const THandle& pipe, char* buffer, const qint64 size)
{
    ssize_t count;
    do
        count = ::read(Fd(pipe), buffer, static_cast<size_t>(size));
    while (count < 0 && errno == EINTR);
    return count;
}

TChildProcess::~TChildProcess()
{
    Kill();
}

bool TChildProcess::Start(const QList<QByteArray>& arguments, const THandle& input, const THandle& output,
                          const THandle& error)
{
    if (FPid > 0 || arguments.isEmpty() || !input.IsValid() || !output.IsValid() || !error.IsValid())
        return false;

    std::vector<QByteArray> storage(arguments.cbegin(), arguments.cend());
    std::vector<char*> argv;
    argv.reserve(storage.size() + 1);
    for (QByteArray& argument : storage)
        argv.push_back(argument.data());
    argv.push_back(nullptr);

    TSpawnSetup setup;
    if (!setup.FAttributesReady || !setup.FActionsReady)
        return false;
    // dup2 clears close-on-exec on the copies, so only these three reach the child.
    ::posix_spawn_file_actions_adddup2(&setup.FActions, Fd(input), STDIN_FILENO);
    ::posix_spawn_file_actions_adddup2(&setup.FActions, Fd(output), STDOUT_FILENO);
    ::posix_spawn_file_actions_adddup2(&setup.FActions, Fd(error), STDERR_FILENO);

    // A group of its own, so an abandoned command can be ended with all it started;
    // default signal handling, whatever this process ignores or blocks.
    sigset_t noSignals;
    sigemptyset(&noSignals);
    sigset_t allSignals;
    sigfillset(&allSignals);
    ::posix_spawnattr_setpgroup(&setup.FAttributes, 0);
    ::posix_spawnattr_setsigmask(&setup.FAttributes, &noSignals);
    ::posix_spawnattr_setsigdefault(&setup.FAttributes, &allSignals);
    ::posix_spawnattr_setflags(&setup.FAttributes,
                               POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);

    pid_t pid = -1;
    if (::posix_spawnp(&pid, argv.front(), &setup.FActions, &setup.FAttributes, argv.data(), environ) != 0)
        return false;
    FPid = pid;
    FEnded = false;
    FExitHandle = THandle(OpenExitHandle(pid));
    return true;
}

TWaitEvents TChildProcess::Wait(const std::chrono::milliseconds timeout, const THandle* output)
{
    if (FPid <= 0)
        return TWaitEvent::Failed;
    pollfd fds[2];
    nfds_t count = 0;
    int outputIndex = -1;
    if (output) {
        outputIndex = static_cast<int>(count);
        fds[count++] = {Fd(*output), POLLIN, 0};
    }
    if (FExitHandle.IsValid() && !FEnded)
        fds[count++] = {Fd(FExitHandle), POLLIN, 0};
    const int wait = FEnded ? 0 : static_cast<int>(std::max<qint64>(0, timeout.count()));

    TWaitEvents events;
    const int ready = ::poll(fds, count, wait);
    if (ready < 0 && errno != EINTR)
        events |= TWaitEvent::Failed;
    if (ready > 0 && outputIndex >= 0) {
        const short revents = fds[outputIndex].revents;
        if (revents & POLLIN)
            events |= TWaitEvent::OutputReady;
        else if (revents & POLLHUP)
            events |= TWaitEvent::OutputEnded;
        else if (revents & (POLLERR | POLLNVAL))
            events |= TWaitEvent::Failed;
    }
    if (Reap(false))
        events |= TWaitEvent::ChildEnded;
    return events;
}

bool TChildProcess::Reap(const bool wait)
{
    if (FPid <= 0 || FEnded)
        return FEnded;
    int status = 0;
    pid_t result;
    do
        result = ::waitpid(static_cast<pid_t>(FPid), &status, wait ? 0 : WNOHANG);
    while (result < 0 && errno == EINTR);
    // ECHILD: someone else reaped it (SIGCHLD ignored); either way it is gone.
    if (result == FPid || (result < 0 && errno == ECHILD)) {
        FEnded = true;
        FExitHandle.Close();
    }
    return FEnded;
}

void TChildProcess::Kill()
{
    if (!IsRunning())
        return;
    if (Reap(false))
        return;
    // The child is not reaped yet, so its group id cannot have been reused.
    ::kill(-static_cast<pid_t>(FPid), SIGKILL);
    ::kill(static_cast<pid_t>(FPid), SIGKILL);
    Reap(true);
}

} // namespace Platform
