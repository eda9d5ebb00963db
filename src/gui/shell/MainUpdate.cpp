// The version check and the hand-over to the updater.

#include "shell/Main.h"

#include "core/Global.h"
#include "platform/Platform.h"
#include "service/VersionManifest.h"
#include "widgets/AppMessageBox.h"

#include <QDebug>
#include <QFileInfo>
#include <QProcess>
#include <QTimer>

void TFormMain::AskForUpdate(const QString& question)
{
    if (AppMessageBox(question, MB_YESNO | MB_ICONQUESTION) != IDYES)
        return;
    const QString document = VersionManifest::HandOverDocument(QFileInfo(Platform::ExecutablePath()).fileName());
#ifdef Q_OS_WIN
    const QString updater = AppFile(QStringLiteral("Update.exe"));
#else
    const QString updater = AppFile(QStringLiteral("Update"));
#endif
    // An installation without an updater cannot update itself: say so and
    // stay open rather than close for nothing.
    if (!QProcess::startDetached(updater, {VersionManifest::HandOverText(document)}, gAppDir)) {
        qDebug().noquote() << QStringLiteral("Cannot start %1").arg(updater);
        AppMessageBox(QStringLiteral("无法启动更新程序。"), MB_OK | MB_ICONINFORMATION);
        return;
    }
    FExitRequested = true;
    FClosing = true;
    FConfirmExit = false;
    QTimer::singleShot(0, this, [this] { close(); });
}
