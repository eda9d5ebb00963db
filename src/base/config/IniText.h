#pragma once

#include <QByteArray>
#include <QString>

#include <optional>
#include <utility>
#include <vector>

// The profile-file text rules, on the raw bytes of the file so that every
// line the program does not own is kept exactly as it was.
//
// Sections are "[name]" lines; values are "key=value" lines. Names compare
// without regard to ASCII case; the first matching section and, inside it,
// the first matching key win. CR LF, lone LF and lone CR all end a line.
namespace IniText {

// The value of key in section, spaces around it and one pair of enclosing
// quotes removed; nullopt when the section or key is absent.
std::optional<QByteArray> FindValue(const QByteArray& text, const QByteArray& section, const QByteArray& key);

// text with key in section set to value: an existing value is replaced in
// place, a missing key is added after the section's last value, a missing
// section is added at the end. Nothing else changes.
QByteArray SetValue(const QByteArray& text, const QByteArray& section, const QByteArray& key, const QByteArray& value);

// Every "key=value" line of the first section named section, in file
// order, values as FindValue gives them; a key written twice counts once
// (the first wins).
std::vector<std::pair<QByteArray, QByteArray>> SectionValues(const QByteArray& text, const QByteArray& section);

// text without the line of key in section (the first one, the one FindValue
// reads); text itself when there is none. Nothing else changes.
QByteArray RemoveValue(const QByteArray& text, const QByteArray& section, const QByteArray& key);

// Integer reading: decimal with an optional sign, or hexadecimal after "$" or
// "0x"/"0X". Anything else, out-of-range values included, gives defaultValue.
int ParseInteger(const QString& text, int defaultValue);

} // namespace IniText
