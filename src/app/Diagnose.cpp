#include "Diagnose.h"

#include "EngineStart.h"

#include "core/Global.h"
#include "engine/qt/QtBrowserEngine.h"
#include "platform/DataFolder.h"
#include "platform/Platform.h"
#include "windows/Diagnostics.h"

#include <QFileInfo>
#include <QGuiApplication>

QString DiagnosticReport(int argc, char* argv[])
{
    // The data folder as a start would find it, without making it.
    gAppDir = Platform::ExecutableFolder();
    gDataDir = ChooseDataFolder(Platform::DataFolderFacts(gAppDir), [](const QString& folder) {
                   const QFileInfo info(folder);
                   return info.isDir() && info.isWritable();
               }).Folder;

    // The display as the program's own start would choose it. The input
    // method is described from the environment as found (the report says
    // what a start would pick), so it is left as it is.
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    const QByteArray platform =
        ChosenPlatform(qgetenv("QT_QPA_PLATFORM"), qgetenv("WAYLAND_DISPLAY"), qgetenv("DISPLAY"), arguments);
    if (!platform.isEmpty())
        qputenv("QT_QPA_PLATFORM", platform);
    if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"))
        return DiagnosticReport(TQtBrowserEngine::VersionText());
    QGuiApplication app(argc, argv);
    return DiagnosticReport(TQtBrowserEngine::VersionText());
}
