#include "platform/SecretStore.h"

#include <qt6keychain/keychain.h>

#include <QDebug>
#include <QEventLoop>
#include <QTimer>

namespace {

constexpr int StoreTimeoutMs = 10000;
const QString ServiceName = QStringLiteral("velmar-erp");

// Runs job to its end, or gives up after the time allowed (the job then
// finishes on its own and deletes itself).
bool Run(QKeychain::Job& job)
{
    QEventLoop loop;
    bool finished = false;
    QObject::connect(&job, &QKeychain::Job::finished, &loop, [&] {
        finished = true;
        loop.quit();
    });
    QTimer::singleShot(StoreTimeoutMs, &loop, &QEventLoop::quit);
    job.start();
    if (!finished)
        loop.exec(QEventLoop::ExcludeUserInputEvents);
    if (!finished)
        qDebug().noquote() << QStringLiteral("The desktop's secret store did not answer in time");
    return finished;
}

class TKeychainStore final : public TSecretStore
{
public:
    std::optional<QString> Read(const QString& key) override
    {
        auto* job = new QKeychain::ReadPasswordJob(ServiceName);
        job->setAutoDelete(true);
        job->setInsecureFallback(false); // never a file in clear text
        job->setKey(key);
        if (!Run(*job))
            return std::nullopt;
        if (job->error() != QKeychain::NoError) {
            if (job->error() != QKeychain::EntryNotFound)
                qDebug().noquote() << QStringLiteral("Secret store: %1").arg(job->errorString());
            return std::nullopt;
        }
        return job->textData();
    }

    bool Write(const QString& key, const QString& secret) override
    {
        auto* job = new QKeychain::WritePasswordJob(ServiceName);
        job->setAutoDelete(true);
        job->setInsecureFallback(false);
        job->setKey(key);
        job->setTextData(secret);
        if (!Run(*job))
            return false;
        if (job->error() != QKeychain::NoError) {
            qDebug().noquote() << QStringLiteral("Secret store: %1").arg(job->errorString());
            return false;
        }
        return true;
    }

    void Remove(const QString& key) override
    {
        auto* job = new QKeychain::DeletePasswordJob(ServiceName);
        job->setAutoDelete(true);
        job->setInsecureFallback(false);
        job->setKey(key);
        Run(*job);
    }
};

} // namespace

std::unique_ptr<TSecretStore> NewDesktopSecretStore()
{
    return std::make_unique<TKeychainStore>();
}
