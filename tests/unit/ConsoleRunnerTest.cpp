#include "util/ConsoleRunner.h"

#include "TestSupport.h"

#include <QElapsedTimer>
#include <QFile>
#include <QSet>

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <filesystem>
#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

namespace {

using namespace std::chrono_literals;

// Generous: only catches a hang, never a slow machine.
constexpr qint64 NoHangMs = 20000;

QString Shell(const QString& script)
{
    return QStringLiteral("/bin/sh -c \"") + script + QLatin1Char('"');
}

QSet<int> OpenDescriptors()
{
    QSet<int> fds;
    for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd"))
        fds.insert(std::stoi(entry.path().filename().string()));
    return fds;
}

// A process that has ended (reaped, or waiting to be reaped by whoever adopted it).
bool ProcessGone(const QByteArray& pid)
{
    const QByteArray stat = ReadBytes(QStringLiteral("/proc/%1/stat").arg(QString::fromLatin1(pid.trimmed())));
    const qsizetype close = stat.lastIndexOf(')');
    return close < 0 || stat.mid(close + 2, 1) == "Z";
}

void KillProcess(const QByteArray& pid)
{
    const int id = pid.trimmed().toInt();
    if (id > 1)
        ::kill(id, SIGKILL);
}

// Collects what goes to the debug channel while it lives.
class TDebugCapture
{
public:
    TDebugCapture() { gCaptured.clear(); FOld = qInstallMessageHandler(&Handler); }
    ~TDebugCapture() { qInstallMessageHandler(FOld); }
    QStringList Messages() const { return gCaptured; }

private:
    static void Handler(QtMsgType, const QMessageLogContext&, const QString& message) { gCaptured.append(message); }
    static inline QStringList gCaptured;
    QtMessageHandler FOld = nullptr;
};

struct TOutputCase
{
    const char* Name;
    QString Script;
    QString Expected;
};

TEST(CaptureConsoleOutput, CapturesBothStreamsInOrderByteForByte)
{
    const TOutputCase cases[] = {
        {"merged in arrival order", QStringLiteral("echo out1; echo err1 >&2; echo out2; echo err2 >&2"),
         QStringLiteral("out1\nerr1\nout2\nerr2\n")},
        {"standard error only", QStringLiteral("echo oops >&2; exit 3"), QStringLiteral("oops\n")},
        {"nothing written", QStringLiteral("exit 0"), QString()},
        {"no final line break", QStringLiteral("printf 'a\\r\\nlast'"), QStringLiteral("a\r\nlast")},
        {"invalid UTF-8", QStringLiteral("printf 'a\\377b'"), QStringLiteral("a\uFFFDb")},
        {"zero byte kept", QStringLiteral("printf 'a\\000b'"), QString(QStringLiteral("a")) + QChar(0) + 'b'},
        {"character split across writes", QStringLiteral("printf '\\344'; sleep 0.3; printf '\\270\\255'"),
         QStringLiteral("中")},
        {"character split at the read size",
         QStringLiteral("head -c 1023 /dev/zero | tr '\\000' x; printf '\\344\\270\\255'"),
         QString(1023, QLatin1Char('x')) + QStringLiteral("中")},
    };
    for (const auto& c : cases)
        EXPECT_EQ(CaptureConsoleOutput(Shell(c.Script)), c.Expected) << c.Name;
}

TEST(CaptureConsoleOutput, SeveralMegabytesArriveWhole)
{
    QString expected;
    for (int i = 1; i <= 600000; ++i)
        expected += QString::number(i) + QLatin1Char('\n');
    const QString output = CaptureConsoleOutput(QStringLiteral("seq 1 600000"));
    EXPECT_EQ(output.size(), expected.size());
    EXPECT_TRUE(output == expected);
}

TEST(CaptureConsoleOutput, MissingProgramGivesEmptyTextAndNoMessage)
{
    const TDebugCapture debug;
    EXPECT_EQ(CaptureConsoleOutput(QStringLiteral("velmar-no-such-program /all")), QString());
    EXPECT_EQ(CaptureConsoleOutput(QStringLiteral("/nonexistent/velmar-tool")), QString());
    EXPECT_EQ(CaptureConsoleOutput(QString()), QString());
    EXPECT_TRUE(debug.Messages().isEmpty()) << debug.Messages().join(QLatin1Char('|')).toStdString();
}

TEST(CaptureConsoleOutput, CommandLineIsCutAfter1024Characters)
{
    const QString command = QStringLiteral("/bin/echo ") + QString(1014, QLatin1Char('a')) + QStringLiteral("bbbb");
    EXPECT_EQ(command.size(), 1028);
    EXPECT_EQ(CaptureConsoleOutput(command), QString(1014, QLatin1Char('a')) + QLatin1Char('\n'));
}

TEST(CaptureConsoleOutput, GrandchildHoldingThePipeDoesNotHoldTheCaller)
{
    QElapsedTimer timer;
    timer.start();
    const QString output = CaptureConsoleOutput(Shell(QStringLiteral("sleep 30 & echo $!; echo done")));
    EXPECT_LT(timer.elapsed(), NoHangMs);
    const QByteArray grandchild = output.section(QLatin1Char('\n'), 0, 0).toLatin1();
    EXPECT_EQ(output.section(QLatin1Char('\n'), 1), QStringLiteral("done\n"));
    EXPECT_FALSE(ProcessGone(grandchild)); // not ours to end: the command left it running
    KillProcess(grandchild);
}

TEST(CaptureConsoleOutput, CommandThatNeverEndsIsEndedAtTheLimit)
{
    QElapsedTimer timer;
    timer.start();
    // The background sleep shows the whole command is ended, not just the shell.
    const QString output =
        CaptureConsoleOutput(Shell(QStringLiteral("sleep 30 & echo $!; echo $$; cat")), 1500ms);
    EXPECT_LT(timer.elapsed(), NoHangMs);
    const QStringList pids = output.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    ASSERT_EQ(pids.size(), 2) << output.toStdString();
    EXPECT_TRUE(ProcessGone(pids[1].toLatin1()));
    EXPECT_TRUE(WaitUntil([&] { return ProcessGone(pids[0].toLatin1()); }));
}

struct TLinesCase
{
    const char* Name;
    QString Script;
    QStringList Expected;
};

TEST(CaptureConsoleLines, FillsTheListWithStandardOutput)
{
    const TLinesCase cases[] = {
        {"arp layout", QStringLiteral("printf '\\r\\nInterface: 10.0.0.5\\r\\n  Internet Address  Physical Address  "
                                      "Type\\r\\n  10.0.0.1  00-11-22-33-44-55  dynamic\\r\\n'"),
         {"", "Interface: 10.0.0.5", "  Internet Address  Physical Address  Type",
          "  10.0.0.1  00-11-22-33-44-55  dynamic"}},
        {"standard error lost", QStringLiteral("echo out; echo err >&2"), {"out"}},
        {"standard error only", QStringLiteral("echo err >&2"), {}},
        {"nothing written", QStringLiteral("exit 0"), {}},
        {"no final line break", QStringLiteral("printf 'a\\nb'"), {"a", "b"}},
        {"invalid UTF-8 and a zero byte", QStringLiteral("printf 'a\\377\\000b\\n'"),
         {QString(QStringLiteral("a\uFFFD")) + QChar(0) + 'b'}},
        {"exact multiple of the read size", QStringLiteral("head -c 4800 /dev/zero | tr '\\000' a"),
         {QString(4800, QLatin1Char('a'))}},
        {"line and character across the read size",
         QStringLiteral("head -c 2399 /dev/zero | tr '\\000' x; printf '\\344\\270\\255\\nnext\\n'"),
         {QString(2399, QLatin1Char('x')) + QStringLiteral("中"), "next"}},
        {"input is empty", QStringLiteral("cat; echo after"), {"after"}},
    };
    for (const auto& c : cases) {
        TStringList lines(QStringList{"stale"});
        CaptureConsoleLines(Shell(c.Script).toUtf8(), lines);
        EXPECT_EQ(lines.Lines(), c.Expected) << c.Name;
    }
}

TEST(CaptureConsoleLines, MissingProgramLeavesTheListEmpty)
{
    TStringList lines(QStringList{"stale"});
    CaptureConsoleLines("velmar-no-such-program -a", lines);
    EXPECT_EQ(lines.Count(), 0);
}

TEST(CaptureConsoleLines, ShortReadEndsTheReadingAndTheCommand)
{
    TStringList lines;
    CaptureConsoleLines(Shell(QStringLiteral("echo $$; sleep 5; echo late")).toUtf8(), lines);
    ASSERT_EQ(lines.Count(), 1);
    EXPECT_TRUE(ProcessGone(lines[0].toLatin1()));
}

TEST(CaptureConsoleLines, GrandchildHoldingThePipeDoesNotHoldTheCaller)
{
    const TScratchDir dir;
    const QString pidFile = dir.File(QStringLiteral("pid"));
    TStringList lines;
    QElapsedTimer timer;
    timer.start();
    // Exactly one full read, so the reading goes on after the shell has ended.
    CaptureConsoleLines(
        Shell(QStringLiteral("sleep 30 & echo $! > '%1'; head -c 2400 /dev/zero | tr '\\000' a").arg(pidFile)).toUtf8(),
        lines);
    EXPECT_LT(timer.elapsed(), NoHangMs);
    EXPECT_EQ(lines.Lines(), QStringList{QString(2400, QLatin1Char('a'))});
    KillProcess(ReadBytes(pidFile));
}

TEST(CaptureConsoleLines, CommandThatNeverEndsIsEndedAtTheLimit)
{
    TStringList lines;
    QElapsedTimer timer;
    timer.start();
    CaptureConsoleLines(Shell(QStringLiteral("head -c 2400 /dev/zero | tr '\\000' a; exec sleep 30")).toUtf8(),
                        lines, 2500ms);
    EXPECT_LT(timer.elapsed(), NoHangMs);
    EXPECT_EQ(lines.Lines(), QStringList{QString(2400, QLatin1Char('a'))});
}

// Leaves exactly free descriptors that can still be opened, for the life of the object.
class TDescriptorLimit
{
public:
    explicit TDescriptorLimit(int free)
    {
        ::getrlimit(RLIMIT_NOFILE, &FOld);
        const QSet<int> open = OpenDescriptors();
        rlimit limit = FOld;
        limit.rlim_cur = static_cast<rlim_t>(*std::max_element(open.cbegin(), open.cend()) + 1);
        ::setrlimit(RLIMIT_NOFILE, &limit);
        for (int fd; (fd = ::open("/dev/null", O_RDONLY | O_CLOEXEC)) >= 0;)
            FFillers.append(fd);
        limit.rlim_cur += static_cast<rlim_t>(free);
        ::setrlimit(RLIMIT_NOFILE, &limit);
    }
    ~TDescriptorLimit()
    {
        ::setrlimit(RLIMIT_NOFILE, &FOld);
        for (const int fd : std::as_const(FFillers))
            ::close(fd);
    }
    TDescriptorLimit(const TDescriptorLimit&) = delete;
    TDescriptorLimit& operator=(const TDescriptorLimit&) = delete;

private:
    rlimit FOld{};
    QList<int> FFillers;
};

TEST(ConsoleRunner, RefusedPipesGiveEmptyResultsQuietly)
{
    const TDebugCapture debug;
    const QString command = Shell(QStringLiteral("echo hello"));
    for (const int free : {0, 1, 2, 3}) {
        const TDescriptorLimit limit(free);
        EXPECT_EQ(CaptureConsoleOutput(command), QString()) << free;
        TStringList lines(QStringList{"stale"});
        CaptureConsoleLines(command.toUtf8(), lines);
        EXPECT_EQ(lines.Count(), 0) << free;
    }
    // Room for the pipes but not for the child-end notice: still complete.
    {
        const TDescriptorLimit limit(4);
        EXPECT_EQ(CaptureConsoleOutput(command), QStringLiteral("hello\n"));
        TStringList lines;
        CaptureConsoleLines(command.toUtf8(), lines);
        EXPECT_EQ(lines.Lines(), QStringList{"hello"});
    }
    EXPECT_TRUE(debug.Messages().isEmpty()) << debug.Messages().join(QLatin1Char('|')).toStdString();
}

TEST(ConsoleRunner, NoDescriptorLeaksIntoTheChildOrOutlivesTheCall)
{
    // Descriptors this process was given without close-on-exec are the only
    // ones a child may share besides its standard streams.
    QSet<int> inheritable;
    for (const int fd : OpenDescriptors())
        if (fd > 2 && (::fcntl(fd, F_GETFD) & FD_CLOEXEC) == 0)
            inheritable.insert(fd);
    const QString listFds = Shell(QStringLiteral("for fd in $(seq 3 255); do [ -e /proc/$$/fd/$fd ] && echo $fd; done; true"));
    const QSet<int> before = OpenDescriptors();

    const QString output = CaptureConsoleOutput(listFds);
    for (const QString& fd : output.split(QLatin1Char('\n'), Qt::SkipEmptyParts))
        EXPECT_TRUE(inheritable.contains(fd.toInt())) << fd.toStdString();
    TStringList lines;
    CaptureConsoleLines(listFds.toUtf8(), lines);
    for (const QString& fd : lines.Lines())
        EXPECT_TRUE(inheritable.contains(fd.toInt())) << fd.toStdString();

    CaptureConsoleOutput(QStringLiteral("velmar-no-such-program"));
    CaptureConsoleOutput(Shell(QStringLiteral("cat")), 600ms);
    CaptureConsoleLines("velmar-no-such-program", lines);
    CaptureConsoleLines(Shell(QStringLiteral("cat; exec sleep 30")).toUtf8(), lines, 1200ms);
    EXPECT_EQ(OpenDescriptors(), before);
}

} // namespace
