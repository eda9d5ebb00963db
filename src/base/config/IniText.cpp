#include "config/IniText.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

namespace IniText {
namespace {

struct TLine
{
    qsizetype Start;    // first byte of the line
    qsizetype End;      // one past its last byte, line break excluded
    qsizetype BreakEnd; // one past its line break (== End on the last line without one)
};

std::vector<TLine> SplitLines(const QByteArray& text)
{
    std::vector<TLine> lines;
    qsizetype start = text.startsWith("\xEF\xBB\xBF") ? 3 : 0;
    const qsizetype size = text.size();
    qsizetype i = start;
    while (i < size) {
        const char c = text[i];
        if (c == '\r' || c == '\n') {
            qsizetype breakEnd = i + 1;
            if (c == '\r' && breakEnd < size && text[breakEnd] == '\n')
                ++breakEnd;
            lines.push_back({start, i, breakEnd});
            start = i = breakEnd;
        } else {
            ++i;
        }
    }
    if (start < size)
        lines.push_back({start, size, size});
    return lines;
}

bool IsBlank(char c)
{
    return c == ' ' || c == '\t';
}

QByteArray Trimmed(const QByteArray& text, qsizetype from, qsizetype to)
{
    while (from < to && IsBlank(text[from]))
        ++from;
    while (to > from && IsBlank(text[to - 1]))
        --to;
    return text.mid(from, to - from);
}

// Position of the first c in [from, to), or -1. Searches never run past the
// end of their line, so reading a file costs time in proportion to its size.
qsizetype IndexIn(const QByteArray& text, char c, qsizetype from, qsizetype to)
{
    if (from >= to)
        return -1;
    const void* found = std::memchr(text.constData() + from, c, static_cast<size_t>(to - from));
    return found ? static_cast<const char*>(found) - text.constData() : -1;
}

bool SameName(const QByteArray& a, const QByteArray& b)
{
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

// The section name of a "[name]" line, or nullopt for any other line.
std::optional<QByteArray> SectionName(const QByteArray& text, const TLine& line)
{
    qsizetype i = line.Start;
    while (i < line.End && IsBlank(text[i]))
        ++i;
    if (i >= line.End || text[i] != '[')
        return std::nullopt;
    const qsizetype close = IndexIn(text, ']', i + 1, line.End);
    const qsizetype nameEnd = close < 0 ? line.End : close;
    return Trimmed(text, i + 1, nameEnd);
}

// Position of the '=' of a "key=value" line whose key is key, or -1.
qsizetype KeyEquals(const QByteArray& text, const TLine& line, const QByteArray& key)
{
    const qsizetype eq = IndexIn(text, '=', line.Start, line.End);
    if (eq < 0)
        return -1;
    return SameName(Trimmed(text, line.Start, eq), key) ? eq : -1;
}

struct TLocation
{
    qsizetype SectionLine = -1; // index of the header line
    qsizetype LastLine = -1;    // last non-blank line of the section
    qsizetype KeyLine = -1;     // line of the key, or -1
    qsizetype Equals = -1;      // its '='
};

TLocation Locate(const std::vector<TLine>& lines, const QByteArray& text, const QByteArray& section,
                 const QByteArray& key)
{
    TLocation where;
    for (qsizetype n = 0; n < static_cast<qsizetype>(lines.size()); ++n) {
        const TLine& line = lines[static_cast<size_t>(n)];
        if (const auto name = SectionName(text, line)) {
            if (where.SectionLine >= 0)
                break; // only the first section of that name counts
            if (SameName(*name, section))
                where.SectionLine = where.LastLine = n;
            continue;
        }
        if (where.SectionLine < 0)
            continue;
        if (!Trimmed(text, line.Start, line.End).isEmpty())
            where.LastLine = n;
        if (where.KeyLine < 0) {
            const qsizetype eq = KeyEquals(text, line, key);
            if (eq >= 0) {
                where.KeyLine = n;
                where.Equals = eq;
            }
        }
    }
    return where;
}

QByteArray LineBreakOf(const QByteArray& text)
{
    const qsizetype at = text.indexOf('\n');
    const qsizetype cr = text.indexOf('\r');
    if (cr >= 0 && (at < 0 || cr < at))
        return (cr + 1 < text.size() && text[cr + 1] == '\n') ? QByteArray("\r\n") : QByteArray("\r");
    if (at >= 0)
        return QByteArray("\n");
#ifdef Q_OS_WIN
    return QByteArray("\r\n");
#else
    return QByteArray("\n");
#endif
}

int HexDigit(QChar c)
{
    const char16_t u = c.unicode();
    if (u >= '0' && u <= '9')
        return u - '0';
    if (u >= 'a' && u <= 'f')
        return u - 'a' + 10;
    if (u >= 'A' && u <= 'F')
        return u - 'A' + 10;
    return -1;
}

// The value of a "key=value" line whose '=' is at eq: spaces around it and
// one pair of enclosing quotes removed.
QByteArray ValueOf(const QByteArray& text, const TLine& line, qsizetype eq)
{
    QByteArray value = Trimmed(text, eq + 1, line.End);
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front())
        value = value.mid(1, value.size() - 2);
    return value;
}

} // namespace

std::optional<QByteArray> FindValue(const QByteArray& text, const QByteArray& section, const QByteArray& key)
{
    const std::vector<TLine> lines = SplitLines(text);
    const TLocation where = Locate(lines, text, section, key);
    if (where.KeyLine < 0)
        return std::nullopt;
    return ValueOf(text, lines[static_cast<size_t>(where.KeyLine)], where.Equals);
}

std::vector<std::pair<QByteArray, QByteArray>> SectionValues(const QByteArray& text, const QByteArray& section)
{
    std::vector<std::pair<QByteArray, QByteArray>> values;
    bool inside = false;
    for (const TLine& line : SplitLines(text)) {
        if (const auto name = SectionName(text, line)) {
            if (inside)
                break; // only the first section of that name counts
            inside = SameName(*name, section);
            continue;
        }
        if (!inside)
            continue;
        const qsizetype eq = IndexIn(text, '=', line.Start, line.End);
        if (eq < 0)
            continue;
        QByteArray key = Trimmed(text, line.Start, eq);
        if (key.isEmpty())
            continue;
        const bool seen = std::any_of(values.begin(), values.end(),
                                      [&key](const auto& entry) { return SameName(entry.first, key); });
        if (!seen)
            values.emplace_back(std::move(key), ValueOf(text, line, eq));
    }
    return values;
}

QByteArray RemoveValue(const QByteArray& text, const QByteArray& section, const QByteArray& key)
{
    const std::vector<TLine> lines = SplitLines(text);
    const TLocation where = Locate(lines, text, section, key);
    if (where.KeyLine < 0)
        return text;
    const TLine& line = lines[static_cast<size_t>(where.KeyLine)];
    QByteArray result = text;
    result.remove(line.Start, line.BreakEnd - line.Start);
    return result;
}

QByteArray SetValue(const QByteArray& text, const QByteArray& section, const QByteArray& key, const QByteArray& value)
{
    const std::vector<TLine> lines = SplitLines(text);
    const TLocation where = Locate(lines, text, section, key);
    const QByteArray lineBreak = LineBreakOf(text);
    QByteArray result = text;

    if (where.KeyLine >= 0) {
        const TLine& line = lines[static_cast<size_t>(where.KeyLine)];
        result.replace(where.Equals + 1, line.End - where.Equals - 1, value);
        return result;
    }
    const QByteArray entry = key + '=' + value;
    if (where.SectionLine >= 0) {
        const TLine& last = lines[static_cast<size_t>(where.LastLine)];
        if (last.BreakEnd == last.End) // last line of the file, no break yet
            result.insert(last.End, lineBreak + entry + lineBreak);
        else
            result.insert(last.BreakEnd, entry + lineBreak);
        return result;
    }
    if (!result.isEmpty() && !result.endsWith('\n') && !result.endsWith('\r'))
        result += lineBreak;
    result += '[' + section + ']' + lineBreak + entry + lineBreak;
    return result;
}

int ParseInteger(const QString& text, int defaultValue)
{
    qsizetype i = 0;
    bool negative = false;
    if (i < text.size() && (text[i] == u'-' || text[i] == u'+')) {
        negative = text[i] == u'-';
        ++i;
    }
    const QStringView rest = QStringView(text).mid(i);
    int base = 10;
    if (rest.startsWith(u'$')) {
        base = 16;
        i += 1;
    } else if (rest.size() >= 3 && (rest.startsWith(u"0x") || rest.startsWith(u"0X"))) {
        base = 16;
        i += 2;
    }
    if (i >= text.size())
        return defaultValue;
    std::uint64_t value = 0;
    const std::uint64_t limit = base == 16 ? 0xFFFFFFFFULL : (negative ? 0x80000000ULL : 0x7FFFFFFFULL);
    for (; i < text.size(); ++i) {
        const int digit = HexDigit(text[i]);
        if (digit < 0 || digit >= base)
            return defaultValue;
        value = value * static_cast<std::uint64_t>(base) + static_cast<std::uint64_t>(digit);
        if (value > limit)
            return defaultValue;
    }
    // Hexadecimal fills all 32 bits, so $FFFFFFFF reads as -1.
    const auto bits = static_cast<std::uint32_t>(value);
    const auto signedValue = static_cast<std::int32_t>(negative ? (0U - bits) : bits);
    return signedValue;
}

} // namespace IniText
