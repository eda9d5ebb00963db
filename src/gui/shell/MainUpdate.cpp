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
    // Whether the updater starts or not, the program closes for it.
    if (!QProcess::startDetached(updater, {VersionManifest::HandOverText(document)}, gAppDir))
        qDebug().noquote() << QStringLiteral("Cannot start %1").arg(updater);
    FExitRequested = true;
    FClosing = true;
    FConfirmExit = false;
    QTimer::singleShot(0, this, [this] { close(); });
}
