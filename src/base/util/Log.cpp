#include "util/Log.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMutex>
#include <QRegularExpression>

#include <cstdio>

namespace {

struct TLogState
{
    QMutex Mutex;
    QFile File;
    qint64 MaxBytes = 0;
    QtMessageHandler Previous = nullptr;
    bool Installed = false;
};

TLogState& State()
{
    static TLogState state;
    return state;
}

char LevelLetter(QtMsgType type)
{
    switch (type) {
    case QtDebugMsg: return 'D';
    case QtInfoMsg: return 'I';
    case QtWarningMsg: return 'W';
    case QtCriticalMsg: return 'E';
    case QtFatalMsg: return 'F';
    }
    return '?';
}

// Moves a full log aside; called with the mutex held.
void Rotate(TLogState& state)
{
    const QString path = state.File.fileName();
    state.File.close();
    QFile::remove(path + QLatin1String(".1"));
    QFile::rename(path, path + QLatin1String(".1"));
    if (state.File.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Text))
        state.File.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
}

void WriteMessage(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    TLogState& state = State();
    {
        const QMutexLocker lock(&state.Mutex);
        if (state.File.isOpen()) {
            const QByteArray line = QStringLiteral("%1 [%2] %3\n")
                                        .arg(QDateTime::currentDateTime().toString(Qt::ISODateWithMs),
                                             QChar::fromLatin1(LevelLetter(type)), ScrubLogLine(message))
                                        .toUtf8();
            if (state.File.size() + line.size() > state.MaxBytes)
                Rotate(state);
            state.File.write(line);
            state.File.flush();
        }
    }
    if (state.Previous)
        state.Previous(type, context, message);
    else
        std::fprintf(stderr, "%s\n", qUtf8Printable(qFormatLogMessage(type, context, message)));
}

} // namespace

QString ScrubLogLine(const QString& line)
{
    // An address's query and fragment (the fingerprint, session ids).
    static const QRegularExpression query(QStringLiteral(R"(((?:https?|wss?|ftp)://[^\s?#"'<>]*)[?#][^\s"'<>]*)"),
                                          QRegularExpression::CaseInsensitiveOption);
    // name=value or name: value of anything secret.
    static const QRegularExpression secret(
        QStringLiteral(R"(\b(password|passwd|pwd|passphrase|secret|token|cookie|set-cookie|authorization|proxy-authorization)(\s*[:=]\s*)("[^"]*"|\S+))"),
        QRegularExpression::CaseInsensitiveOption);
    QString scrubbed = line;
    scrubbed.replace(query, QStringLiteral("\\1?…"));
    scrubbed.replace(secret, QStringLiteral("\\1\\2…"));
    scrubbed.replace(QLatin1Char('\n'), QLatin1String(" | "));
    return scrubbed;
}

bool StartLog(const QString& path, qint64 maxBytes)
{
    TLogState& state = State();
    {
        const QMutexLocker lock(&state.Mutex);
        if (state.File.isOpen())
            state.File.close();
        const QFileInfo info(path);
        QDir().mkpath(info.absolutePath());
        state.File.setFileName(info.absoluteFilePath());
        state.MaxBytes = qMax<qint64>(maxBytes, 16 * 1024);
        if (!state.File.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Text)) {
            std::fprintf(stderr, "Cannot write the log %s\n", qUtf8Printable(path));
            return false;
        }
        state.File.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    }
    if (!state.Installed) {
        state.Previous = qInstallMessageHandler(WriteMessage);
        state.Installed = true;
    }
    return true;
}

QString LogPath()
{
    TLogState& state = State();
    const QMutexLocker lock(&state.Mutex);
    return state.File.isOpen() ? state.File.fileName() : QString();
}

void StopLog()
{
    TLogState& state = State();
    if (state.Installed) {
        qInstallMessageHandler(state.Previous);
        state.Previous = nullptr;
        state.Installed = false;
    }
    const QMutexLocker lock(&state.Mutex);
    state.File.close();
}
