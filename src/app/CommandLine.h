#pragma once

#include <QByteArray>

#include <optional>

// Name of the installed desktop entry (without ".desktop") and of the icon.
inline constexpr char DesktopEntryId[] = "com.velmar.VelmarERP";

// The text to print for "--version" or "--help" (the first of them wins),
// or nothing: every other argument is ignored and the program starts.
std::optional<QByteArray> CommandLineAnswer(int argc, const char* const* argv);
