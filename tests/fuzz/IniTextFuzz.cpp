// The INI text rules on any file content: reading never fails, and a value
// written is read back while every other value stays as it was.

#include "FuzzTarget.h"

#include "config/IniText.h"

#include <cstring>

namespace {

bool HasLineBreak(const QByteArray& bytes)
{
    return bytes.contains('\n') || bytes.contains('\r');
}

bool IsBlank(char c)
{
    return c == ' ' || c == '\t';
}

bool Padded(const QByteArray& bytes)
{
    return !bytes.isEmpty() && (IsBlank(bytes.front()) || IsBlank(bytes.back()));
}

// Names and values the program itself writes: one line, no blanks around,
// no brackets or equals signs where they would end the name, not quoted.
bool Writable(const QByteArray& section, const QByteArray& key, const QByteArray& value)
{
    if (section.isEmpty() || key.isEmpty() || HasLineBreak(section) || HasLineBreak(key) || HasLineBreak(value))
        return false;
    if (Padded(section) || Padded(key) || Padded(value) || section.contains(']') || key.contains('=')
        || key.startsWith('[') || section.contains('\0') || key.contains('\0') || value.contains('\0'))
        return false;
    const bool quoted = value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front();
    return !quoted;
}

QString Show(const QByteArray& bytes)
{
    return QString::fromLatin1(bytes.toPercentEncoding(" []=;"));
}

} // namespace

VELMAR_FUZZ_TARGET(ini_text)
{
    const auto fields = FuzzFields(data, size, 6);
    const QByteArray& section = fields[0];
    const QByteArray& key = fields[1];
    const QByteArray& value = fields[2];
    const QByteArray& otherSection = fields[3];
    const QByteArray& otherKey = fields[4];
    const QByteArray& text = fields[5];

    // Any bytes: no failure, whatever is asked.
    const auto before = IniText::FindValue(text, otherSection, otherKey);
    (void)IniText::FindValue(text, section, key);
    (void)IniText::ParseInteger(QString::fromLatin1(value), 7);
    if (!Writable(section, key, value))
        return;

    const QByteArray written = IniText::SetValue(text, section, key, value);
    const auto readBack = IniText::FindValue(written, section, key);
    FUZZ_CHECK(readBack == value, Show(text) + QStringLiteral(" -> ") + Show(written));
    // Writing the same again changes nothing.
    FUZZ_CHECK(IniText::SetValue(written, section, key, value) == written, Show(written));
    // Another section's values stay.
    if (section.compare(otherSection, Qt::CaseInsensitive) != 0 && !HasLineBreak(otherSection))
        FUZZ_CHECK(IniText::FindValue(written, otherSection, otherKey) == before,
                   Show(text) + QStringLiteral(" -> ") + Show(written));
    // Lines are only ever added: a value replaced in place, or a key (and
    // its section) added.
    FUZZ_CHECK(written.count('\n') + written.count('\r') >= text.count('\n') + text.count('\r'), Show(written));
}

VELMAR_FUZZ_TARGET(ini_integer)
{
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const QString text = QString::fromLatin1(bytes);
    const int parsed = IniText::ParseInteger(text, 12345);
    (void)parsed;
    // Every integer the program writes reads back as itself.
    if (size >= 4) {
        qint32 number = 0;
        std::memcpy(&number, data, 4);
        FUZZ_CHECK(IniText::ParseInteger(QString::number(number), 12345) == number, QString::number(number));
        FUZZ_CHECK(IniText::ParseInteger(QStringLiteral("0x") + QString::number(quint32(number), 16), 12345) == number,
                   QString::number(number));
        FUZZ_CHECK(IniText::ParseInteger(QStringLiteral("$") + QString::number(quint32(number), 16).toUpper(), 1)
                       == number,
                   QString::number(number));
    }
}
