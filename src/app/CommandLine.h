#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

// The text to print for "--version" or "--help" (the first of them wins),
// or nothing: every other argument is ignored and the program starts.
std::optional<QByteArray> CommandLineAnswer(int argc, const char* const* argv);

// The file named by "--log-file PATH" (or "--log-file=PATH"), if any.
std::optional<QString> LogFileArgument(int argc, const char* const* argv);

// Whether the arguments ask for the diagnostic report ("--diagnose").
bool DiagnoseRequested(int argc, const char* const* argv);
