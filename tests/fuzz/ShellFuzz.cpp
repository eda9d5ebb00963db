// Caption shortening, the reset script's quoting run through /bin/sh, and
// the reading of client messages other processes send.

#include "FuzzTarget.h"

#include "platform/ShellMessage.h"
#include "page/CacheReset.h"
#include "tabs/TabCaption.h"

#include <QFile>
#include <QFont>
#include <QFontMetrics>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

// The standard output of /bin/sh reading script from its standard input.
QByteArray RunShell(const QByteArray& script)
{
    signal(SIGPIPE, SIG_IGN); // a shell that stops reading early fails the check, not the run
    int in[2];
    int out[2];
    if (pipe(in) != 0 || pipe(out) != 0)
        std::abort();
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, in[0], STDIN_FILENO);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    for (const int fd : {in[0], in[1], out[0], out[1]})
        posix_spawn_file_actions_addclose(&actions, fd);
    char shell[] = "/bin/sh";
    char* const argv[] = {shell, nullptr};
    char* const env[] = {nullptr};
    pid_t pid = 0;
    const int spawned = posix_spawn(&pid, shell, &actions, nullptr, argv, env);
    posix_spawn_file_actions_destroy(&actions);
    close(in[0]);
    close(out[1]);
    if (spawned != 0)
        std::abort();
    // The script is small and prints only at its end: write all, then read.
    // libFuzzer's timer interrupts system calls: each one is retried.
    for (qsizetype done = 0; done < script.size();) {
        const ssize_t put = write(in[1], script.constData() + done, static_cast<size_t>(script.size() - done));
        if (put < 0 && errno == EINTR)
            continue;
        if (put <= 0)
            break;
        done += put;
    }
    close(in[1]);
    QByteArray output;
    char buffer[4096];
    for (;;) {
        const ssize_t got = read(out[0], buffer, sizeof(buffer));
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            break;
        output.append(buffer, got);
    }
    close(out[0]);
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    return output;
}

} // namespace

VELMAR_FUZZ_TARGET(tab_caption)
{
    FuzzEnsureGuiApplication();
    if (size < 1)
        return;
    static const QFontMetrics metrics([] {
        QFont font(QStringLiteral("Arial"));
        font.setPixelSize(14);
        return font;
    }());
    const int limit = data[0] * 2;
    // Any code units, lone surrogates too: a title comes from the page.
    QString title(static_cast<qsizetype>((size - 1) / 2), Qt::Uninitialized);
    std::memcpy(title.data(), data + 1, static_cast<size_t>(title.size()) * 2);
    const QString cut = ShortenTabCaption(title, metrics, limit);
    const QString text = title.trimmed();
    const auto fits = [&](const QString& s) { return metrics.horizontalAdvance(s) + 25 <= limit; };
    FUZZ_CHECK(text.startsWith(cut), cut);
    FUZZ_CHECK(cut == text || cut.isEmpty() || fits(cut), cut);
    if (cut.size() < text.size()) {
        const qsizetype next = cut.size();
        const bool pair = next + 1 < text.size() && text[next].isHighSurrogate() && text[next + 1].isLowSurrogate();
        FUZZ_CHECK(!(cut.size() > 0 && cut.back().isHighSurrogate() && text[next].isLowSurrogate()), cut);
        // One more whole character would not fit (widths only grow in
        // practice; a font that kerns a longer prefix narrower is the one
        // case this does not hold, and the test font has none such).
        FUZZ_CHECK(!fits(text.left(next + (pair ? 2 : 1))), cut);
    }
}

VELMAR_FUZZ_TARGET(shell_quote)
{
    const auto fields = FuzzFields(data, size, 3);
    // A shell word cannot hold a zero byte; everything else must come back.
    const QByteArray word = fields[0];
    QByteArray script = "printf '%s' " + ShellQuote(word) + "\n";
    FUZZ_CHECK(RunShell(script) == word, QString::fromLatin1(word.toPercentEncoding()));

    // The reset script's paths, for any program folder and executable name:
    // its variables hold exactly them.
    const QString dir = QFile::decodeName(fields[1]);
    const QString exe = QFile::decodeName(fields[2]);
    if (dir.isEmpty() || exe.isEmpty() || dir.contains(QChar(0)) || exe.contains(QChar(0)))
        return;
    const QByteArray reset = CacheResetScript(dir, exe);
    const qsizetype sleep = reset.indexOf("\nsleep 2\n");
    FUZZ_CHECK(sleep > 0, QString::fromLocal8Bit(reset));
    script = reset.left(sleep + 1) + "printf '%s\\n%s\\n%s' \"$dir\" \"$cache\" \"$exe\"\n";
    QString trimmed = dir;
    while (trimmed.size() > 1 && trimmed.endsWith(u'/'))
        trimmed.chop(1);
    const auto safe = [](const QString& path) {
        const QByteArray bytes = QFile::encodeName(path);
        return bytes.startsWith('/') ? bytes : "./" + bytes;
    };
    const QByteArray dirBytes = safe(trimmed);
    const QByteArray expected =
        dirBytes + '\n' + (dirBytes == "/" ? QByteArray("/cache") : dirBytes + "/cache") + '\n' + safe(exe);
    FUZZ_CHECK(RunShell(script) == expected, QString::fromLatin1(expected.toPercentEncoding()));
}

VELMAR_FUZZ_TARGET(client_message)
{
    if (size < 8)
        return;
    quint32 atom = 0;
    qint32 accepted = 0;
    std::memcpy(&atom, data, 4);
    std::memcpy(&accepted, data + 4, 4);
    const std::uint8_t* event = data + 8;
    const std::size_t length = size - 8;
    const auto received = ShellMessage::ReadClientMessage(event, length, atom, accepted);
    if (!received)
        return;
    // Only the exact form Post sends passes.
    FUZZ_CHECK(length >= 32, QString::number(length));
    quint32 words[5];
    std::memcpy(words, event + 12, sizeof(words));
    quint32 type = 0;
    quint32 window = 0;
    std::memcpy(&window, event + 4, 4);
    std::memcpy(&type, event + 8, 4);
    FUZZ_CHECK(event[0] == (33 | 0x80) && event[1] == 32, QString::number(event[0]));
    FUZZ_CHECK(type == atom && atom != 0 && window != 0 && received->Window == window, QString::number(type));
    FUZZ_CHECK(qint32(words[0]) == accepted && received->Message == accepted, QString::number(words[0]));
    FUZZ_CHECK(words[1] == 0 && words[2] == 0 && words[3] == 0 && words[4] == 0, QString::number(words[1]));
}
