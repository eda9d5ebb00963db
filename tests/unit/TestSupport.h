#pragma once

#include <QByteArray>
#include <QString>
#include <QDir>
#include <QTemporaryDir>

#include <functional>
#include <optional>
#include <vector>

// A scratch folder, removed with the object; Path() ends with a separator.
class TScratchDir
{
public:
    TScratchDir();
    QString Path() const { return FDir.path() + QLatin1Char('/'); }
    QString File(const QString& name) const { return Path() + name; }

private:
    QTemporaryDir FDir;
};

// Sets an environment variable for the life of the object.
class TEnvGuard
{
public:
    TEnvGuard(const char* name, const QByteArray& value);
    ~TEnvGuard();

private:
    const char* FName;
    std::optional<QByteArray> FOld;
};

// Points the program at another service host for the life of the object.
class TServiceHostOverride
{
public:
    explicit TServiceHostOverride(const QString& host);
    ~TServiceHostOverride();

private:
    const QString FOld;
};

void WriteBytes(const QString& path, const QByteArray& bytes);
QByteArray ReadBytes(const QString& path);

// Answers the shell's message boxes with Answer and records each one, for
// the life of the object.
struct TRecordedBox
{
    QString Caption;
    QString Text;
    int Flags;
};

class TMessageBoxRecorder
{
public:
    explicit TMessageBoxRecorder(int answer = 1 /* IDOK */);
    ~TMessageBoxRecorder();
    TMessageBoxRecorder(const TMessageBoxRecorder&) = delete;
    TMessageBoxRecorder& operator=(const TMessageBoxRecorder&) = delete;

    std::vector<TRecordedBox> Boxes;
    int Answer;
    std::vector<int> Answers; // answers for the next boxes in turn, before Answer
};

// Runs the event loop until done() is true or timeoutMs passed; gives done().
bool WaitUntil(const std::function<bool()>& done, int timeoutMs = 5000);

// Runs the events already queued, and those they queue in turn, a few rounds deep.
void Pump();
