#include "platform/DataFolder.h"

#include "TestSupport.h"

#include <QFile>
#include <QFileInfo>

#include <unistd.h>

#include <gtest/gtest.h>

namespace {

TEST(DataFolder, DecisionFollowsWritabilityThenTheUsersFolders)
{
    struct TCase
    {
        const char* Name;
        TDataFolderFacts Facts;
        QString Folder;
        bool Portable;
    };
    const QString program = QStringLiteral("/opt/velmar-erp/");
    const QString share = QStringLiteral("/home/li/.local/share/VelmarERP/");
    const TCase cases[] = {
        {"portable copy", {program, true, false, "/x", "/home/li", "/home/li", true}, program, true},
        {"program folder without separator", {"/srv/erp", true, false, {}, {}, {}, true}, "/srv/erp/", true},
        // Shared with others (group-writable, or someone else's): each user
        // keeps settings and cookies of their own.
        {"writable but not private", {program, true, false, {}, "/home/li", "/home/li", false}, share, false},
        {"installed copy, root can write it", {program, true, true, {}, "/root", "/root"},
         "/root/.local/share/VelmarERP/", false},
        {"read-only folder, default data home", {program, false, false, {}, "/home/li", "/home/li"}, share, false},
        {"XDG_DATA_HOME wins", {program, false, false, "/data/li", "/home/li", "/home/li"}, "/data/li/VelmarERP/",
         false},
        {"XDG_DATA_HOME with a trailing separator", {program, false, false, "/data/li//", {}, {}},
         "/data/li/VelmarERP/", false},
        {"relative XDG_DATA_HOME is ignored", {program, false, false, "data", "/home/li", "/home/li"}, share, false},
        {"HOME unset: the account's home", {program, false, false, {}, {}, "/home/li"}, share, false},
        {"relative HOME: the account's home", {program, false, false, {}, "home", "/home/li"}, share, false},
        {"no executable folder", {{}, true, false, {}, "/home/li", {}}, share, false},
    };
    for (const TCase& c : cases) {
        QStringList tried;
        const TDataFolder chosen = ChooseDataFolder(c.Facts, [&tried](const QString& folder) {
            tried << folder;
            return true;
        });
        EXPECT_EQ(chosen.Folder, c.Folder) << c.Name;
        EXPECT_EQ(chosen.Portable, c.Portable) << c.Name;
        EXPECT_TRUE(chosen.Problem.isEmpty()) << c.Name;
        // A portable copy creates nothing; otherwise only the chosen folder.
        EXPECT_EQ(tried, c.Portable ? QStringList() : QStringList{c.Folder}) << c.Name;
    }
}

TEST(DataFolder, FallsBackInOrderAndSaysWhenNothingCanBeMade)
{
    const TDataFolderFacts facts{"/opt/velmar-erp/", false, false, "/data/li", "/home/li", "/home/account"};
    EXPECT_EQ(UserDataFolderCandidates(facts),
              (QStringList{"/data/li/VelmarERP/", "/home/li/.local/share/VelmarERP/",
                           "/home/account/.local/share/VelmarERP/"}));

    const TDataFolder second =
        ChooseDataFolder(facts, [](const QString& folder) { return folder.startsWith(QStringLiteral("/home/li/")); });
    EXPECT_EQ(second.Folder, QStringLiteral("/home/li/.local/share/VelmarERP/"));

    const TDataFolder none = ChooseDataFolder(facts, [](const QString&) { return false; });
    EXPECT_TRUE(none.Folder.isEmpty());
    EXPECT_EQ(none.Problem, QStringLiteral("无法创建用户数据文件夹：/data/li/VelmarERP/"));

    const TDataFolder noHome =
        ChooseDataFolder({"/opt/velmar-erp/", false, false, {}, {}, {}}, [](const QString&) { return true; });
    EXPECT_TRUE(noHome.Folder.isEmpty());
    EXPECT_FALSE(noHome.Problem.isEmpty());
}

// The thin system part, on real folders.
class DataFolderOnDisk : public testing::Test
{
protected:
    TScratchDir FRoot;
};

TEST_F(DataFolderOnDisk, FactsComeFromTheEnvironmentAndTheFolder)
{
    TEnvGuard data("XDG_DATA_HOME", "/data/li");
    TEnvGuard home("HOME", FRoot.Path().toLocal8Bit());
    TDataFolderFacts facts = Platform::DataFolderFacts(FRoot.Path());
    EXPECT_EQ(facts.XdgDataHome, QStringLiteral("/data/li"));
    EXPECT_EQ(facts.Home, FRoot.Path());
    EXPECT_FALSE(facts.AccountHome.isEmpty());
    EXPECT_TRUE(facts.ProgramFolderWritable);
    EXPECT_TRUE(facts.ProgramFolderPrivate);
    EXPECT_FALSE(facts.SystemInstall);
    const QString shared = FRoot.File(QStringLiteral("shared/"));
    ASSERT_TRUE(QDir().mkpath(shared));
    ASSERT_TRUE(QFile::setPermissions(shared, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner
                                                  | QFile::ReadGroup | QFile::WriteGroup | QFile::ExeGroup));
    EXPECT_TRUE(Platform::DataFolderFacts(shared).ProgramFolderWritable);
    EXPECT_FALSE(Platform::DataFolderFacts(shared).ProgramFolderPrivate);

    WriteBytes(FRoot.File(QLatin1String(SystemInstallMarker)), "");
    EXPECT_TRUE(Platform::DataFolderFacts(FRoot.Path()).SystemInstall);

    const QString readOnly = FRoot.File(QStringLiteral("ro/"));
    ASSERT_TRUE(QDir().mkpath(readOnly));
    ASSERT_TRUE(QFile::setPermissions(readOnly, QFile::ReadOwner | QFile::ExeOwner));
    if (::geteuid() != 0) { // root writes anywhere
        EXPECT_FALSE(Platform::DataFolderFacts(readOnly).ProgramFolderWritable);
    }
    EXPECT_FALSE(Platform::DataFolderFacts(FRoot.File(QStringLiteral("missing/"))).ProgramFolderWritable);
    QFile::setPermissions(readOnly, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

TEST_F(DataFolderOnDisk, UserFolderIsMadePrivateOrRefused)
{
    const QString folder = FRoot.File(QStringLiteral("home/.local/share/VelmarERP/"));
    EXPECT_TRUE(Platform::MakeUserFolder(folder));
    EXPECT_TRUE(QFileInfo(folder).isDir());
    EXPECT_EQ(QFileInfo(folder).permissions() & (QFile::ReadOther | QFile::ReadGroup | QFile::WriteOther), 0);
    EXPECT_TRUE(Platform::MakeUserFolder(folder)); // already there
    // One made open to others earlier is made private.
    ASSERT_TRUE(QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner
                                                  | QFile::ReadGroup | QFile::ExeGroup | QFile::ReadOther));
    EXPECT_TRUE(Platform::MakeUserFolder(folder));
    EXPECT_EQ(QFileInfo(folder).permissions() & (QFile::ReadOther | QFile::ReadGroup | QFile::ExeGroup), 0);

    // A file where the folder or one of its parents should be.
    WriteBytes(FRoot.File(QStringLiteral("file")), "x");
    EXPECT_FALSE(Platform::MakeUserFolder(FRoot.File(QStringLiteral("file/"))));
    EXPECT_FALSE(Platform::MakeUserFolder(FRoot.File(QStringLiteral("file/VelmarERP/"))));
    EXPECT_FALSE(QFileInfo(FRoot.File(QStringLiteral("file"))).isDir());
}

TEST_F(DataFolderOnDisk, ResolveKeepsAPortableCopyAndUsesHomeOtherwise)
{
    TEnvGuard data("XDG_DATA_HOME", "");
    TEnvGuard home("HOME", FRoot.File(QStringLiteral("home")).toLocal8Bit());
    const QString program = FRoot.File(QStringLiteral("program/"));
    ASSERT_TRUE(QDir().mkpath(program));

    const TDataFolder portable = ResolveDataFolder(program);
    EXPECT_TRUE(portable.Portable);
    EXPECT_EQ(portable.Folder, program);
    EXPECT_FALSE(QFileInfo::exists(FRoot.File(QStringLiteral("home")))); // nothing made for a portable copy

    WriteBytes(program + QLatin1String(SystemInstallMarker), "");
    const TDataFolder installed = ResolveDataFolder(program);
    EXPECT_FALSE(installed.Portable);
    EXPECT_EQ(installed.Folder, FRoot.File(QStringLiteral("home/.local/share/VelmarERP/")));
    EXPECT_TRUE(QFileInfo(installed.Folder).isDir());
    EXPECT_EQ(QDir(program).entryList(QDir::NoDotAndDotDot | QDir::AllEntries),
              QStringList{QLatin1String(SystemInstallMarker)});
}

} // namespace
