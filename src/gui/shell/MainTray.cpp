// The tray icon and its menu: showing the window, the settings and about
// windows, the exit; and the ways this process hands over to another: logging
// in again, the cache reset and the update.

#include "shell/Main.h"

#include "core/Global.h"
#include "engine/BrowserEngine.h"
#include "page/CacheReset.h"
#include "page/LeaveGuard.h"
#include "platform/Platform.h"
#include "shell/Successor.h"
#include "widgets/AppMessageBox.h"
#include "windows/About.h"
#include "windows/Setting.h"

#include <QDebug>
#include <QAction>
#include <QMenu>
#include <QSystemTrayIcon>
#include <QTimer>

namespace {

// Modal to the main window only: the tray menu stays usable meanwhile (and
// shows the entry disabled), as it does beside a modal window on Windows.
void RunModal(QDialog& form)
{
    form.setWindowModality(Qt::WindowModal);
    form.exec();
}

} // namespace

void TFormMain::CreateTrayIcon()
{
    PopupMenu1 = new QMenu(this);
    NShowMain = PopupMenu1->addAction(QStringLiteral("显示窗口"), this, &TFormMain::NShowMainClick);
    PopupMenu1->addSeparator();
    NRelogin = PopupMenu1->addAction(QStringLiteral("重新登录"), this, &TFormMain::NReloginClick);
    NSetting = PopupMenu1->addAction(QStringLiteral("设置"), this, &TFormMain::NSettingClick);
    NSetting->setVisible(false);
    NAbout = PopupMenu1->addAction(QStringLiteral("关于"), this, &TFormMain::NAboutClick);
    PopupMenu1->addSeparator();
    NExit = PopupMenu1->addAction(QStringLiteral("退出"), this, &TFormMain::NExitClick);

    TrayIcon1 = new QSystemTrayIcon(this);
    TrayIcon1->setContextMenu(PopupMenu1);
    connect(TrayIcon1, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
        if (reason == QSystemTrayIcon::Trigger)
            NShowMainClick();
    });
}

void TFormMain::HideToTray()
{
    // Without a notification area a hidden window could never come back:
    // minimise instead, so the taskbar still leads to it.
    if (QSystemTrayIcon::isSystemTrayAvailable())
        hide();
    else
        showMinimized();
}

void TFormMain::NShowMainClick()
{
    const bool minimized = isMinimized();
    show();
    raise();
    activateWindow();
    if (minimized)
        showMaximized();
}

void TFormMain::NExitClick()
{
    FExitRequested = true;
    close();
}

void TFormMain::NReloginClick()
{
    if (AppMessageBox(QStringLiteral("确定要重新登录吗？"), MB_YESNO | MB_ICONQUESTION) != IDYES)
        return;
    // Every tab closes: a page with unsaved input may keep them.
    if (!FLeave->AskAllToLeave())
        return;
    FConfirmExit = false;
    NExitClick();
    // No arguments: the new instance starts from scratch, with a fresh
    // fingerprint and login address.
    StartWhenEnded({Platform::ExecutablePath(), {}, gAppDir});
}

void TFormMain::ClearCacheAndRestart()
{
    // Every tab closes: a page with unsaved input may keep them (the page
    // that asked for the reset is inside its own box and goes along).
    if (!FLeave->AskAllToLeave()) {
        qInfo().noquote() << QStringLiteral("Cache reset cancelled: a page kept its unsaved input");
        return;
    }
    // Taken while every view still lives: the engine writes its cookie file
    // late, and a sign-in just before the reset would be lost with it.
    FEngine.SaveCookieChanges(DataFile(QLatin1String(CookieChangesName)));
    FClosing = true;
    FExitRequested = true;
    FConfirmExit = false;
    close();
    RestartWithEmptyCache();
}

void TFormMain::AskForUpdate(const QString& question)
{
    if (AppMessageBox(question, MB_YESNO | MB_ICONQUESTION) != IDYES) {
        qInfo().noquote() << QStringLiteral("Update offered and declined");
        return;
    }
    qInfo().noquote() << QStringLiteral("Update offered and accepted; starting the updater");
    // An installation without an updater cannot update itself: say so and
    // stay open rather than close for nothing.
    if (!StartUpdater()) {
        AppMessageBox(QStringLiteral("无法启动更新程序。"), MB_OK | MB_ICONINFORMATION);
        return;
    }
    FExitRequested = true;
    FClosing = true;
    FConfirmExit = false;
    QTimer::singleShot(0, this, [this] { close(); });
}

// The windows the tray menu opens: modal, made for each showing and destroyed
// afterwards; their entry stays disabled meanwhile, so only one can be open.
void TFormMain::NAboutClick()
{
    NAbout->setEnabled(false);
    {
        TFormAbout form(FEngine, this);
        RunModal(form);
    }
    NAbout->setEnabled(true);
}

void TFormMain::NSettingClick()
{
    NSetting->setEnabled(false);
    {
        TFormSetting form(this);
        RunModal(form);
    }
    NSetting->setEnabled(true);
}
