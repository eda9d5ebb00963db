#include "windows/Diagnostics.h"

#include "config/ConfigFile.h"
#include "config/Policy.h"
#include "core/Global.h"
#include "platform/InputMethod.h"
#include "service/ServiceHost.h"
#include "util/Log.h"

#include <QFileInfo>
#include <QGuiApplication>
#include <QScreen>
#include <QSysInfo>

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

QString DiagnosticReport(const QString& engineVersion)
{
    QStringList lines;
    lines << QStringLiteral("%1 诊断信息").arg(AppTitle());
    lines << QStringLiteral("客户端版本：%1%2")
                 .arg(QLatin1String(ClientVersion), IsDemoBuild() ? QStringLiteral("（演示版）") : QString());
    lines << QStringLiteral("Qt 版本：%1（编译时 %2）").arg(QLatin1String(qVersion()), QLatin1String(QT_VERSION_STR));
    lines << QStringLiteral("浏览器引擎：%1").arg(engineVersion);
    lines << QStringLiteral("系统：%1，内核 %2，%3")
                 .arg(QSysInfo::prettyProductName(), QSysInfo::kernelVersion(), QSysInfo::currentCpuArchitecture());

    if (gDataDir.isEmpty()) {
        lines << QStringLiteral("数据文件夹：尚未建立（首次启动时建立）");
    } else {
        lines << QStringLiteral("数据文件夹：%1").arg(gDataDir);
        lines << QStringLiteral("配置文件：%1%2")
                     .arg(ConfigFilePath(), QFileInfo::exists(ConfigFilePath()) ? QString() : QStringLiteral("（不存在）"));
    }
    // Without a data folder there is no config.ini: the policy alone.
    const TConfigFile config(gDataDir.isEmpty() ? QString() : ConfigFilePath());
    const TNetworkOptions network = gDataDir.isEmpty() ? TNetworkOptions() : config.ReadNetwork();
    lines << QStringLiteral("服务地址：%1")
                 .arg(gDataDir.isEmpty() ? BuiltInServiceHost()
                                         : ConfiguredServiceHost(ConfigFilePath(), BuiltInServiceHost()));
    lines << QStringLiteral("代理：%1").arg(ProxyText(network));

    // The administrator's policy, key by key, and what it left out.
    const TPolicy& policy = config.Policy();
    if (!policy.Exists()) {
        lines << QStringLiteral("管理员策略：无（%1 不存在）").arg(policy.Path());
    } else {
        lines << QStringLiteral("管理员策略：%1，生效 %2 项").arg(policy.Path()).arg(policy.Entries().size());
        for (const TPolicyEntry& entry : policy.Entries())
            lines << QStringLiteral("  %1/%2=%3").arg(entry.Section, entry.Key, entry.Value);
        for (const QString& rejected : policy.Rejected())
            lines << QStringLiteral("  未采用：%1").arg(rejected);
    }
    // Updates: left to IT, or the updater beside the program with the
    // publisher's key it checks packages against.
    if (config.ReadUpdate().Managed) {
        lines << QStringLiteral("更新：由管理员管理（不检查新版本）");
    } else {
        const auto present = [](const QString& path) {
            return QFileInfo::exists(path) ? path : QStringLiteral("缺少（%1）").arg(path);
        };
        lines << QStringLiteral("更新：每次启动检查新版本；更新程序：%1；发布者公钥：%2")
                     .arg(present(AppFile(QLatin1String(UpdaterFileName))),
                          present(AppFile(QLatin1String(PublisherKeyringName))));
    }
    const QString log = LogPath();
    const TLogOptions logging = gDataDir.isEmpty() ? TLogOptions() : config.ReadLog();
    if (!log.isEmpty())
        lines << QStringLiteral("日志：%1").arg(log);
    else if (logging.Enabled && !gDataDir.isEmpty())
        lines << QStringLiteral("日志：已开启（%1）").arg(DataFile(QLatin1String(LogFileName)));
    else
        lines << QStringLiteral("日志：未开启（config.ini 的 [LOG] Enabled=1 或 --log-file 开启）");

    const TInputMethodFacts inputFacts = Platform::InputMethodFacts();
    lines << DescribeInputMethod(inputFacts, ChooseInputMethod(inputFacts));

    const QByteArray scale = qgetenv("QT_SCALE_FACTOR");
    if (!scale.isEmpty())
        lines << QStringLiteral("QT_SCALE_FACTOR：%1").arg(QString::fromLocal8Bit(scale));
    if (qobject_cast<QGuiApplication*>(QCoreApplication::instance())) {
        const QString platform = QGuiApplication::platformName();
        lines << QStringLiteral("显示：%1（%2）")
                     .arg(platform, qEnvironmentVariable(platform == QLatin1String("xcb") ? "DISPLAY" : "WAYLAND_DISPLAY"));
        for (const QScreen* screen : QGuiApplication::screens()) {
            lines << QStringLiteral("屏幕 %1：%2×%3 像素，缩放 %4，%5 DPI")
                         .arg(screen->name())
                         .arg(qRound(screen->size().width() * screen->devicePixelRatio()))
                         .arg(qRound(screen->size().height() * screen->devicePixelRatio()))
                         .arg(screen->devicePixelRatio())
                         .arg(qRound(screen->logicalDotsPerInch()));
        }
    } else {
        lines << QStringLiteral("显示：无（未设置 DISPLAY）");
    }
    return lines.join(QLatin1Char('\n')) + QLatin1Char('\n');
}
