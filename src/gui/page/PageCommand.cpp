#include "page/PageCommand.h"

TPageCommand ParsePageCommand(const QString& text)
{
    TPageCommand result;
    const QLatin1String prefix(PageCommandPrefix);
    if (!text.startsWith(prefix, Qt::CaseSensitive))
        return result;
    result.Kind = TPageCommandKind::EngineOwn;
    const qsizetype colon = text.indexOf(QLatin1Char(':'), prefix.size());
    if (colon < 0)
        return result;
    result.Command = text.mid(prefix.size(), colon - prefix.size());
    result.Argument = text.mid(colon + 1);
    if (result.Command == QLatin1String("CLEAR_CACHE"))
        result.Kind = TPageCommandKind::ClearCache;
    else if (result.Command == QLatin1String("RELOGIN"))
        result.Kind = TPageCommandKind::Relogin;
    return result;
}
