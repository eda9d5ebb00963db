#include "engine/Chromium.h"

QByteArray TRequestHeaders::Value(const QByteArray& name) const
{
    for (const auto& line : FLines)
        if (line.first.compare(name, Qt::CaseInsensitive) == 0)
            return line.second;
    return {};
}

void TRequestHeaders::Set(const QByteArray& name, const QByteArray& value)
{
    for (auto& line : FLines) {
        if (line.first.compare(name, Qt::CaseInsensitive) == 0) {
            line.second = value;
            return;
        }
    }
    FLines.append({name, value});
}
