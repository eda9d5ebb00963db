#include "config/ConfigFile.h"
#include "config/Policy.h"
#include "widgets/AppMessageBox.h"
#include "widgets/ShutdownFlags.h"
#include "windows/Options.h"

#include "TestSupport.h"

#include <QButtonGroup>
#include <QClipboard>
#include <QGuiApplication>
#include <QLabel>
#include <QPlainTextEdit>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTreeWidget>

#include <gtest/gtest.h>

namespace {

QStringList Column(const QTreeWidget& list, int column)
{
    QStringList texts;
    for (int row = 0; row < list.topLevelItemCount(); ++row)
        texts << list.topLevelItem(row)->text(column);
    return texts;
}

TEST(OptionsWindow, ListsKeptAnswersAndTakesBackTheChosenOnes)
{
    TScratchDir dir;
    const QString ini = dir.File(QStringLiteral("config.ini"));
    const QByteArray fingerprint(64, 'a');
    WriteBytes(ini, "[PERMISSIONS]\n"
                    "geolocation@https://maps.example.com=1\n"
                    "camera@https://cam.example.com|http://127.0.0.1:8765=0\n"
                    "notifications@https://news.example.org=1\n"
                    "[CERTIFICATE_EXCEPTIONS]\n"
                    "intranet.local=" + fingerprint + "\n"
                    "broken.local=not-a-fingerprint\n");
    QStringList boxes;
    int answer = IDNO;
    SetMessageBoxHook([&](const QString&, const QString& text, int) {
        boxes << text;
        return answer;
    });
    QWidget owner;
    TShutdownFlags flags;
    TOptionsWindow options(owner, ini, flags);
    options.Show();
    TFormOptions* form = options.Window();
    ASSERT_NE(form, nullptr);
    EXPECT_EQ(Column(*form->ListPermissions, 0),
              (QStringList{"maps.example.com", "cam.example.com", "news.example.org"}));
    EXPECT_EQ(Column(*form->ListPermissions, 1), (QStringList{"（本网站）", "127.0.0.1:8765", "（本网站）"}));
    EXPECT_EQ(Column(*form->ListPermissions, 3), (QStringList{"允许", "拒绝", "允许"}));
    EXPECT_EQ(Column(*form->ListCertificates, 0), QStringList{"intranet.local"});
    EXPECT_FALSE(form->ButtonForgetPermission->isEnabled()); // nothing chosen yet

    form->ListPermissions->topLevelItem(1)->setSelected(true);
    EXPECT_TRUE(form->ButtonForgetPermission->isEnabled());
    form->ButtonForgetPermission->click();
    EXPECT_EQ(Column(*form->ListPermissions, 0), (QStringList{"maps.example.com", "news.example.org"}));
    EXPECT_FALSE(TConfigFile(ini).ReadPermission(QStringLiteral("camera@https://cam.example.com|http://127.0.0.1:8765")));

    // Everything at once is asked first; No keeps it all.
    form->ButtonForgetAllPermissions->click();
    EXPECT_EQ(boxes, QStringList{"确定要撤销全部网站权限吗？"});
    EXPECT_EQ(form->ListPermissions->topLevelItemCount(), 2);
    answer = IDYES;
    form->ButtonForgetAllPermissions->click();
    EXPECT_EQ(form->ListPermissions->topLevelItemCount(), 0);
    EXPECT_FALSE(form->ButtonForgetAllPermissions->isEnabled());
    EXPECT_TRUE(TConfigFile(ini).ReadPermissions().isEmpty());

    form->ListCertificates->topLevelItem(0)->setSelected(true);
    form->ButtonForgetCertificate->click();
    EXPECT_EQ(TConfigFile(ini).ReadCertificateException(QStringLiteral("intranet.local")), QString());
    EXPECT_EQ(form->ListCertificates->topLevelItemCount(), 0);

    // Shown again, it reads the file again: an answer given meanwhile shows.
    TConfigFile(ini).WritePermission(QStringLiteral("mouselock@https://game.example"), true);
    options.Show();
    EXPECT_EQ(options.Window(), form); // one window
    EXPECT_EQ(Column(*form->ListPermissions, 2), QStringList{"锁定鼠标指针"});

    // A file that can no longer be written is reported; the list stays as it is.
    boxes.clear();
    QFile::remove(ini);
    ASSERT_TRUE(QDir().mkpath(ini)); // a folder where the file was: unwritable
    form->ListPermissions->topLevelItem(0)->setSelected(true);
    form->ButtonForgetPermission->click();
    ASSERT_EQ(boxes.size(), 1);
    EXPECT_TRUE(boxes.first().contains(QStringLiteral("Unable to write"))) << boxes.first().toStdString();
    EXPECT_EQ(form->ListPermissions->topLevelItemCount(), 1);
    SetMessageBoxHook(nullptr);
}

TEST(OptionsWindow, TheProxyIsCheckedBeforeItIsStored)
{
    TScratchDir dir;
    const QString ini = dir.File(QStringLiteral("config.ini"));
    WriteBytes(ini, "[PROXY]\nMode=manual\nServer=proxy.corp:3128\n");
    QStringList boxes;
    SetMessageBoxHook([&](const QString&, const QString& text, int) {
        boxes << text;
        return IDOK;
    });
    TFormOptions form(ini, nullptr, nullptr);
    using M = TNetworkOptions::TProxyMode;
    EXPECT_EQ(form.GroupProxyMode->checkedId(), static_cast<int>(M::Manual));
    EXPECT_EQ(form.EditProxyServer->text(), QStringLiteral("proxy.corp:3128"));
    EXPECT_FALSE(form.EditPacUrl->isEnabled());

    // A PAC mode without an address is refused with a word; the file stays.
    form.GroupProxyMode->button(static_cast<int>(M::Pac))->click();
    EXPECT_TRUE(form.EditPacUrl->isEnabled());
    EXPECT_FALSE(form.EditProxyServer->isEnabled());
    form.ButtonSaveProxy->click();
    ASSERT_EQ(boxes.size(), 1);
    EXPECT_EQ(TConfigFile(ini).ReadNetwork().ProxyMode, M::Manual);

    form.EditPacUrl->setText(QStringLiteral("http://wpad.corp/proxy.pac"));
    form.ButtonSaveProxy->click();
    const TNetworkOptions stored = TConfigFile(ini).ReadNetwork();
    EXPECT_EQ(stored.ProxyMode, M::Pac);
    EXPECT_EQ(stored.PacUrl, QStringLiteral("http://wpad.corp/proxy.pac"));
    EXPECT_EQ(stored.ProxyServer, QStringLiteral("proxy.corp:3128")); // kept for a switch back
    ASSERT_EQ(boxes.size(), 2);
    EXPECT_TRUE(boxes[1].contains(QStringLiteral("重新启动")));
    SetMessageBoxHook(nullptr);
}

TEST(OptionsWindow, WhatTheAdministratorFixedIsShownLockedAndTheReportNamesIt)
{
    TScratchDir dir;
    const QString ini = dir.File(QStringLiteral("config.ini"));
    WriteBytes(ini, "[PROXY]\nMode=manual\nServer=user-proxy:3128\n"
                    "[PERMISSIONS]\ncamera@https://a.example=1\n");
    WriteBytes(dir.File(QStringLiteral("policy.ini")),
               "[PROXY]\nMode=direct\n[PERMISSIONS]\nnotifications@https://erp.example=0\n[UPDATE]\nManaged=1\n");
    const QString previous = gPolicyFile;
    gPolicyFile = dir.File(QStringLiteral("policy.ini"));
    int answer = IDYES;
    SetMessageBoxHook([&](const QString&, const QString&, int) { return answer; });
    {
        TFormOptions form(ini, nullptr, nullptr);
        form.SetEngineVersion(QStringLiteral("Chromium 102（安全补丁 108）"));
        form.ShowAndRaise();
        using M = TNetworkOptions::TProxyMode;
        EXPECT_EQ(form.GroupProxyMode->checkedId(), static_cast<int>(M::Direct));
        EXPECT_FALSE(form.LabelProxyLocked->isHidden()); // on its tab
        EXPECT_TRUE(form.LabelProxyLocked->text().contains(gPolicyFile));
        EXPECT_FALSE(form.ButtonSaveProxy->isEnabled());
        EXPECT_FALSE(form.GroupProxyMode->button(static_cast<int>(M::Manual))->isEnabled());
        EXPECT_FALSE(form.EditProxyServer->isEnabled());

        // The administrator's answer is listed but cannot be taken back.
        ASSERT_EQ(form.ListPermissions->topLevelItemCount(), 2);
        EXPECT_EQ(Column(*form.ListPermissions, 3),
                  (QStringList{QStringLiteral("拒绝（管理员设定）"), QStringLiteral("允许")}));
        EXPECT_FALSE(form.ListPermissions->topLevelItem(0)->flags() & Qt::ItemIsSelectable);
        form.ButtonForgetAllPermissionsClick();
        EXPECT_EQ(Column(*form.ListPermissions, 3), QStringList{QStringLiteral("拒绝（管理员设定）")});

        // The report names the engine and the policy; one click copies it.
        const QString report = form.TextDiagnostics->toPlainText();
        EXPECT_TRUE(report.contains(QStringLiteral("浏览器引擎：Chromium 102（安全补丁 108）")));
        EXPECT_TRUE(report.contains(QStringLiteral("管理员策略：%1，生效 3 项").arg(gPolicyFile))) << report.toStdString();
        EXPECT_TRUE(report.contains(QStringLiteral("更新：由管理员管理（不检查新版本）")));
        EXPECT_TRUE(report.contains(QStringLiteral("PROXY/Mode=direct")));
        form.ButtonCopyDiagnostics->click();
        EXPECT_EQ(QGuiApplication::clipboard()->text(), report);
    }
    SetMessageBoxHook(nullptr);
    gPolicyFile = previous;
}

} // namespace
