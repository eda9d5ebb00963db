#include "page/CacheReset.h"

#include <QFile>

namespace {

// An absolute path, or one that starts with "./", so no command ever takes
// it for an option.
QByteArray SafePath(const QString& path)
{
    QByteArray bytes = QFile::encodeName(path);
    if (!bytes.startsWith('/'))
        bytes.prepend("./");
    return bytes;
}

} // namespace

QByteArray ShellQuote(const QByteArray& bytes)
{
    // Inside single quotes everything is literal but the single quote itself,
    // which closes the quote, is written escaped and opens it again.
    QByteArray quoted = "'";
    for (const char c : bytes) {
        if (c == '\'')
            quoted += "'\\''";
        else
            quoted += c;
    }
    quoted += '\'';
    return quoted;
}

QByteArray CacheResetScript(const QString& appDir, const QString& executable)
{
    QString dir = appDir;
    while (dir.size() > 1 && dir.endsWith(QLatin1Char('/')))
        dir.chop(1);
    const QByteArray dirBytes = SafePath(dir);
    const QByteArray cacheBytes = dirBytes == "/" ? QByteArray("/cache") : dirBytes + "/cache";

    QByteArray script;
    script += "#!/bin/sh\n";
    script += "# Empties the engine cache but keeps its cookies, then starts the program again.\n";
    script += "dir=" + ShellQuote(dirBytes) + "\n";
    script += "cache=" + ShellQuote(cacheBytes) + "\n";
    script += "exe=" + ShellQuote(SafePath(executable)) + "\n";
    script += "sleep 2\n";
    // A cache folder that is a link leads elsewhere: leave it alone.
    script += "if [ -d \"$cache\" ] && [ ! -L \"$cache\" ]; then\n";
    // The engine writes its cookie store fully only when it shuts down, so
    // the copies are taken again now that the program has ended.
    for (const char* name : CookieFileNames)
        script += QByteArray("  [ -L \"$cache/") + name + "\" ] || cp -f -- \"$cache/" + name + "\" \"$dir/" + name
                  + "\" 2>/dev/null\n";
    // Regular files only, found without following any link: sub-folders
    // stay, and links (and what they point at) are not touched.
    script += "  find \"$cache\" -mindepth 1 -type f -exec rm -f -- {} + 2>/dev/null\n";
    // A copy is removed only once it is back in place: when putting it back
    // fails (disk full, permissions) it is the only login left.
    for (const char* name : CookieFileNames)
        script += QByteArray("  if [ -f \"$dir/") + name + "\" ] && [ ! -e \"$cache/" + name + "\" ] && [ ! -L \"$cache/"
                  + name + "\" ]; then\n    cp -f -- \"$dir/" + name + "\" \"$cache/" + name
                  + "\" 2>/dev/null && rm -f -- \"$dir/" + name + "\"\n  fi\n";
    script += "fi\n";
    script += "exec \"$exe\"\n";
    return script;
}
