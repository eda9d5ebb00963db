#include "TestSupport.h"

#include "core/Global.h"
#include "widgets/AppMessageBox.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QThread>

TScratchDir::TScratchDir()
    : FDir(QDir::tempPath() + QStringLiteral("/velmar-test-XXXXXX"))
{
}

TServiceHostOverride::TServiceHostOverride(const QString& host)
    : FOld(ServiceHost())
{
    SetServiceHost(host);
}

TServiceHostOverride::~TServiceHostOverride()
{
    SetServiceHost(FOld);
}

TEnvGuard::TEnvGuard(const char* name, const QByteArray& value)
    : FName(name)
{
    if (qEnvironmentVariableIsSet(name))
        FOld = qgetenv(name);
    qputenv(name, value);
}

TEnvGuard::~TEnvGuard()
{
    if (FOld)
        qputenv(FName, *FOld);
    else
        qunsetenv(FName);
}

TMessageBoxRecorder::TMessageBoxRecorder(int answer)
    : Answer(answer)
{
    SetMessageBoxHook([this](const QString& caption, const QString& text, int flags) {
        Boxes.push_back({caption, text, flags});
        if (!Answers.empty()) {
            const int next = Answers.front();
            Answers.erase(Answers.begin());
            return next;
        }
        return Answer;
    });
}

TMessageBoxRecorder::~TMessageBoxRecorder()
{
    SetMessageBoxHook(nullptr);
}

void WriteBytes(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        file.write(bytes);
}

QByteArray ReadBytes(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool WaitUntil(const std::function<bool()>& done, int timeoutMs)
{
    QElapsedTimer timer;
    timer.start();
    while (!done() && timer.elapsed() < timeoutMs) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QThread::msleep(5);
    }
    return done();
}

void Pump()
{
    for (int i = 0; i < 3; ++i)
        QCoreApplication::processEvents();
}
