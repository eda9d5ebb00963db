#pragma once

#include <QObject>
#include <QString>

#include <memory>

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
// client's, reports the question to ask the user.
class TVersionCheckTask : public QObject
{
    Q_OBJECT

public:
    explicit TVersionCheckTask(QObject* parent = nullptr);
    ~TVersionCheckTask() override;
    void Start();

Q_SIGNALS:
    void UpdateOffered(const QString& question);

private:
    std::shared_ptr<TTaskLink> FLink;
};
