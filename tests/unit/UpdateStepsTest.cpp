#include "TestSupport.h"

#include "UpdateSteps.h"

#include "service/VersionManifest.h"
#include "util/AppError.h"

#include <QFile>
#include <QMap>
#include <QProcess>
#include <QStandardPaths>

#include <gtest/gtest.h>

#include <memory>

namespace {

TEST(UpdateHandOverWord, ReadsTheShellsDocumentAndRefusesAnythingElse)
{
    const auto word = [](const QByteArray& document) { return QString::fromLatin1(document.toBase64()); };
    const std::optional<THandOver> shells =
        ReadHandOver(VersionManifest::HandOverText(VersionManifest::HandOverDocument(QStringLiteral("VelmarERP"))));
    ASSERT_TRUE(shells);
    EXPECT_EQ(shells->ExeName, QStringLiteral("VelmarERP"));
    EXPECT_EQ(shells->FileName, QStringLiteral("update.rar"));

    const struct
    {
        const char* What;
        QString Word;
    } refused[] = {
        {"empty", QString()},
        {"not Base64", QStringLiteral("not base64!")},
        {"not an object", word(R"(["VelmarERP"])")},
        {"no FileName", word(R"({"ExeName":"VelmarERP"})")},
        {"a number for a name", word(R"({"ExeName":7,"FileName":"update.rar"})")},
        {"a path", word(R"({"ExeName":"../../bin/sh","FileName":"update.rar"})")},
        {"absolute", word(R"({"ExeName":"/bin/sh","FileName":"update.rar"})")},
        {"the folder itself", word(R"({"ExeName":"..","FileName":"update.rar"})")},
        {"empty name", word(R"({"ExeName":"","FileName":"update.rar"})")},
    };
    for (const auto& c : refused)
        EXPECT_FALSE(ReadHandOver(c.Word)) << c.What;
}

TEST(UpdatePublishedPackage, NamesThePackageOnTheServiceHostOnly)
{
    const struct
    {
        const char* Body;
        std::optional<QString> Path;
    } cases[] = {
        {R"({"Version":"1.0.0.3","Info":"有新版本"})", QStringLiteral("/ver/velmar-erp_1.0.0.3_amd64.deb")},
        {R"({"Version":" 2.0~rc1 "})", QStringLiteral("/ver/velmar-erp_2.0~rc1_amd64.deb")},
        {R"({"Version":"1.0.0.3","Package":"/files/client-1.0.0.3.deb"})", QStringLiteral("/files/client-1.0.0.3.deb")},
        // Nothing that leaves the service or its folders, and no version
        // that is not fit for a file name.
        {R"({"Version":"1.0.0.3","Package":"/ver/../../etc/passwd.deb"})", std::nullopt},
        {R"({"Version":"1.0.0.3","Package":"/ver/./x.deb"})", std::nullopt},
        {R"({"Version":"1.0.0.3","Package":"http://elsewhere/x.deb"})", std::nullopt},
        {R"({"Version":"1.0.0.3","Package":"//elsewhere/x.deb"})", std::nullopt},
        {R"({"Version":"1.0.0.3","Package":"/ver/x.deb?y=1.deb"})", std::nullopt},
        {R"({"Version":"1.0.0.3","Package":"/ver/x.tar"})", std::nullopt},
        {R"({"Version":"1.0.0.3","Package":7})", std::nullopt},
        {R"({"Version":"1.0/../x"})", std::nullopt},
        {R"({"Version":"1:2.0"})", std::nullopt},
        {R"({"Version":""})", std::nullopt},
        {R"({"version":"1.0.0.3"})", std::nullopt},
        {"<html>维护中</html>", std::nullopt},
        {R"({"Version":"1.0)", std::nullopt},
    };
    for (const auto& c : cases) {
        const std::optional<TPublishedPackage> package =
            PublishedPackage(QString::fromUtf8(c.Body), QStringLiteral("amd64"));
        ASSERT_EQ(package.has_value(), c.Path.has_value()) << c.Body;
        if (package) {
            EXPECT_EQ(package->Path, *c.Path) << c.Body;
            EXPECT_EQ(package->SignaturePath(), *c.Path + QStringLiteral(".sig"));
        }
    }
}

TEST(UpdateVersionOrder, FollowsDebian)
{
    EXPECT_TRUE(IsNewerVersion(QStringLiteral("1.0.0.3"), QStringLiteral("1.0.0.2")));
    EXPECT_TRUE(IsNewerVersion(QStringLiteral("1.0.0.10"), QStringLiteral("1.0.0.9")));
    EXPECT_FALSE(IsNewerVersion(QStringLiteral("1.0.0.2"), QStringLiteral("1.0.0.2")));
    EXPECT_FALSE(IsNewerVersion(QStringLiteral("1.0.0.1"), QStringLiteral("1.0.0.2")));
    EXPECT_FALSE(IsNewerVersion(QStringLiteral("2.0~rc1"), QStringLiteral("2.0")));
}

// Real packages and real signatures: a publisher's key and a stranger's,
// made once for the suite in a GnuPG home of its own.
class UpdateRun : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        FFiles = std::make_unique<TScratchDir>();
        Gpg({QStringLiteral("--quick-generate-key"), QStringLiteral("Publisher <p@velmar.invalid>"),
             QStringLiteral("ed25519"), QStringLiteral("sign"), QStringLiteral("never")});
        Gpg({QStringLiteral("--quick-generate-key"), QStringLiteral("Stranger <s@velmar.invalid>"),
             QStringLiteral("ed25519"), QStringLiteral("sign"), QStringLiteral("never")});
        WriteBytes(FFiles->File(QStringLiteral("publisher.gpg")),
                   Gpg({QStringLiteral("--export"), QStringLiteral("p@velmar.invalid")}));
        for (const auto& [name, version] : {std::pair{"velmar-erp", "1.0.0.3"}, std::pair{"velmar-erp", "1.0.0.1"},
                                            std::pair{"other-tool", "1.0.0.3"}}) {
            const QString deb = MakeDeb(QLatin1String(name), QLatin1String(version));
            Gpg({QStringLiteral("--local-user"), QStringLiteral("p@velmar.invalid"), QStringLiteral("--detach-sign"),
                 QStringLiteral("-o"), deb + QStringLiteral(".sig"), deb});
        }
        const QString deb = FFiles->File(QStringLiteral("velmar-erp_1.0.0.3.deb"));
        Gpg({QStringLiteral("--local-user"), QStringLiteral("s@velmar.invalid"), QStringLiteral("--detach-sign"),
             QStringLiteral("-o"), deb + QStringLiteral(".stranger.sig"), deb});
    }

    static void TearDownTestSuite()
    {
        QProcess::execute(QStringLiteral("gpgconf"), {QStringLiteral("--homedir"), GpgHome(), QStringLiteral("--kill"),
                                                      QStringLiteral("gpg-agent")});
        FFiles.reset();
    }

    static QString GpgHome()
    {
        const QString home = FFiles->File(QStringLiteral("gnupg"));
        QDir().mkpath(home);
        QFile::setPermissions(home, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        return home;
    }

    static QByteArray Gpg(const QStringList& arguments)
    {
        QProcess gpg;
        gpg.start(QStringLiteral("gpg"), QStringList{QStringLiteral("--homedir"), GpgHome(), QStringLiteral("--batch"),
                                                     QStringLiteral("--quiet"), QStringLiteral("--passphrase"),
                                                     QString(), QStringLiteral("--pinentry-mode"),
                                                     QStringLiteral("loopback")}
                                             + arguments);
        EXPECT_TRUE(gpg.waitForFinished(60000));
        EXPECT_EQ(gpg.exitCode(), 0) << gpg.readAllStandardError().toStdString();
        return gpg.readAllStandardOutput();
    }

    static QString MakeDeb(const QString& name, const QString& version)
    {
        const QString root = FFiles->File(QStringLiteral("%1_%2").arg(name, version));
        QDir().mkpath(root + QStringLiteral("/DEBIAN"));
        WriteBytes(root + QStringLiteral("/DEBIAN/control"),
                   QStringLiteral("Package: %1\nVersion: %2\nArchitecture: all\nMaintainer: t <t@velmar.invalid>\n"
                                  "Description: test\n")
                       .arg(name, version)
                       .toUtf8());
        const QString deb = root + QStringLiteral(".deb");
        EXPECT_EQ(QProcess::execute(QStringLiteral("dpkg-deb"),
                                    {QStringLiteral("--root-owner-group"), QStringLiteral("--build"), root, deb}),
                  0);
        return deb;
    }

    static QByteArray File(const QString& name) { return ReadBytes(FFiles->File(name)); }

    void SetUp() override
    {
        FInstallerLog = FWork.File(QStringLiteral("installer.log"));
        FInstaller = FWork.File(QStringLiteral("installer.sh"));
        SetInstallerExit(0);
        FContext.ServiceHost = QStringLiteral("service.invalid");
        FContext.ClientVersion = QStringLiteral("1.0.0.2");
        FContext.Architecture = QStringLiteral("amd64");
        FContext.Keyring = FFiles->File(QStringLiteral("publisher.gpg"));
        FContext.Installer = {QStringLiteral("/bin/sh"), FInstaller};
        FContext.WorkFolder = FWork.File(QStringLiteral("downloads"));
        QDir().mkpath(FContext.WorkFolder);
        FContext.Fetch = [this](const QString& url) {
            FFetched << url;
            const auto found = FServed.constFind(url);
            if (found == FServed.constEnd())
                throw EAppError(QStringLiteral("HTTP/1.1 404 Not Found"));
            return *found;
        };
        Publish(R"({"Version":"1.0.0.3"})", File(QStringLiteral("velmar-erp_1.0.0.3.deb")),
                File(QStringLiteral("velmar-erp_1.0.0.3.deb.sig")));
    }

    void Publish(const char* manifest, const QByteArray& deb, const std::optional<QByteArray>& signature)
    {
        const QString base = QStringLiteral("http://service.invalid");
        FServed.clear();
        FServed[base + QStringLiteral("/ver/ver.html")] = manifest;
        FServed[base + QStringLiteral("/ver/velmar-erp_1.0.0.3_amd64.deb")] = deb;
        if (signature)
            FServed[base + QStringLiteral("/ver/velmar-erp_1.0.0.3_amd64.deb.sig")] = *signature;
    }

    void SetInstallerExit(int code)
    {
        WriteBytes(FInstaller, QStringLiteral("printf '%s\\n' \"$@\" > '%1'\nexit %2\n")
                                   .arg(FInstallerLog)
                                   .arg(code)
                                   .toUtf8());
    }

    bool InstallerRan() const { return QFile::exists(FInstallerLog); }

    static std::unique_ptr<TScratchDir> FFiles;
    TScratchDir FWork;
    QString FInstaller;
    QString FInstallerLog;
    TUpdateContext FContext;
    QMap<QString, QByteArray> FServed;
    QStringList FFetched;
};

std::unique_ptr<TScratchDir> UpdateRun::FFiles;

TEST_F(UpdateRun, InstallsThePublishersNewerPackage)
{
    QStringList steps;
    FContext.Progress = [&steps](const QString& step) { steps << step; };
    const TUpdateOutcome outcome = RunUpdate(FContext);
    EXPECT_TRUE(outcome.Installed) << outcome.Message.toStdString();
    EXPECT_EQ(outcome.Version, QStringLiteral("1.0.0.3"));
    ASSERT_TRUE(InstallerRan());
    // The installer gets the files as downloaded, the signature beside them.
    const QList<QByteArray> arguments = ReadBytes(FInstallerLog).trimmed().split('\n');
    ASSERT_EQ(arguments.size(), 2);
    EXPECT_EQ(ReadBytes(QString::fromUtf8(arguments[0])), File(QStringLiteral("velmar-erp_1.0.0.3.deb")));
    EXPECT_EQ(ReadBytes(QString::fromUtf8(arguments[1])), File(QStringLiteral("velmar-erp_1.0.0.3.deb.sig")));
    EXPECT_EQ(steps.size(), 4);
}

TEST_F(UpdateRun, RefusesWhatIsNotThePublishersNewerClientAndInstallsNothing)
{
    QByteArray tampered = File(QStringLiteral("velmar-erp_1.0.0.3.deb"));
    tampered[tampered.size() - 1] = char(tampered.back() ^ 0x01);
    const struct
    {
        const char* What;
        QByteArray Deb;
        std::optional<QByteArray> Signature;
        const char* Message;
    } cases[] = {
        {"tampered", tampered, File(QStringLiteral("velmar-erp_1.0.0.3.deb.sig")), "签名无效"},
        {"a stranger's signature", File(QStringLiteral("velmar-erp_1.0.0.3.deb")),
         File(QStringLiteral("velmar-erp_1.0.0.3.deb.stranger.sig")), "签名无效"},
        {"garbage for a signature", File(QStringLiteral("velmar-erp_1.0.0.3.deb")), QByteArray("not a signature"),
         "签名无效"},
        {"unsigned", File(QStringLiteral("velmar-erp_1.0.0.3.deb")), std::nullopt, "没有发布者的签名"},
        {"older", File(QStringLiteral("velmar-erp_1.0.0.1.deb")), File(QStringLiteral("velmar-erp_1.0.0.1.deb.sig")),
         "不比当前版本"},
        {"another package", File(QStringLiteral("other-tool_1.0.0.3.deb")),
         File(QStringLiteral("other-tool_1.0.0.3.deb.sig")), "不是本客户端的安装包"},
    };
    for (const auto& c : cases) {
        Publish(R"({"Version":"1.0.0.3"})", c.Deb, c.Signature);
        const TUpdateOutcome outcome = RunUpdate(FContext);
        EXPECT_FALSE(outcome.Installed) << c.What;
        EXPECT_TRUE(outcome.Message.contains(QString::fromUtf8(c.Message))) << c.What << ": "
                                                                             << outcome.Message.toStdString();
        EXPECT_FALSE(InstallerRan()) << c.What;
    }

    // Without the publisher's key nothing can be trusted.
    Publish(R"({"Version":"1.0.0.3"})", File(QStringLiteral("velmar-erp_1.0.0.3.deb")),
            File(QStringLiteral("velmar-erp_1.0.0.3.deb.sig")));
    FContext.Keyring = FWork.File(QStringLiteral("missing.gpg"));
    EXPECT_TRUE(RunUpdate(FContext).Message.contains(QStringLiteral("缺少发布者的公钥")));
    EXPECT_FALSE(InstallerRan());
}

TEST_F(UpdateRun, EndsEarlyWhenCurrentOrUninstallableAndReportsTheInstallersAnswer)
{
    Publish(R"({"Version":"1.0.0.2"})", {}, std::nullopt);
    const TUpdateOutcome current = RunUpdate(FContext);
    EXPECT_TRUE(current.Current);
    EXPECT_EQ(FFetched.size(), 1);

    // A copy without the installing helper says so before downloading.
    Publish(R"({"Version":"1.0.0.3"})", File(QStringLiteral("velmar-erp_1.0.0.3.deb")),
            File(QStringLiteral("velmar-erp_1.0.0.3.deb.sig")));
    FFetched.clear();
    const QStringList installer = FContext.Installer;
    FContext.Installer.clear();
    EXPECT_TRUE(RunUpdate(FContext).Message.contains(QStringLiteral("不是从安装包安装的")));
    EXPECT_EQ(FFetched.size(), 1);
    FContext.Installer = installer;

    const struct
    {
        int Exit;
        const char* Message;
    } answers[] = {{126, "未获得管理员授权"}, {127, "没有安装更新的权限"}, {65, "签名无效"}, {67, "不比已安装的版本新"},
                   {68, "安装新版本失败"}};
    for (const auto& a : answers) {
        SetInstallerExit(a.Exit);
        const TUpdateOutcome outcome = RunUpdate(FContext);
        EXPECT_FALSE(outcome.Installed) << a.Exit;
        EXPECT_TRUE(outcome.Message.contains(QString::fromUtf8(a.Message))) << a.Exit << ": "
                                                                            << outcome.Message.toStdString();
    }

    FServed.clear();
    EXPECT_TRUE(RunUpdate(FContext).Message.contains(QStringLiteral("无法连接更新服务器")));
}

} // namespace
