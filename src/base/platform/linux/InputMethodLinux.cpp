#include "platform/InputMethod.h"

#include <QDir>
#include <QFile>
#include <QLibraryInfo>

#include <sys/stat.h>
#include <unistd.h>

namespace Platform {

TInputMethodFacts InputMethodFacts()
{
    TInputMethodFacts facts;
    facts.QtImModule = qEnvironmentVariable("QT_IM_MODULE");
    facts.PluginFolder = QLibraryInfo::path(QLibraryInfo::PluginsPath) + QLatin1String("/platforminputcontexts");
    facts.PluginFiles = QDir(facts.PluginFolder).entryList(QDir::Files, QDir::Name);
    // The user's own input-method programs (another user's do not serve this session).
    const QStringList programs = {QStringLiteral("fcitx5"), QStringLiteral("fcitx"), QStringLiteral("ibus-daemon")};
    const QStringList entries = QDir(QStringLiteral("/proc")).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString& entry : entries) {
        bool number = false;
        entry.toInt(&number);
        if (!number)
            continue;
        const QByteArray folder = QByteArray("/proc/") + entry.toLatin1();
        struct stat st = {};
        if (::stat(folder.constData(), &st) != 0 || st.st_uid != ::getuid())
            continue;
        QFile comm(QString::fromLatin1(folder + "/comm"));
        if (!comm.open(QIODevice::ReadOnly))
            continue;
        const QString name = QString::fromLocal8Bit(comm.readAll()).trimmed();
        if (programs.contains(name) && !facts.RunningPrograms.contains(name))
            facts.RunningPrograms << name;
    }
    return facts;
}

} // namespace Platform
