#include "platform/InputMethod.h"

#include <gtest/gtest.h>

namespace {

const QString Fcitx = QStringLiteral("libfcitx5platforminputcontextplugin.so");
const QString Ibus = QStringLiteral("libibusplatforminputcontextplugin.so");
const QString Compose = QStringLiteral("libcomposeplatforminputcontextplugin.so");

struct TChoiceCase
{
    const char* Name;
    QString Environment;
    QStringList Plugins;
    QStringList Running;
    QString Module;
    bool Chosen;
    QString Plugin;
};

TEST(InputMethodTest, ChoosesTheNamedModuleOrARunningOneWhosePluginIsThere)
{
    const TChoiceCase cases[] = {
        {"named fcitx", "fcitx", {Compose, Fcitx, Ibus}, {"ibus-daemon"}, "fcitx", false, Fcitx},
        {"named fcitx5 spelling", "fcitx5", {Fcitx}, {}, "fcitx5", false, Fcitx},
        {"named ibus, plug-in missing", "ibus", {Compose}, {"ibus-daemon"}, "ibus", false, ""},
        {"named with blanks", " ibus ", {Ibus}, {}, "ibus", false, Ibus},
        {"named other module", "uim", {"libuimplatforminputcontextplugin.so"}, {}, "uim", false,
         "libuimplatforminputcontextplugin.so"},
        {"none named, fcitx5 runs", "", {Compose, Fcitx, Ibus}, {"fcitx5"}, "fcitx", true, Fcitx},
        {"none named, ibus runs", "", {Compose, Fcitx, Ibus}, {"ibus-daemon"}, "ibus", true, Ibus},
        {"none named, both run: fcitx5 first", "", {Fcitx, Ibus}, {"ibus-daemon", "fcitx5"}, "fcitx", true, Fcitx},
        {"none named, fcitx5 runs without its plug-in", "", {Compose, Ibus}, {"fcitx5"}, "compose", false, Compose},
        {"none named, nothing runs", "", {Compose, Fcitx, Ibus}, {}, "compose", false, Compose},
    };
    for (const TChoiceCase& c : cases) {
        const TInputMethodChoice choice = ChooseInputMethod({c.Environment, "/plugins", c.Plugins, c.Running});
        EXPECT_EQ(choice.Module, c.Module) << c.Name;
        EXPECT_EQ(choice.Chosen, c.Chosen) << c.Name;
        EXPECT_EQ(choice.PluginFile, c.Plugin) << c.Name;
    }
}

TEST(InputMethodTest, TheReportNamesAMissingPluginsPackageAndTypingWithoutAnInputMethod)
{
    const TInputMethodFacts missing{"fcitx", "/plugins", {Compose}, {"fcitx5"}};
    const QString text = DescribeInputMethod(missing, ChooseInputMethod(missing)).join('\n');
    EXPECT_TRUE(text.contains(QStringLiteral("输入法模块：fcitx（QT_IM_MODULE）"))) << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("未安装，请安装软件包 fcitx5-frontend-qt6"))) << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("正在运行的输入法程序：fcitx5"))) << text.toStdString();

    const TInputMethodFacts none{"", "/plugins", {Compose, Fcitx}, {}};
    const QString plain = DescribeInputMethod(none, ChooseInputMethod(none)).join('\n');
    EXPECT_TRUE(plain.contains(QStringLiteral("已安装（/plugins/libcomposeplatforminputcontextplugin.so）")))
        << plain.toStdString();
    EXPECT_TRUE(plain.contains(QStringLiteral("无法输入中文"))) << plain.toStdString();

    const TInputMethodFacts chosen{"", "/plugins", {Ibus}, {"ibus-daemon"}};
    const QString picked = DescribeInputMethod(chosen, ChooseInputMethod(chosen)).join('\n');
    EXPECT_TRUE(picked.contains(QStringLiteral("输入法模块：ibus（环境未指定，按正在运行的输入法选用）")))
        << picked.toStdString();
    EXPECT_FALSE(picked.contains(QStringLiteral("无法输入中文"))) << picked.toStdString();
}

} // namespace
