#include "page/ImageSaveName.h"

TImageSaveName ImageSaveName(const QString& url)
{
    QString path = url;
    path.replace(QLatin1Char('/'), QLatin1Char('\\'));
    const qsizetype nameStart = qMax(path.lastIndexOf(QLatin1Char('\\')), path.lastIndexOf(QLatin1Char(':'))) + 1;
    const qsizetype dot = path.lastIndexOf(QLatin1Char('.'));

    TImageSaveName result;
    result.FileName = path.mid(nameStart);
    if (dot >= nameStart)
        result.DefaultExt = path.mid(dot);
    result.Filter = QStringLiteral("*%1|*%1").arg(result.DefaultExt);
    return result;
}
