// Process entry: the start-up in its fixed order.

#include "CommandLine.h"
#include "Diagnose.h"
#include "EngineStart.h"
#include "SingleInstance.h"

#include "config/ConfigFile.h"
#include "config/Policy.h"
#include "core/Global.h"
#include "engine/qt/QtBrowserEngine.h"
#include "page/CacheReset.h"
#include "platform/DataFolder.h"
#include "platform/InputMethod.h"
#include "platform/Platform.h"
#include "platform/ShellMessage.h"
#include "service/ServiceHost.h"
#include "shell/Main.h"
#include "shell/ShellMessages.h"
#include "util/EnvironmentOverride.h"
#include "util/Log.h"
#include "widgets/AppMessageBox.h"

#include <QApplication>
#include <QDebug>
#include <QDir>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

#include <cstdio>

int main(int argc, char* argv[])
{
    // Asked only for the version or the usage: answer before anything starts
    // or is written.
    if (const std::optional<QByteArray> answer = CommandLineAnswer(argc, argv)) {
        std::fputs(answer->constData(), stdout);
        return 0;
    }
    if (DiagnoseRequested(argc, argv)) {
        std::fputs(DiagnosticReport(argc, argv).toUtf8().constData(), stdout);
        return 0;
    }

    // 1. Process-wide values and the engine's start options.
    gAppDir = Platform::ExecutableFolder();
    const TDataFolder data = ResolveDataFolder(gAppDir);
    gDataDir = data.Folder;
    TSecurityOptions security;
    TNetworkOptions network;
    if (!gDataDir.isEmpty()) {
        SetServiceHost(ConfiguredServiceHost(ConfigFilePath(), BuiltInServiceHost()));
        security = TConfigFile().ReadSecurity();
        network = TConfigFile().ReadNetwork();
    }
    TLogOptions logging;
    if (!gDataDir.isEmpty())
        logging = TConfigFile().ReadLog();
    // The support log, when configured or asked for: from here on it holds
    // every message of the program.
    if (const std::optional<QString> logFile = LogFileArgument(argc, argv))
        StartLog(*logFile, qint64(logging.MaxSizeKb) * 1024);
    else if (logging.Enabled && !gDataDir.isEmpty())
        StartLog(DataFile(QLatin1String(LogFileName)), qint64(logging.MaxSizeKb) * 1024);
    if (!LogPath().isEmpty()) {
        qInfo().noquote() << QStringLiteral("Start: VelmarERP %1, Qt %2, data folder %3, service %4, policy %5 (%6)")
                                 .arg(QLatin1String(ClientVersion), QLatin1String(qVersion()), gDataDir, ServiceHost(),
                                      gPolicyFile,
                                      TPolicy::Current()->Exists()
                                          ? QStringLiteral("%1 keys fixed").arg(TPolicy::Current()->Entries().size())
                                          : QStringLiteral("none"));
    }
    TPolicy::Current()->Report();
    TEngineSettings settings = BuildEngineSettings(gDataDir, Platform::IsRunningAsRoot(), security, network);
    settings.LogPageErrors = logging.ConsoleErrors && !LogPath().isEmpty();
    // What the engine and the toolkit read from the environment at start;
    // programs started later (the desktop's opener, the updater, this
    // program again) get the user's own environment back.
    TEnvironmentOverride startEnvironment;
    TQtBrowserEngine::PrepareProcess(settings, startEnvironment);

    // 2. Engine start, on X11 where a second start can reach this one.
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    if (const QByteArray platform =
            ChosenPlatform(qgetenv("QT_QPA_PLATFORM"), qgetenv("WAYLAND_DISPLAY"), qgetenv("DISPLAY"), arguments);
        !platform.isEmpty())
        startEnvironment.Set("QT_QPA_PLATFORM", platform);
    // A desktop that runs fcitx5 or IBus but names no module for this
    // toolkit would leave the pages without Chinese input.
    if (qEnvironmentVariableIsEmpty("QT_IM_MODULE")) {
        if (const TInputMethodChoice input = ChooseInputMethod(Platform::InputMethodFacts()); input.Chosen) {
            qInfo().noquote() << QStringLiteral("Input method: %1 (running, named by no QT_IM_MODULE)").arg(input.Module);
            startEnvironment.Set("QT_IM_MODULE", input.Module.toUtf8());
        }
    }
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    app.setQuitOnLastWindowClosed(false); // the window hides to the tray; only an exit ends the loop
    // Task bars group the windows with the installed desktop entry.
    QGuiApplication::setDesktopFileName(QLatin1String(DesktopEntryId));
    // The toolkit's own texts (the engine's menu entries, file dialogs) in
    // the program's language.
    QTranslator baseTexts;
    QTranslator engineTexts;
    const QString translations = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
    const QLocale locale(settings.Locale);
    if (baseTexts.load(locale, QStringLiteral("qtbase"), QStringLiteral("_"), translations))
        QCoreApplication::installTranslator(&baseTexts);
    if (engineTexts.load(locale, QStringLiteral("qtwebengine"), QStringLiteral("_"), translations))
        QCoreApplication::installTranslator(&engineTexts);
    if (gDataDir.isEmpty()) {
        // Nowhere to keep settings and cache: say where it failed rather
        // than write anywhere else.
        ShowMessageBox(AppTitle(), data.Problem, MB_OK | 0x10);
        return 1;
    }
    if (const QString error = TQtBrowserEngine::CheckAvailable(); !error.isEmpty()) {
        ShowMessageBox(AppTitle(), error, MB_OK | 0x10);
        return 1;
    }

    // 3. Plug-ins, built in every browser process.
    const QStringList plugins = BuildPluginPaths(gAppDir);

    // 4. One instance per data folder. This comes before the engine's profile
    // is opened, so a second start never touches the running instance's cache.
    const TInstanceRole role =
        CheckSingleInstance(gInstanceMutex, QLatin1String(InstanceName), gDataDir, ConfigFilePath(),
                            [](qint64 handle) { ShellMessage::Post(handle, WM_SHELL_ACTIVATE); });
    if (role == TInstanceRole::HandedOver)
        return 0;
    if (role == TInstanceRole::Failed) {
        ShowMessageBox(AppTitle(),
                       QStringLiteral("无法在数据文件夹中创建程序锁文件，程序无法启动：\n%1")
                           .arg(QDir::toNativeSeparators(gDataDir + QLatin1String(InstanceName) + QLatin1String(".lock"))),
                       MB_OK | 0x10);
        return 1;
    }

    // 5. The user interface, with the engine's profile behind every view.
    TQtBrowserEngine engine(settings);
    engine.RegisterPluginPaths(plugins);
    // Cookies a cache reset carried over, back before the first page asks.
    engine.RestoreCookieChanges(DataFile(QLatin1String(CookieChangesName)));
    int exitCode = 0;
    {
        TFormMain formMain(engine);
        // The engine has read its options with the first page.
        startEnvironment.Restore();
        formMain.ShowInitialState();
        exitCode = app.exec();
    }
    // 6. The window is gone (and with it the lock); the engine shuts down last.
    qInfo().noquote() << QStringLiteral("End: exit code %1").arg(exitCode);
    return exitCode;
}
