#include "SingleInstance.h"

#include "TestSupport.h"

#include <filesystem>

#include <csignal>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

extern char** environ;

namespace {

class SingleInstance : public testing::Test
{
protected:
    TScratchDir FRuntime;
    TEnvGuard FRuntimeEnv{"XDG_RUNTIME_DIR", FRuntime.Path().toLocal8Bit()};
    TScratchDir FProgram;
    QString FConfig = FProgram.File(QStringLiteral("config.ini"));
    const QString FName = QStringLiteral("BrowserVelmarHouse");

    std::vector<qint64> SecondStart()
    {
        std::vector<qint64> posted;
        TInstanceLock second;
        const TInstanceRole role =
            CheckSingleInstance(second, FName, FProgram.Path(), FConfig, [&](qint64 handle) { posted.push_back(handle); });
        EXPECT_EQ(role, TInstanceRole::HandedOver);
        EXPECT_FALSE(second.IsHeld());
        return posted;
    }
};

TEST_F(SingleInstance, FirstStartIsMainAndLaterStartsHandOver)
{
    TInstanceLock first;
    ASSERT_EQ(CheckSingleInstance(first, FName, FProgram.Path(), FConfig, nullptr), TInstanceRole::Main);
    EXPECT_TRUE(first.IsHeld());
    // In the data folder: whoever starts the client on it, from any session.
    EXPECT_TRUE(QFile::exists(FProgram.File(FName + QStringLiteral(".lock"))));
    EXPECT_FALSE(QFile::exists(FRuntime.File(FName + QStringLiteral(".lock"))));
    TScratchDir otherSession;
    TEnvGuard otherRuntime("XDG_RUNTIME_DIR", otherSession.Path().toLocal8Bit());

    WriteBytes(FConfig, "[SYSTEM]\r\nHANDLE=4194311\r\n");
    EXPECT_EQ(SecondStart(), std::vector<qint64>{4194311});

    first.Release();
    TInstanceLock next;
    EXPECT_EQ(CheckSingleInstance(next, FName, FProgram.Path(), FConfig, nullptr), TInstanceRole::Main);
}

TEST_F(SingleInstance, ALockThatCannotBeMadeStopsTheStart)
{
    bool posted = false;
    TInstanceLock lock;
    EXPECT_EQ(CheckSingleInstance(lock, FName, FProgram.File(QStringLiteral("missing/")), FConfig,
                                  [&](qint64) { posted = true; }),
              TInstanceRole::Failed);
    EXPECT_FALSE(lock.IsHeld());
    EXPECT_FALSE(posted);
}

TEST_F(SingleInstance, UnusableHandlePostsNothing)
{
    TInstanceLock first;
    ASSERT_EQ(first.Create(FName, FProgram.Path()), TInstanceLock::TResult::Acquired);
    for (const QByteArray& text : {QByteArray(), QByteArray("[SYSTEM]\nHANDLE=0\n"), QByteArray("[SYSTEM]\nHANDLE=-9\n"),
                                   QByteArray("[SYSTEM]\nHANDLE=window\n"), QByteArray("[OTHER]\nHANDLE=5\n")}) {
        WriteBytes(FConfig, text);
        EXPECT_TRUE(SecondStart().empty()) << text.constData();
    }
    QFile::remove(FConfig);
    EXPECT_TRUE(SecondStart().empty());
}

TEST_F(SingleInstance, KilledHolderLeavesNoLockEvenWithChildrenAlive)
{
    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    const pid_t holder = ::fork();
    ASSERT_GE(holder, 0);
    if (holder == 0) {
        TInstanceLock lock;
        if (lock.Create(FName) != TInstanceLock::TResult::Acquired)
            ::_exit(3);
        // A child started while the lock is held must not inherit it.
        pid_t child = 0;
        char sleepPath[] = "/bin/sleep";
        char seconds[] = "30";
        char* args[] = {sleepPath, seconds, nullptr};
        if (::posix_spawn(&child, sleepPath, nullptr, nullptr, args, environ) != 0)
            ::_exit(4);
        const QByteArray pid = QByteArray::number(child) + '\n';
        (void)!::write(ready[1], pid.constData(), static_cast<size_t>(pid.size()));
        ::pause();
        ::_exit(0);
    }
    ::close(ready[1]);
    char buffer[32] = {};
    ASSERT_GT(::read(ready[0], buffer, sizeof(buffer) - 1), 0);
    ::close(ready[0]);
    const pid_t grandchild = static_cast<pid_t>(QByteArray(buffer).trimmed().toLongLong());
    // The child closes its copy of the lock only as its exec finishes, which
    // may come after the holder went on: wait for that before judging.
    const std::filesystem::path lockFile =
        std::filesystem::canonical(FRuntime.File(FName + QStringLiteral(".lock")).toStdString());
    const auto childHoldsLock = [&] {
        std::error_code error;
        for (const auto& fd : std::filesystem::directory_iterator("/proc/" + std::to_string(grandchild) + "/fd", error))
            if (std::filesystem::read_symlink(fd.path(), error) == lockFile)
                return true;
        return false;
    };
    EXPECT_TRUE(WaitUntil([&] { return !childHoldsLock(); }));

    TInstanceLock probe;
    EXPECT_EQ(probe.Create(FName), TInstanceLock::TResult::AlreadyExists);
    ::kill(holder, SIGKILL);
    ::waitpid(holder, nullptr, 0);
    EXPECT_EQ(probe.Create(FName), TInstanceLock::TResult::Acquired);
    ::kill(grandchild, SIGKILL);
}

TEST_F(SingleInstance, NoRuntimeFolderFallsBackToAPrivateTempFolder)
{
    TEnvGuard noRuntime("XDG_RUNTIME_DIR", "");
    const QString folder = TInstanceLock::LockFolder();
    ASSERT_FALSE(folder.isEmpty());
    EXPECT_TRUE(folder.startsWith(QDir::tempPath()));
    TInstanceLock first;
    TInstanceLock second;
    EXPECT_EQ(first.Create(QStringLiteral("VelmarUnitTestLock")), TInstanceLock::TResult::Acquired);
    EXPECT_EQ(second.Create(QStringLiteral("VelmarUnitTestLock")), TInstanceLock::TResult::AlreadyExists);
}

} // namespace
