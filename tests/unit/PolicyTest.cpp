#include "config/ConfigFile.h"
#include "config/Policy.h"
#include "util/AppError.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

namespace {

// Points the program at a policy file for the life of the object.
class TPolicyFile
{
public:
    explicit TPolicyFile(const QByteArray& text)
    {
        WriteBytes(FDir.File(QStringLiteral("policy.ini")), text);
        FPrevious = gPolicyFile;
        gPolicyFile = FDir.File(QStringLiteral("policy.ini"));
    }
    ~TPolicyFile() { gPolicyFile = FPrevious; }
    QString Path() const { return FDir.File(QStringLiteral("policy.ini")); }

private:
    TScratchDir FDir;
    QString FPrevious;
};

TEST(Policy, ValidKeysAreTakenAndTheRestLeftOutWithAReason)
{
    TScratchDir dir;
    const QString bundle = dir.File(QStringLiteral("ca.pem"));
    WriteBytes(bundle, "-----BEGIN CERTIFICATE-----\n");
    const TPolicyFile file("[SYSTEM]\nServiceHost=erp.corp.example:8443\nAUTOSTART=maybe\n"
                           "[SECURITY]\nRemoteDebuggingPort=0\nIgnoreCertificateErrors=1\nCaBundle=" + bundle.toUtf8() +
                           "\nServiceCertificate=xyz\nColour=blue\n"
                           "[UPDATE]\nManaged=1\n"
                           "[PERMISSIONS]\nnotifications@https://erp.corp.example=1\ngeolocation@https://x.example=yes\n");
    const TPolicy policy(file.Path());
    ASSERT_TRUE(policy.Exists());
    EXPECT_EQ(policy.Value("SYSTEM", "ServiceHost"), QStringLiteral("erp.corp.example:8443"));
    EXPECT_EQ(policy.Value("security", "remotedebuggingport"), QStringLiteral("0")); // names as in config.ini, any case
    EXPECT_EQ(policy.Value("SECURITY", "CaBundle"), bundle);
    EXPECT_EQ(policy.Value("UPDATE", "Managed"), QStringLiteral("1"));
    EXPECT_EQ(policy.Value("PERMISSIONS", "notifications@https://erp.corp.example"), QStringLiteral("1"));
    EXPECT_FALSE(policy.Locks("SYSTEM", "AUTOSTART"));
    EXPECT_FALSE(policy.Locks("SECURITY", "ServiceCertificate"));
    EXPECT_FALSE(policy.Locks("PERMISSIONS", "geolocation@https://x.example"));
    const QString rejected = policy.Rejected().join('\n');
    for (const char* part : {"SYSTEM/AUTOSTART", "SECURITY/ServiceCertificate", "SECURITY/Colour: unknown key",
                             "PERMISSIONS/geolocation@https://x.example"})
        EXPECT_TRUE(rejected.contains(QLatin1String(part))) << part << "\n" << rejected.toStdString();

    EXPECT_FALSE(TPolicy(dir.File(QStringLiteral("missing.ini"))).Exists());
    EXPECT_TRUE(TPolicy(dir.File(QStringLiteral("missing.ini"))).IsEmpty());
}

TEST(Policy, TheProxyIsTakenWholeOrNotAtAll)
{
    struct TCase
    {
        const char* Name;
        QByteArray Text;
        bool Taken;
    };
    const TCase cases[] = {
        {"manual with server", "[PROXY]\nMode=manual\nServer=proxy.corp:3128\nBypass=*.corp\n", true},
        {"direct alone", "[PROXY]\nMode=direct\n", true},
        {"manual without server", "[PROXY]\nMode=manual\nBypass=*.corp\n", false},
        {"pac without address", "[PROXY]\nMode=pac\n", false},
        {"a bad part", "[PROXY]\nMode=manual\nServer=proxy.corp:3128 --no-sandbox\n", false},
        {"no mode", "[PROXY]\nServer=proxy.corp:3128\n", false},
        {"unknown mode", "[PROXY]\nMode=auto\n", false},
    };
    for (const TCase& c : cases) {
        const TPolicyFile file(c.Text);
        const TPolicy policy(file.Path());
        EXPECT_EQ(policy.LocksSection("PROXY"), c.Taken) << c.Name;
    }
}

TEST(Policy, FixedKeysWinOverTheUsersAndCannotBeChangedThere)
{
    TScratchDir dir;
    const QString ini = dir.File(QStringLiteral("config.ini"));
    WriteBytes(ini, "[SYSTEM]\nServiceHost=user.example\n[SECURITY]\nRemoteDebuggingPort=9000\n"
                    "[PROXY]\nMode=manual\nServer=user-proxy:1\nBypass=user.local\n[UPDATE]\nManaged=0\n"
                    "[PERMISSIONS]\ncamera@https://a.example=1\nnotifications@https://erp.example=0\n");
    {
        // Without a policy the user's settings hold.
        const TConfigFile config(ini);
        EXPECT_EQ(config.ReadServiceHost(), QStringLiteral("user.example"));
        EXPECT_EQ(config.ReadSecurity().RemoteDebuggingPort, 9000);
        EXPECT_FALSE(config.Locked("PROXY"));
    }
    const TPolicyFile file("[SYSTEM]\nServiceHost=erp.example\n[SECURITY]\nRemoteDebuggingPort=0\n"
                           "[PROXY]\nMode=direct\n[UPDATE]\nManaged=1\n"
                           "[PERMISSIONS]\nnotifications@https://erp.example=1\n");
    const TConfigFile config(ini);
    EXPECT_EQ(config.ReadServiceHost(), QStringLiteral("erp.example"));
    EXPECT_EQ(config.ReadSecurity().RemoteDebuggingPort, 0);
    EXPECT_TRUE(config.ReadUpdate().Managed);
    // The proxy is the policy's alone: none of the user's parts leak in.
    const TNetworkOptions network = config.ReadNetwork();
    EXPECT_EQ(network.ProxyMode, TNetworkOptions::TProxyMode::Direct);
    EXPECT_TRUE(network.ProxyServer.isEmpty());
    EXPECT_TRUE(network.ProxyBypass.isEmpty());
    EXPECT_TRUE(config.Locked("PROXY"));
    EXPECT_THROW(config.WriteNetwork({}), EAppError);
    // The policy's answer first; the user's others stay.
    EXPECT_EQ(config.ReadPermission("notifications@https://erp.example"), true);
    EXPECT_EQ(config.ReadPermissions(),
              (QList<QPair<QString, bool>>{{"notifications@https://erp.example", true}, {"camera@https://a.example", true}}));
    // The user's file is left as it was.
    EXPECT_TRUE(ReadBytes(ini).contains("RemoteDebuggingPort=9000"));
}

TEST(Policy, AValueThatIsNotValidLeavesTheUsersInPlace)
{
    TScratchDir dir;
    const QString ini = dir.File(QStringLiteral("config.ini"));
    WriteBytes(ini, "[SECURITY]\nRemoteDebuggingPort=9222\n[SYSTEM]\nServiceHost=user.example\n");
    const TPolicyFile file("[SECURITY]\nRemoteDebuggingPort=99999\n[SYSTEM]\nServiceHost=http://bad host/x\n");
    const TConfigFile config(ini);
    EXPECT_EQ(config.ReadSecurity().RemoteDebuggingPort, 9222);
    EXPECT_EQ(config.ReadServiceHost(), QStringLiteral("user.example"));
    EXPECT_EQ(config.Policy().Rejected().size(), 2);
}

TEST(Policy, AChangedFileIsReadAgain)
{
    const TPolicyFile file("[UPDATE]\nManaged=1\n");
    EXPECT_TRUE(TPolicy::Current()->Locks("UPDATE", "Managed"));
    WriteBytes(file.Path(), "[UPDATE]\nManaged=1\n[LOG]\nEnabled=1\n");
    EXPECT_TRUE(TPolicy::Current()->Locks("LOG", "Enabled"));
    QFile::remove(file.Path());
    EXPECT_FALSE(TPolicy::Current()->Exists());
}

} // namespace
