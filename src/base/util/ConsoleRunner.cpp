#include "util/ConsoleRunner.h"

#include "platform/ConsoleProcess.h"
#include "util/SystemText.h"

#include <QDeadlineTimer>
#include <QDebug>
#include <QProcess>

#include <algorithm>
#include <array>
#include <exception>
#include <thread>

using Platform::TWaitEvent;

namespace {

constexpr qsizetype CommandLineMax = 1024;
constexpr std::chrono::milliseconds PollStep{500};
constexpr qint64 OutputChunk = 1024;
constexpr qint64 LinesChunk = 2400;
constexpr std::chrono::milliseconds LinesPause{1000};

QList<QByteArray> CommandArguments(const QString& commandLine)
{
    QList<QByteArray> arguments;
    for (const QString& argument : QProcess::splitCommand(commandLine))
        arguments.append(ToSystemText(argument));
    return arguments;
}

std::chrono::milliseconds Remaining(const QDeadlineTimer& deadline)
{
    return std::chrono::milliseconds(std::max<qint64>(0, deadline.remainingTime()));
}

QString Failure(const QString& result, const std::exception& error)
{
    qDebug().noquote() << result + QStringLiteral("\r\n") + QString::fromUtf8(error.what());
    return result;
}

// Reads only what the pipe already holds, so the loop never blocks on a read.
void DrainPipe(const Platform::THandle& pipe, QByteArray& captured, const QDeadlineTimer& deadline)
{
    std::array<char, OutputChunk> buffer;
    while (!deadline.hasExpired()) {
        const qint64 available = std::min(Platform::PeekPipe(pipe), OutputChunk);
        if (available <= 0)
            return;
        const qint64 count = Platform::ReadPipe(pipe, buffer.data(), available);
        if (count <= 0)
            return;
        captured.append(buffer.data(), count);
    }
}

} // namespace

QString CaptureConsoleOutput(const QString& commandLine, const std::chrono::milliseconds limit)
{
    const QDeadlineTimer deadline(limit);
    Platform::TPipe output;
    Platform::TPipe input;
    try {
        if (!Platform::CreatePipe(output) || !Platform::CreatePipe(input))
            return {};
    } catch (const std::exception& error) {
        return Failure(QStringLiteral("CreatePipe error"), error);
    }

    // Collected as bytes and decoded once, so a character cut by a read
    // boundary comes out whole.
    QByteArray captured;
    try {
        Platform::TChildProcess child;
        if (!child.Start(CommandArguments(commandLine.left(CommandLineMax)), input.Read, output.Write,
                         output.Write))
            return {};
        // The child has its own copies; ours would only keep the pipe open.
        output.Write.Close();
        input.Read.Close();

        bool watchOutput = true;
        for (;;) {
            const Platform::TWaitEvents events =
                child.Wait(std::min(PollStep, Remaining(deadline)), watchOutput ? &output.Read : nullptr);
            DrainPipe(output.Read, captured, deadline);
            // Only a grandchild can still hold the pipe: stop watching it, keep waiting for the child.
            if (events & TWaitEvent::OutputEnded)
                watchOutput = false;
            if (events & (TWaitEvent::ChildEnded | TWaitEvent::Failed))
                break;
            if (deadline.hasExpired()) {
                child.Kill();
                break;
            }
        }
    } catch (const std::exception& error) {
        return Failure(QStringLiteral("Execute error"), error);
    }
    return FromConsoleText(captured);
}

void CaptureConsoleLines(const QByteArray& commandLine, TStringList& lines, const std::chrono::milliseconds limit)
{
    lines.Clear();
    const QDeadlineTimer deadline(limit);
    Platform::TPipe pipe;
    if (!Platform::CreatePipe(pipe))
        return;
    // No input and no error output: the child gets an empty input rather than
    // the read end of its own output, which it could only read back or wait on.
    const Platform::THandle input = Platform::OpenEmptyInput();
    const Platform::THandle discard = Platform::OpenDiscardOutput();
    Platform::TChildProcess child;
    if (!child.Start(CommandArguments(FromSystemText(commandLine).left(CommandLineMax)), input, pipe.Write,
                     discard))
        return;
    // Without our copy of the write end, the pipe ends once the child is done with it.
    pipe.Write.Close();

    std::this_thread::sleep_for(std::min(LinesPause, Remaining(deadline)));

    QByteArray captured;
    std::array<char, LinesChunk> buffer;
    for (;;) {
        const Platform::TWaitEvents events = child.Wait(std::min(PollStep, Remaining(deadline)), &pipe.Read);
        qint64 count = 0;
        if (events & (TWaitEvent::OutputReady | TWaitEvent::OutputEnded)) {
            count = Platform::ReadPipe(pipe.Read, buffer.data(), LinesChunk);
        } else if (events & TWaitEvent::ChildEnded) {
            // The child is gone; take what it left and wait for nothing a grandchild might still hold.
            const qint64 available = std::min(Platform::PeekPipe(pipe.Read), LinesChunk);
            if (available > 0)
                count = Platform::ReadPipe(pipe.Read, buffer.data(), available);
        } else if (!(events & TWaitEvent::Failed) && !deadline.hasExpired()) {
            continue;
        }
        if (count > 0)
            captured.append(buffer.data(), count);
        if (count < LinesChunk)
            break;
    }
    // Nobody reads the child's output any more.
    child.Kill();

    lines.SetText(lines.Text() + FromConsoleText(captured));
}
