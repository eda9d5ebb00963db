#pragma once

#include <QString>

// The support log: every message of the program (the toolkit's debug,
// info, warning and critical output) written to a file with its time, as
// well as to the standard error stream as before. Off unless turned on.
// Lines lose what must never be written down: the query of addresses (the
// login address carries the machine's fingerprint there), passwords,
// cookies and sign-in headers.

// The line as it may be written.
QString ScrubLogLine(const QString& line);

// Starts writing to path (its folder is made, private to the user). When the
// file grows past maxBytes it becomes path + ".1" (replacing an older one)
// and a new file starts. False when the file cannot be opened; the program
// then runs without a log.
bool StartLog(const QString& path, qint64 maxBytes);
// Where the log goes; empty when there is none.
QString LogPath();
// Stops writing (at the end of the program, and in tests).
void StopLog();
