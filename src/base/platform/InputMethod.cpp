#include "platform/InputMethod.h"

namespace {

struct TKnownModule
{
    const char* Module;  // as QT_IM_MODULE names it
    const char* Plugin;  // its plug-in file
    const char* Program; // the input-method program behind it
    const char* Package; // the Debian package with the plug-in
};

constexpr TKnownModule KnownModules[] = {
    {"fcitx", "libfcitx5platforminputcontextplugin.so", "fcitx5", "fcitx5-frontend-qt6"},
    {"fcitx5", "libfcitx5platforminputcontextplugin.so", "fcitx5", "fcitx5-frontend-qt6"},
    {"ibus", "libibusplatforminputcontextplugin.so", "ibus-daemon", "libqt6gui6"},
    {"compose", "libcomposeplatforminputcontextplugin.so", "", "libqt6gui6"},
    {"xim", "libcomposeplatforminputcontextplugin.so", "", "libqt6gui6"},
};

const TKnownModule* Known(const QString& module)
{
    for (const TKnownModule& known : KnownModules) {
        if (module.compare(QLatin1String(known.Module), Qt::CaseInsensitive) == 0)
            return &known;
    }
    return nullptr;
}

} // namespace

QString InputMethodPluginFile(const QString& module, const QStringList& files)
{
    if (module.isEmpty())
        return {};
    if (const TKnownModule* known = Known(module))
        return files.contains(QLatin1String(known->Plugin)) ? QString::fromLatin1(known->Plugin) : QString();
    // Another module: plug-ins are named lib<module>platforminputcontextplugin.so.
    const QString name = QStringLiteral("lib%1platforminputcontextplugin.so").arg(module.toLower());
    return files.contains(name) ? name : QString();
}

TInputMethodChoice ChooseInputMethod(const TInputMethodFacts& facts)
{
    TInputMethodChoice choice;
    const QString named = facts.QtImModule.trimmed();
    if (!named.isEmpty()) {
        choice.Module = named;
    } else {
        choice.Module = QStringLiteral("compose");
        for (const char* module : {"fcitx", "ibus"}) {
            const TKnownModule* known = Known(QLatin1String(module));
            if (facts.RunningPrograms.contains(QLatin1String(known->Program))
                && facts.PluginFiles.contains(QLatin1String(known->Plugin))) {
                choice.Module = QLatin1String(module);
                choice.Chosen = true;
                break;
            }
        }
    }
    choice.PluginFile = InputMethodPluginFile(choice.Module, facts.PluginFiles);
    return choice;
}

QStringList DescribeInputMethod(const TInputMethodFacts& facts, const TInputMethodChoice& choice)
{
    QStringList lines;
    const QString source = choice.Chosen ? QStringLiteral("（环境未指定，按正在运行的输入法选用）")
                           : facts.QtImModule.trimmed().isEmpty() ? QStringLiteral("（环境未指定 QT_IM_MODULE）")
                                                                  : QStringLiteral("（QT_IM_MODULE）");
    lines << QStringLiteral("输入法模块：%1%2").arg(choice.Module, source);
    const TKnownModule* known = Known(choice.Module);
    if (!choice.PluginFile.isEmpty())
        lines << QStringLiteral("输入法插件：已安装（%1/%2）").arg(facts.PluginFolder, choice.PluginFile);
    else if (known)
        lines << QStringLiteral("输入法插件：未安装，请安装软件包 %1").arg(QLatin1String(known->Package));
    else
        lines << QStringLiteral("输入法插件：未找到（%1 中没有此模块的插件）").arg(facts.PluginFolder);
    lines << QStringLiteral("正在运行的输入法程序：%1")
                 .arg(facts.RunningPrograms.isEmpty() ? QStringLiteral("无") : facts.RunningPrograms.join(QStringLiteral("、")));
    if (choice.Module.compare(QLatin1String("compose"), Qt::CaseInsensitive) == 0
        || choice.Module.compare(QLatin1String("xim"), Qt::CaseInsensitive) == 0)
        lines << QStringLiteral("提示：当前不经过输入法，无法输入中文；请启动 fcitx5 或 IBus，"
                                "或设置 QT_IM_MODULE=fcitx 或 QT_IM_MODULE=ibus。");
    return lines;
}
