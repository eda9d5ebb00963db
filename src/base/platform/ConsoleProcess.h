#pragma once

#include <QByteArray>
#include <QFlags>
#include <QList>
#include <QtGlobal>

#include <chrono>
#include <utility>

// Anonymous pipes and hidden console programs, for the console runner.
// Thin wrappers over operating-system calls; the runner's rules live in
// util/ConsoleRunner.
namespace Platform {

// An owned pipe end or device handle, closed with the object. Handles made
// here never reach a started program except as one of its standard streams.
class THandle
{
public:
    THandle() = default;
    explicit THandle(qintptr native) : FNative(native) {}
    ~THandle() { Close(); }
    THandle(THandle&& other) noexcept : FNative(std::exchange(other.FNative, -1)) {}
    THandle& operator=(THandle&& other) noexcept;
    THandle(const THandle&) = delete;
    THandle& operator=(const THandle&) = delete;

    bool IsValid() const { return FNative != -1; }
    qintptr Native() const { return FNative; }
    void Close();

private:
    qintptr FNative = -1;
};

struct TPipe
{
    THandle Read;
    THandle Write;
};

// A new anonymous pipe with the platform's default buffer size; false when
// the platform refuses one.
bool CreatePipe(TPipe& pipe);

// A handle that reads as empty input; invalid on failure.
THandle OpenEmptyInput();

// A handle that swallows everything written to it; invalid on failure.
THandle OpenDiscardOutput();

// Bytes the pipe holds that a read would return at once; 0 when none, at the
// pipe's end, or when the platform cannot tell.
qint64 PeekPipe(const THandle& pipe);

// Reads at most size bytes, waiting until there are some or the pipe has
// reached its end; gives the count read, 0 at the end, -1 on failure.
qint64 ReadPipe(const THandle& pipe, char* buffer, qint64 size);

enum class TWaitEvent {
    OutputReady = 0x1, // the pipe holds bytes
    OutputEnded = 0x2, // every writer has closed the pipe and it is empty
    ChildEnded = 0x4,  // the child has ended and has been reaped
    Failed = 0x8,      // the wait itself failed
};
Q_DECLARE_FLAGS(TWaitEvents, TWaitEvent)

// One started console program. A child still running when the object goes
// is killed together with its process group, and reaped.
class TChildProcess
{
public:
    TChildProcess() = default;
    ~TChildProcess();
    TChildProcess(const TChildProcess&) = delete;
    TChildProcess& operator=(const TChildProcess&) = delete;

    // Starts arguments[0] (searched in PATH when it names no folder) with
    // arguments as its argument list, the given standard streams, the
    // caller's environment and current folder, no window, in a process group
    // of its own. False when the program cannot be started.
    bool Start(const QList<QByteArray>& arguments, const THandle& input, const THandle& output,
               const THandle& error);

    // Waits at most timeout for the child to end or, when output is given,
    // for that pipe to hold bytes or reach its end. No flags: timed out.
    TWaitEvents Wait(std::chrono::milliseconds timeout, const THandle* output);

    bool IsRunning() const { return FPid > 0 && !FEnded; }

    // Ends the child and the rest of its process group at once, and reaps it.
    void Kill();

private:
    bool Reap(bool wait);

    qint64 FPid = -1;
    THandle FExitHandle; // readable once the child has ended, where the platform has one
    bool FEnded = false;
};

} // namespace Platform

Q_DECLARE_OPERATORS_FOR_FLAGS(Platform::TWaitEvents)
