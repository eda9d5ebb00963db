#include "util/TextEncoding.h"

#include "util/SystemText.h"

namespace {

bool IsQueryValueChar(const char c)
{
    if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9'))
        return true;
    switch (c) {
    case '!': case '$': case '\'': case '(': case ')':
    case '*': case '-': case '.': case '@': case '_':
        return true;
    default:
        return false;
    }
}

constexpr qsizetype Base64LineLength = 76;

} // namespace

TStringList SplitToList(const QString& text, const QString& delimiter)
{
    TStringList list;
    if (delimiter.isEmpty()) {
        // Replacing an empty delimiter would put a break between every character.
        list.SetText(text);
        return list;
    }
    QString lines = text;
    lines.replace(delimiter, QStringLiteral("\r\n"), Qt::CaseSensitive);
    list.SetText(lines);
    return list;
}

QByteArray Utf8Encode(const QString& text)
{
    return text.toUtf8();
}

QByteArray EncodeQueryValue(const QByteArray& value)
{
    static constexpr char HexDigits[] = "0123456789ABCDEF";
    QByteArray result;
    result.reserve(value.size() * 3);
    for (const char c : value) {
        if (c == '\0')
            break;
        if (IsQueryValueChar(c)) {
            result += c;
        } else if (c == ' ') {
            result += '+';
        } else {
            const auto byte = static_cast<unsigned char>(c);
            result += '%';
            result += HexDigits[byte >> 4];
            result += HexDigits[byte & 0x0F];
        }
    }
    return result;
}

QString EncodeBase64Text(const QString& text)
{
    const QByteArray encoded = ToSystemText(text).toBase64();
    QByteArray result;
    result.reserve(encoded.size() + (encoded.size() / Base64LineLength + 1) * 2);
    for (qsizetype start = 0; start < encoded.size(); start += Base64LineLength) {
        const QByteArray line = encoded.mid(start, Base64LineLength);
        result += line;
        if (line.size() == Base64LineLength)
            result += "\r\n";
    }
    return QString::fromLatin1(result);
}

QString TrimControl(const QString& text)
{
    qsizetype from = 0;
    qsizetype to = text.size();
    while (from < to && text[from].unicode() <= 0x20)
        ++from;
    while (to > from && text[to - 1].unicode() <= 0x20)
        --to;
    return text.mid(from, to - from);
}
