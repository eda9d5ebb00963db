#include "config/SettingValues.h"

#include <algorithm>

QString NormalizedFingerprint(const QString& text)
{
    QString hex = text.trimmed().toLower();
    hex.remove(QLatin1Char(':'));
    if (hex.size() != 64)
        return {};
    for (const QChar c : hex)
        if (!((c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'f')))
            return {};
    return hex;
}

bool IsSwitchValue(const QString& value)
{
    return std::none_of(value.cbegin(), value.cend(), [](QChar c) {
        return c.isSpace() || c == u'"' || c == u'\'' || c == u'\\' || c.unicode() < 0x20;
    });
}
