// The updater: started by the client with its hand-over word once the user
// agreed to update. Installs the package the service publishes, checked
// against the publisher's key, and starts the client again, the new version
// or, when nothing was installed, the one the user had.

#include "FormUpdate.h"
#include "UpdateSteps.h"

#include "config/ConfigFile.h"
#include "core/Global.h"
#include "platform/DataFolder.h"
#include "platform/DetachedStart.h"
#include "platform/InstanceLock.h"
#include "platform/Platform.h"
#include "service/ServiceHost.h"
#include "util/HttpFetch.h"
#include "util/Log.h"
#include "widgets/AppMessageBox.h"

#include <QApplication>
#include <QDebug>
#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QThread>

#include <chrono>
#include <memory>

namespace {

// The client hands over and then closes; its files and its lock must be
// let go before the new version starts. Waits a while, then goes on: a
// client that does not end is no reason to leave the user without the update.
void WaitForClientEnd()
{
    using namespace std::chrono_literals;
    const auto deadline = std::chrono::steady_clock::now() + 30s;
    TInstanceLock lock;
    while (lock.Create(QLatin1String(InstanceName), gDataDir) == TInstanceLock::TResult::AlreadyExists
           && std::chrono::steady_clock::now() < deadline)
        QThread::msleep(200);
    lock.Release();
}

QByteArray FetchFile(const QString& url)
{
    using namespace std::chrono_literals;
    TFetchLimits limits;
    limits.FReadTimeout = 60s;
    limits.FTotalTimeout = 30min;
    limits.FMaxBodyBytes = qsizetype(512) * 1024 * 1024;
    return FetchUrlBytes(url, limits);
}

} // namespace

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    gAppDir = Platform::ExecutableFolder();
    const TDataFolder data = ResolveDataFolder(gAppDir);
    gDataDir = data.Folder;
    if (!gDataDir.isEmpty()) {
        SetServiceHost(ConfiguredServiceHost(ConfigFilePath(), BuiltInServiceHost()));
        if (const TLogOptions logging = TConfigFile().ReadLog(); logging.Enabled)
            StartLog(DataFile(QLatin1String(LogFileName)), qint64(logging.MaxSizeKb) * 1024);
    }

    const QStringList arguments = app.arguments().mid(1);
    const std::optional<THandOver> handOver = arguments.size() == 1 ? ReadHandOver(arguments.first()) : std::nullopt;
    if (!handOver) {
        qWarning().noquote() << QStringLiteral("Update: started without a valid hand-over");
        ShowMessageBox(AppTitle(), QStringLiteral("更新程序的启动参数无效。"), MB_OK | MB_ICONSTOP);
        return 2;
    }
    qInfo().noquote() << QStringLiteral("Update: started for %1, client %2, service %3")
                             .arg(handOver->ExeName, QLatin1String(ClientVersion), ServiceHost());

    // Downloads stay private to the user and go away with the updater.
    QTemporaryDir work(QDir::temp().filePath(QStringLiteral("velmar-erp-update-XXXXXX")));
    TUpdateContext context;
    context.ServiceHost = ServiceHost();
    context.ClientVersion = QLatin1String(ClientVersion);
    context.Architecture = DebianArchitecture();
    context.Keyring = AppFile(QLatin1String(PublisherKeyringName));
    if (const QString helper = AppFile(QLatin1String(UpdateInstallerName)); QFileInfo(helper).isFile())
        context.Installer = {QStringLiteral("pkexec"), helper};
    context.WorkFolder = work.path();
    context.Fetch = FetchFile;

    TFormUpdate form;
    form.ShowStep(QStringLiteral("正在等待客户端退出……"));
    form.show();
    context.Progress = [&form](const QString& step) {
        QMetaObject::invokeMethod(&form, [&form, step] { form.ShowStep(step); }, Qt::QueuedConnection);
    };

    TUpdateOutcome outcome;
    if (!work.isValid())
        outcome.Message = QStringLiteral("无法建立临时文件夹，请检查磁盘空间。");
    const std::unique_ptr<QThread> worker(QThread::create([&context, &outcome, valid = work.isValid()] {
        WaitForClientEnd();
        if (valid)
            outcome = RunUpdate(context);
    }));
    QObject::connect(worker.get(), &QThread::finished, &app, [&] {
        form.AllowClose();
        form.hide();
        if (outcome.Current) {
            ShowMessageBox(AppTitle(), QStringLiteral("当前已是最新版本（%1）。").arg(outcome.Version),
                           MB_OK | MB_ICONINFORMATION);
        } else if (!outcome.Installed) {
            ShowMessageBox(AppTitle(), outcome.Message + QStringLiteral("\n将继续使用当前版本。"),
                           MB_OK | MB_ICONEXCLAMATION);
        }
        // The new version when one was installed, else the user's own.
        const QString client = AppFile(handOver->ExeName);
        if (!Platform::StartDetachedProcess(client, {}, gAppDir)) {
            qWarning().noquote() << QStringLiteral("Update: cannot start %1").arg(client);
            ShowMessageBox(AppTitle(), QStringLiteral("无法重新启动客户端，请从开始菜单启动。"), MB_OK | MB_ICONSTOP);
        }
        QCoreApplication::quit();
    });
    worker->start();
    const int result = QApplication::exec();
    worker->wait();
    StopLog();
    return outcome.Installed || outcome.Current ? result : 1;
}
