#include "util/StringList.h"

QString TStringList::Text() const
{
    qsizetype length = 0;
    for (const QString& line : FLines)
        length += line.size() + 2;
    QString text;
    text.reserve(length);
    for (const QString& line : FLines) {
        text += line;
        text += QLatin1String("\r\n");
    }
    return text;
}

void TStringList::SetText(const QString& text)
{
    FLines.clear();
    const qsizetype size = text.size();
    qsizetype start = 0;
    qsizetype i = 0;
    while (i < size) {
        const QChar c = text.at(i);
        if (c != QLatin1Char('\r') && c != QLatin1Char('\n')) {
            ++i;
            continue;
        }
        FLines.append(text.mid(start, i - start));
        ++i;
        if (c == QLatin1Char('\r') && i < size && text.at(i) == QLatin1Char('\n'))
            ++i;
        start = i;
    }
    // A final line break ends the last line; it does not open an empty one.
    if (start < size)
        FLines.append(text.mid(start));
}
