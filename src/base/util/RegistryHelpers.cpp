#include "util/RegistryHelpers.h"

#include "core/Global.h"
#include "platform/Platform.h"
#include "util/AppError.h"

#include <QDir>
#include <QFileInfo>
#include <QSaveFile>

namespace {

// Quotes a path for the Exec key of a desktop entry when it needs it, so a
// folder with spaces or quotes still starts the program.
QString DesktopExecArgument(const QString& path)
{
    static const QString reserved = QStringLiteral(" \t\n\"'\\><~|&;$*?#()`");
    const bool needsQuotes = std::any_of(path.begin(), path.end(), [](QChar c) { return reserved.contains(c); });
    QString escaped = path;
    escaped.replace(QLatin1Char('%'), QStringLiteral("%%"));
    if (!needsQuotes)
        return escaped;
    QString quoted;
    for (const QChar c : escaped) {
        if (c == u'"' || c == u'`' || c == u'$' || c == u'\\')
            quoted += QLatin1Char('\\');
        quoted += c;
    }
    // Inside a desktop-entry string value every backslash is doubled again.
    quoted.replace(QLatin1Char('\\'), QStringLiteral("\\\\"));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

} // namespace

QString AutoStartEntryPath()
{
    return Platform::AutoStartFolder() + QLatin1Char('/') + QLatin1String(InstanceName) + QStringLiteral(".desktop");
}

void SetAutoStart(bool enabled)
{
    const QString folder = Platform::AutoStartFolder();
    if (!QDir().mkpath(folder))
        return;
    const QString entry = AutoStartEntryPath();
    if (!enabled) {
        QFile::remove(entry);
        return;
    }
    const QString exe = Platform::ExecutablePath();
    const QByteArray text = QStringLiteral("[Desktop Entry]\n"
                                           "Type=Application\n"
                                           "Name=%1\n"
                                           "Exec=%2\n"
                                           "Icon=%3\n"
                                           "X-GNOME-Autostart-enabled=true\n")
                                .arg(AppTitle(), DesktopExecArgument(exe), QLatin1String(DesktopEntryId))
                                .toUtf8();
    QSaveFile file(entry);
    if (!file.open(QIODevice::WriteOnly) || file.write(text) != text.size() || !file.commit())
        throw EAppError(QStringLiteral("Unable to write to %1").arg(entry));
}

QStringList GetMozillaPluginPaths()
{
    QStringList result;
    const QDir folder(Platform::UserPluginFolder());
    if (!folder.exists())
        return result;
    const QFileInfoList entries =
        folder.entryInfoList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
    for (const QFileInfo& entry : entries)
        result << (entry.isFile() ? entry.absoluteFilePath() : QString());
    return result;
}
