#pragma once

#include <QString>

// What a page's dialog text asks of the shell.
enum class TPageCommandKind {
    Dialog,     // no "NERITH:" prefix: an ordinary dialog the shell shows
    EngineOwn,  // prefixed but no second colon or no known command: the engine shows the text
    ClearCache,
    Relogin,
};

struct TPageCommand
{
    TPageCommandKind Kind = TPageCommandKind::Dialog;
    QString Command;  // the text between the prefix and the first colon after it
    QString Argument; // everything after that colon; no command uses it
};

inline constexpr char PageCommandPrefix[] = "NERITH:";

// Reads "NERITH:" + command + ":" + argument. Prefix and command compare
// exactly, case included. Never fails, whatever the text.
TPageCommand ParsePageCommand(const QString& text);
