#pragma once

#include <QObject>
#include <QString>

#include <chrono>
#include <memory>

class TTaskGate;
class TTaskLink;

// The two things the shell asks of the service in the background, once per
// start. Each runs on a low-priority worker of its own and reports back on
// the main thread through a signal, if the task object still exists then.
// Workers are detached threads: one still running when the program ends
// ends with it and touches nothing.

// Gathers this machine's identity and builds the login address.
class TLoginAddressTask : public QObject
{
    Q_OBJECT

public:
    explicit TLoginAddressTask(QObject* parent = nullptr);
    ~TLoginAddressTask() override;
    void Start();

Q_SIGNALS:
    void LoginAddressReady(const QString& address);

private:
    std::shared_ptr<TTaskLink> FLink;
};

// Asks the service for the published version; when it differs from this
// client's, reports the question to ask the user. The worker starts with
// Start() but asks only after Release(), or once the hold limit has passed:
// while the login page is on its way, loading the transfer library and
// asking would compete with it for the processor.
class TVersionCheckTask : public QObject
{
    Q_OBJECT

public:
    static constexpr std::chrono::milliseconds HoldLimit{10000};

    explicit TVersionCheckTask(QObject* parent = nullptr, std::chrono::milliseconds holdLimit = HoldLimit);
    ~TVersionCheckTask() override;
    void Start();
    void Release();

Q_SIGNALS:
    void UpdateOffered(const QString& question);

private:
    std::shared_ptr<TTaskLink> FLink;
    std::shared_ptr<TTaskGate> FGate;
    const std::chrono::milliseconds FHoldLimit;
};
