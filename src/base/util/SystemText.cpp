#include "util/SystemText.h"

#include <QStringDecoder>
#include <QStringEncoder>

QString FromSystemText(const QByteArray& bytes)
{
    QStringDecoder decoder(QStringConverter::System);
    return decoder.decode(bytes);
}

QByteArray ToSystemText(const QString& text)
{
    QStringEncoder encoder(QStringConverter::System);
    return encoder.encode(text);
}

QString FromConsoleText(const QByteArray& bytes)
{
    return FromSystemText(bytes);
}
