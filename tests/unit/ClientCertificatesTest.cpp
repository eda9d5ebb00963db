#include "page/ClientCertificates.h"

#include "page/CertificatePolicy.h"
#include "MemorySecretStore.h"

#include "FakeBrowserEngine.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

namespace {

QString Fixture()
{
    return QStringLiteral(VELMAR_TEST_DATA) + QStringLiteral("client.p12");
}

QSslCertificate Other()
{
    return QSslCertificate::fromPath(QStringLiteral(VELMAR_TEST_DATA) + QStringLiteral("self-signed.pem")).value(0);
}

class ClientCertificates : public testing::Test
{
protected:
    std::unique_ptr<TClientCertificates> Make(const QByteArray& config)
    {
        WriteBytes(FDir.File(QStringLiteral("config.ini")), config);
        return std::make_unique<TClientCertificates>(
            FEngine, FSecrets, FDir.File(QStringLiteral("config.ini")),
            [this](const QString& file, bool retry) -> std::optional<TClientCertificates::TPasswordAnswer> {
                FAsked << QStringLiteral("%1 %2").arg(file).arg(retry);
                if (FPasswords.isEmpty())
                    return std::nullopt;
                return TClientCertificates::TPasswordAnswer{FPasswords.takeFirst(), true};
            },
            [this](const QString& host, const QList<QSslCertificate>& offered) -> std::optional<int> {
                FChoices << QStringLiteral("%1 %2").arg(host).arg(offered.size());
                return FChoice;
            },
            [this](const QString& text) { FTold << text; });
    }

    TScratchDir FDir;
    TFakeBrowserEngine FEngine;
    TMemorySecretStore FSecrets;
    QStringList FPasswords;
    QStringList FAsked;
    QStringList FChoices;
    QStringList FTold;
    std::optional<int> FChoice;
};

TEST_F(ClientCertificates, AFileIsLoadedWithItsPasswordAskedOnceAndKept)
{
    auto certificates = Make("[CLIENT_CERTIFICATES]\nPkcs12=" + Fixture().toUtf8() + "\n");
    FPasswords << QStringLiteral("wrong") << QStringLiteral("p12-pass");
    EXPECT_EQ(certificates->LoadConfigured(), 1);
    EXPECT_EQ(FAsked, (QStringList{Fixture() + " 0", Fixture() + " 1"}));
    ASSERT_EQ(FEngine.ClientCertificates.size(), 1);
    EXPECT_TRUE(FEngine.ClientCertificates[0].subjectDisplayName().contains(QStringLiteral("测试员")));
    EXPECT_EQ(FSecrets.Entries.value(QStringLiteral("pkcs12:") + Fixture()), QStringLiteral("p12-pass"));

    // The next start reads the kept password: no question.
    FAsked.clear();
    EXPECT_EQ(Make("[CLIENT_CERTIFICATES]\nPkcs12=" + Fixture().toUtf8() + "\n")->LoadConfigured(), 1);
    EXPECT_TRUE(FAsked.isEmpty());

    // Given up, or a file that is not there: said, nothing loaded, no crash.
    FSecrets.Entries.clear();
    FPasswords.clear();
    auto broken = Make("[CLIENT_CERTIFICATES]\nPkcs12=" + Fixture().toUtf8() + ";/nowhere/x.p12\n");
    EXPECT_EQ(broken->LoadConfigured(), 0);
    ASSERT_EQ(FTold.size(), 1);
    EXPECT_TRUE(FTold[0].contains(QStringLiteral("/nowhere/x.p12")));
}

TEST_F(ClientCertificates, TheConfiguredCertificateGoesWithoutAQuestionOthersAreChosen)
{
    const QSslCertificate mine = QSslCertificate::fromPath(QStringLiteral(VELMAR_TEST_DATA) + QStringLiteral("office-leaf.pem")).value(0);
    ASSERT_FALSE(mine.isNull());
    auto certificates = Make("[CLIENT_CERTIFICATES]\nerp.example.com=" +
                             TCertificatePolicy::ReadableFingerprint(TCertificatePolicy::Fingerprint(mine)).toLatin1() +
                             "\nbad.example.com=xyz\n");
    EXPECT_EQ(certificates->Select({QStringLiteral("erp.example.com:443"), {Other(), mine}}), 1);
    EXPECT_TRUE(FChoices.isEmpty());
    // Elsewhere, or when the configured one is not offered: the user's choice.
    FChoice = 0;
    EXPECT_EQ(certificates->Select({QStringLiteral("other.example.com:443"), {Other(), mine}}), 0);
    FChoice = std::nullopt;
    EXPECT_EQ(certificates->Select({QStringLiteral("erp.example.com:443"), {Other()}}), std::nullopt);
    EXPECT_EQ(FChoices, (QStringList{"other.example.com:443 2", "erp.example.com:443 1"}));
    EXPECT_EQ(certificates->Select({QStringLiteral("erp.example.com:443"), {}}), std::nullopt); // nothing offered

    EXPECT_TRUE(TClientCertificates::Describe(mine).contains(QStringLiteral("颁发者：")));
}

} // namespace
