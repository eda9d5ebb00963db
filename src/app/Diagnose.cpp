#include "Diagnose.h"

#include "EngineStart.h"

#include "config/ConfigFile.h"
#include "core/Global.h"
#include "platform/DataFolder.h"
#include "platform/InputMethod.h"
#include "platform/Platform.h"
#include "service/ServiceHost.h"

#include <QFileInfo>
#include <QGuiApplication>
#include <QScreen>
#include <QSysInfo>
#include <QtWebEngineCore/qtwebenginecoreglobal.h>

#include <optional>

namespace {

QString ProxyText(const TNetworkOptions& network)
{
    using Mode = TNetworkOptions::TProxyMode;
    switch (network.ProxyMode) {
    case Mode::Direct:
        return QStringLiteral("direct（不用代理）");
    case Mode::Manual:
        return QStringLiteral("manual（%1）").arg(network.ProxyServer);
    case Mode::Pac:
        return QStringLiteral("pac（%1）").arg(network.PacUrl);
    case Mode::System:
        break;
    }
    return QStringLiteral("system（按桌面的设置）");
}

} // namespace

QString DiagnosticReport(int argc, char* argv[])
{
    QStringList lines;
    lines << QStringLiteral("%1 诊断信息").arg(AppTitle());
    lines << QStringLiteral("客户端版本：%1%2")
                 .arg(QLatin1String(ClientVersion),
                      IsDemoBuild() ? QStringLiteral("（演示版）") : QString());
    lines << QStringLiteral("Qt 版本：%1（编译时 %2）").arg(QLatin1String(qVersion()), QLatin1String(QT_VERSION_STR));
    lines << QStringLiteral("浏览器引擎：Chromium %1（安全补丁 %2）")
                 .arg(QLatin1String(qWebEngineChromiumVersion()), QLatin1String(qWebEngineChromiumSecurityPatchVersion()));
    lines << QStringLiteral("系统：%1，内核 %2，%3")
                 .arg(QSysInfo::prettyProductName(), QSysInfo::kernelVersion(), QSysInfo::currentCpuArchitecture());

    // The data folder as a start would find it, without making it.
    gAppDir = Platform::ExecutableFolder();
    const TDataFolder data = ChooseDataFolder(Platform::DataFolderFacts(gAppDir), [](const QString& folder) {
        const QFileInfo info(folder);
        return info.isDir() && info.isWritable();
    });
    gDataDir = data.Folder;
    if (gDataDir.isEmpty()) {
        lines << QStringLiteral("数据文件夹：尚未建立（首次启动时建立）");
    } else {
        lines << QStringLiteral("数据文件夹：%1").arg(gDataDir);
        lines << QStringLiteral("配置文件：%1%2")
                     .arg(ConfigFilePath(), QFileInfo::exists(ConfigFilePath()) ? QString() : QStringLiteral("（不存在）"));
    }
    const TNetworkOptions network = gDataDir.isEmpty() ? TNetworkOptions() : TConfigFile().ReadNetwork();
    lines << QStringLiteral("服务地址：%1")
                 .arg(gDataDir.isEmpty() ? BuiltInServiceHost()
                                         : ConfiguredServiceHost(ConfigFilePath(), BuiltInServiceHost()));
    lines << QStringLiteral("代理：%1").arg(ProxyText(network));

    const TInputMethodFacts inputFacts = Platform::InputMethodFacts();
    const TInputMethodChoice input = ChooseInputMethod(inputFacts);
    lines << DescribeInputMethod(inputFacts, input);

    // The display and its scale, as the program's own start would see them.
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    const QByteArray platform =
        ChosenPlatform(qgetenv("QT_QPA_PLATFORM"), qgetenv("WAYLAND_DISPLAY"), qgetenv("DISPLAY"), arguments);
    if (!platform.isEmpty())
        qputenv("QT_QPA_PLATFORM", platform);
    if (input.Chosen)
        qputenv("QT_IM_MODULE", input.Module.toUtf8());
    const QByteArray scale = qgetenv("QT_SCALE_FACTOR");
    if (!scale.isEmpty())
        lines << QStringLiteral("QT_SCALE_FACTOR：%1").arg(QString::fromLocal8Bit(scale));
    if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")) {
        lines << QStringLiteral("显示：无（未设置 DISPLAY）");
    } else {
        QGuiApplication app(argc, argv);
        lines << QStringLiteral("显示：%1（%2）")
                     .arg(QGuiApplication::platformName(),
                          qEnvironmentVariable(QGuiApplication::platformName() == QLatin1String("xcb") ? "DISPLAY"
                                                                                                      : "WAYLAND_DISPLAY"));
        for (const QScreen* screen : QGuiApplication::screens()) {
            lines << QStringLiteral("屏幕 %1：%2×%3 像素，缩放 %4，%5 DPI")
                         .arg(screen->name())
                         .arg(qRound(screen->size().width() * screen->devicePixelRatio()))
                         .arg(qRound(screen->size().height() * screen->devicePixelRatio()))
                         .arg(screen->devicePixelRatio())
                         .arg(qRound(screen->logicalDotsPerInch()));
        }
    }
    return lines.join(QLatin1Char('\n')) + QLatin1Char('\n');
}
