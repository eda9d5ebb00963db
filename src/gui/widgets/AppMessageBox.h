#pragma once

#include <QString>

#include <functional>

// Button sets, icons and answers of the shell's message box, with the
// values of the Windows message box they stand for.
inline constexpr int MB_OK = 0x00;
inline constexpr int MB_OKCANCEL = 0x01;
inline constexpr int MB_YESNO = 0x04;
inline constexpr int MB_ICONSTOP = 0x10;
inline constexpr int MB_ICONQUESTION = 0x20;
inline constexpr int MB_ICONEXCLAMATION = 0x30;
inline constexpr int MB_ICONINFORMATION = 0x40;
inline constexpr int MB_DEFBUTTON2 = 0x100; // the second button (No, Cancel) is the default
inline constexpr int IDOK = 1;
inline constexpr int IDCANCEL = 2;
inline constexpr int IDYES = 6;
inline constexpr int IDNO = 7;

// The flags after the icon rule: no icon with OK gets the information icon,
// a bare button set (1 to 5) gets the question icon.
int AppMessageBoxFlags(int flags);

// The shell's own modal message box, captioned with the application title.
// Returns the id of the pressed button.
int AppMessageBox(const QString& text, int flags);

// Shows a message box with any caption; the base of AppMessageBox.
int ShowMessageBox(const QString& caption, const QString& text, int flags);

// Tests answer message boxes through this instead of a person.
using TMessageBoxHook = std::function<int(const QString& caption, const QString& text, int flags)>;
void SetMessageBoxHook(TMessageBoxHook hook);
