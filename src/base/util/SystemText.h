#pragma once

#include <QByteArray>
#include <QString>

// The one place where bytes from files, tools and the network become text
// and back, in the system's code page (UTF-8 on current Linux desktops).
QString FromSystemText(const QByteArray& bytes);
QByteArray ToSystemText(const QString& text);

// Output of console programs. Windows consoles write in their own (OEM)
// code page; here it is the system's, like every other text.
QString FromConsoleText(const QByteArray& bytes);
