// Kills a process that writes config.ini with SIGKILL at random moments and
// checks every file it leaves behind: the file is whole and readable, holds
// every value written before, and the value being written is the old or
// the new one.
//
//   velmar_ini_kills [kills [seed]]     the test (300 kills by default)
//   velmar_ini_kills --write PATH FIRST the writer it kills, writing the
//                                       sequence from write number FIRST on

#include "config/IniFile.h"
#include "config/IniText.h"
#include "util/AppError.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <random>
#include <string>

#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace {

constexpr int kKeys = 7;
const QByteArray kUntouched = "; kept as it is\n[Other]\nkeep=1\n";

// Write number n sets one key of two sections to a value whose length
// changes, so the file grows and shrinks.
QByteArray SectionOf(int key)
{
    return key < 4 ? QByteArray("SYSTEM") : QByteArray("Fault");
}

QByteArray KeyOf(int key)
{
    return "K" + QByteArray::number(key);
}

QByteArray ValueOf(long long n)
{
    return "v" + QByteArray::number(n) + QByteArray(static_cast<int>(n % 37), 'x');
}

// The value of key after the first count writes, or nullopt if none set it.
std::optional<QByteArray> Expected(long long count, int key)
{
    for (long long n = count - 1; n >= 0 && n >= count - kKeys; --n)
        if (n % kKeys == key)
            return ValueOf(n);
    return std::nullopt;
}

int Write(const QString& path, long long first)
{
    const TIniFile file(path);
    for (long long n = first;; ++n) {
        const int key = static_cast<int>(n % kKeys);
        try {
            file.WriteString(QString::fromLatin1(SectionOf(key)), QString::fromLatin1(KeyOf(key)),
                             QString::fromLatin1(ValueOf(n)));
        } catch (const EAppError& error) {
            std::fprintf(stderr, "%s\n", error.what());
            return 1;
        }
        const std::string done = std::to_string(n) + "\n";
        if (::write(STDOUT_FILENO, done.data(), done.size()) != static_cast<ssize_t>(done.size()))
            return 0; // the test has gone
    }
}

// Whether every line is a section, a key=value line, a comment or blank.
bool WellFormed(const QByteArray& text)
{
    for (const QByteArray& line : text.split('\n')) {
        const QByteArray trimmed = line.trimmed();
        if (trimmed.isEmpty() || trimmed.startsWith(';'))
            continue;
        if (trimmed.startsWith('[') ? !trimmed.endsWith(']') : !trimmed.contains('='))
            return false;
    }
    return true;
}

// Whether text holds exactly the state after count writes.
bool HoldsState(const QByteArray& text, long long count)
{
    for (int key = 0; key < kKeys; ++key)
        if (IniText::FindValue(text, SectionOf(key), KeyOf(key)) != Expected(count, key))
            return false;
    return IniText::FindValue(text, "Other", "keep") == QByteArray("1");
}

struct TRun
{
    long long LastDone = -1; // the last write the writer reported finished
    bool Started = false;
};

// Starts the writer, lets it run for a random moment after its first write
// and kills it.
TRun KillOnce(const char* self, const QString& path, long long first, std::mt19937& random)
{
    int out[2];
    if (pipe(out) != 0)
        std::abort();
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, out[0]);
    const QByteArray pathBytes = QFile::encodeName(path);
    const std::string firstText = std::to_string(first);
    char* const argv[] = {const_cast<char*>(self), const_cast<char*>("--write"), const_cast<char*>(pathBytes.constData()),
                          const_cast<char*>(firstText.c_str()), nullptr};
    pid_t pid = 0;
    const int spawned = posix_spawn(&pid, self, &actions, nullptr, argv, environ);
    posix_spawn_file_actions_destroy(&actions);
    close(out[1]);
    TRun run;
    if (spawned != 0) {
        close(out[0]);
        return run;
    }
    std::string reports;
    const auto readSome = [&](int timeoutMs) {
        pollfd ready{out[0], POLLIN, 0};
        if (poll(&ready, 1, timeoutMs) <= 0)
            return false;
        char buffer[4096];
        const ssize_t got = read(out[0], buffer, sizeof(buffer));
        if (got <= 0)
            return false;
        reports.append(buffer, static_cast<size_t>(got));
        return true;
    };
    // Until the first write is done (the process start takes far longer than
    // one write), then a random moment within the next few writes.
    while (reports.find('\n') == std::string::npos && readSome(20000)) {
    }
    run.Started = reports.find('\n') != std::string::npos;
    const auto pause = std::chrono::microseconds(std::uniform_int_distribution<int>(0, 6000)(random));
    const auto until = std::chrono::steady_clock::now() + pause;
    while (std::chrono::steady_clock::now() < until) {
    }
    kill(pid, SIGKILL);
    int status = 0;
    waitpid(pid, &status, 0);
    while (readSome(0)) {
    }
    close(out[0]);
    const size_t end = reports.rfind('\n');
    if (end != std::string::npos) {
        const size_t before = end == 0 ? std::string::npos : reports.rfind('\n', end - 1);
        const size_t begin = before == std::string::npos ? 0 : before + 1;
        run.LastDone = std::stoll(reports.substr(begin, end - begin));
    }
    return run;
}

int Test(const char* self, int kills, unsigned seed)
{
    QTemporaryDir folder;
    if (!folder.isValid())
        return 2;
    const QString path = folder.filePath(QStringLiteral("config.ini"));
    {
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(kUntouched) != kUntouched.size())
            return 2;
    }
    std::mt19937 random(seed);
    long long count = 0; // writes in the file
    for (int k = 1; k <= kills; ++k) {
        const TRun run = KillOnce(self, path, count, random);
        if (!run.Started) {
            std::fprintf(stderr, "kill %d: the writer did not start\n", k);
            return 1;
        }
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly)) {
            std::fprintf(stderr, "kill %d: config.ini is gone\n", k);
            return 1;
        }
        const QByteArray text = file.readAll();
        // Done: every write up to LastDone. The next one may have finished
        // too before the kill; none after it can have.
        const long long done = run.LastDone + 1;
        if (!WellFormed(text) || !text.startsWith(kUntouched.left(16))) {
            std::fprintf(stderr, "kill %d: config.ini is broken:\n%s\n", k, text.constData());
            return 1;
        }
        if (HoldsState(text, done))
            count = done;
        else if (HoldsState(text, done + 1))
            count = done + 1;
        else {
            std::fprintf(stderr, "kill %d after write %lld: config.ini holds neither the old nor the new value:\n%s\n",
                         k, run.LastDone, text.constData());
            return 1;
        }
    }
    const QStringList left = QDir(folder.path()).entryList(QDir::Files | QDir::Hidden);
    std::printf("%d kills, %lld writes, every file whole; files left in the folder: %s\n", kills, count,
                qPrintable(left.join(QStringLiteral(", "))));
    return 0;
}

} // namespace

int main(int argc, char* argv[])
{
    if (argc == 4 && std::string(argv[1]) == "--write")
        return Write(QFile::decodeName(argv[2]), std::atoll(argv[3]));
    signal(SIGPIPE, SIG_IGN);
    const int kills = argc > 1 ? std::atoi(argv[1]) : 300;
    const unsigned seed = argc > 2 ? static_cast<unsigned>(std::strtoul(argv[2], nullptr, 10))
                                   : static_cast<unsigned>(std::random_device()());
    std::printf("seed %u\n", seed);
    return Test("/proc/self/exe", kills, seed);
}
