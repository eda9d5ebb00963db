#include "shell/Successor.h"

#include "core/Global.h"
#include "page/CacheReset.h"
#include "platform/DetachedStart.h"
#include "platform/Platform.h"
#include "service/VersionManifest.h"
#include "widgets/AppMessageBox.h"

#include <QDebug>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSaveFile>

#include <cstdlib>
#include <optional>

namespace {

TStartHook& Hook()
{
    static TStartHook hook;
    return hook;
}

std::optional<TStartCommand>& Pending()
{
    static std::optional<TStartCommand> pending;
    return pending;
}

void StartPending()
{
    if (const auto& command = Pending())
        Platform::StartDetachedProcess(command->Program, command->Arguments, command->WorkingFolder);
}

} // namespace

void SetStartWhenEndedHook(TStartHook hook)
{
    Hook() = std::move(hook);
}

void StartWhenEnded(const TStartCommand& command)
{
    if (Hook()) {
        Hook()(command);
        return;
    }
    if (Pending())
        return;
    Pending() = command;
    // Runs after main has returned, that is after the engine's shutdown.
    std::atexit(StartPending);
}

void RestartWithEmptyCache()
{
    const QString cache = DataFile(QStringLiteral("cache/"));
    for (const char* name : CookieFileNames) {
        const QString saved = DataFile(QLatin1String(name));
        QFile::remove(saved);
        QFile::copy(cache + QLatin1String(name), saved); // a missing cookie file is no error
    }
    const QString script = DataFile(QLatin1String(CacheResetScriptName));
    // Written to a new file and renamed over the old one, so a link planted
    // under the script's name is replaced, never followed.
    QSaveFile file(script);
    if (!file.open(QIODevice::WriteOnly) || file.write(CacheResetScript(gDataDir, Platform::ExecutablePath())) < 0
        || !file.commit()) {
        // The window is already closing: say why no restart follows.
        AppMessageBox(QStringLiteral("Unable to write to %1").arg(script), 0x10);
        return;
    }
    StartWhenEnded({QStringLiteral("/bin/sh"), {script}, gDataDir});
}

bool StartUpdater()
{
    const QString document = VersionManifest::HandOverDocument(QFileInfo(Platform::ExecutablePath()).fileName());
    const QString updater = AppFile(QLatin1String(UpdaterFileName));
    if (QProcess::startDetached(updater, {VersionManifest::HandOverText(document)}, gAppDir))
        return true;
    qDebug().noquote() << QStringLiteral("Cannot start %1").arg(updater);
    return false;
}
