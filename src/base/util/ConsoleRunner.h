#pragma once

#include "util/StringList.h"

#include <QByteArray>
#include <QString>

#include <chrono>

// Runs a console program without a window and captures what it writes. Both
// routines block the calling thread: call them from a background task only.

// How long a command may run before it is given up and ended. Generous: the
// machine-information tools end within a few seconds.
inline constexpr std::chrono::milliseconds ConsoleRunLimit = std::chrono::seconds(60);

// Everything the command writes to standard output and standard error, in the
// order it arrives, once the command has ended. The command line (at most
// 1024 characters) names the program first; double quotes group a word.
// Empty when the program cannot be started; "CreatePipe error" or "Execute
// error" when setting up or running it raises an error (also written to the
// debug channel). A command still running at the limit is ended with all it
// started, and what it wrote until then is the result.
QString CaptureConsoleOutput(const QString& commandLine, std::chrono::milliseconds limit = ConsoleRunLimit);

// Fills lines with what the command writes to standard output (error output
// is lost): after a one-second pause, reads of 2400 bytes until one comes
// back short; a command still running after that is ended. Leaves lines
// empty when the command cannot be started; reports nothing.
void CaptureConsoleLines(const QByteArray& commandLine, TStringList& lines,
                         std::chrono::milliseconds limit = ConsoleRunLimit);
