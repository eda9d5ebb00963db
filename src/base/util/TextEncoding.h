#pragma once

#include "util/StringList.h"

#include <QByteArray>
#include <QString>

// The text operations on the way to the service and to the updater. Pure
// functions; none of them fails on any input.

// A new list of the pieces of text between delimiters (matched with exact
// letter case) and line breaks. An empty delimiter splits at line breaks only.
TStringList SplitToList(const QString& text, const QString& delimiter);

// The UTF-8 form of text, without a byte-order mark.
QByteArray Utf8Encode(const QString& text);

// A query value: letters, digits and ! $ ' ( ) * - . @ _ stay, a space becomes
// "+", every other byte becomes "%XX" (upper-case hex). Stops at a zero byte.
QByteArray EncodeQueryValue(const QByteArray& value);

// Base64 of text's bytes in the system code page, with CR LF after every 76
// characters (also after the last line when it is exactly 76 long).
QString EncodeBase64Text(const QString& text);

// Removes every character from U+0000 to U+0020 at both ends (QString::trimmed
// keeps control characters and removes Unicode spaces; this does neither).
QString TrimControl(const QString& text);
