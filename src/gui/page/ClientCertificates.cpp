#include "page/ClientCertificates.h"

#include "engine/BrowserEngine.h"
#include "page/CertificatePolicy.h"
#include "platform/SecretStore.h"

#include <QDebug>
#include <QFile>
#include <QSslKey>

namespace {

bool ReadPkcs12(const QString& file, const QString& password, QSslCertificate& certificate, QSslKey& key)
{
    QFile input(file);
    if (!input.open(QIODevice::ReadOnly))
        return false;
    return QSslCertificate::importPkcs12(&input, &key, &certificate, nullptr, password.toUtf8())
           && !certificate.isNull() && !key.isNull();
}

QString SecretKey(const QString& file)
{
    return QStringLiteral("pkcs12:") + file;
}

} // namespace

TClientCertificates::TClientCertificates(TBrowserEngine& engine, TSecretStore& secrets, const QString& configPath,
                                         TAskPassword askPassword, TChoose choose, TTell tell, QObject* parent)
    : QObject(parent), FEngine(engine), FSecrets(secrets), FOptions(TConfigFile(configPath).ReadClientCertificates()),
      FAskPassword(std::move(askPassword)), FChoose(std::move(choose)), FTell(std::move(tell))
{
}

int TClientCertificates::LoadConfigured()
{
    int loaded = 0;
    for (const QString& file : FOptions.Files)
        loaded += Load(file) ? 1 : 0;
    return loaded;
}

bool TClientCertificates::Load(const QString& file)
{
    if (!QFile::exists(file)) {
        FTell(QStringLiteral("找不到客户端证书文件：%1").arg(file));
        return false;
    }
    QSslCertificate certificate;
    QSslKey key;
    // The kept password, then none (files without one), then the user's.
    bool ok = false;
    if (const std::optional<QString> kept = FSecrets.Read(SecretKey(file)))
        ok = ReadPkcs12(file, *kept, certificate, key);
    if (!ok)
        ok = ReadPkcs12(file, QString(), certificate, key);
    for (int attempt = 0; !ok && attempt < MaxPasswordAttempts; ++attempt) {
        const std::optional<TPasswordAnswer> answer = FAskPassword(file, attempt > 0);
        if (!answer)
            return false;
        ok = ReadPkcs12(file, answer->Password, certificate, key);
        if (ok && answer->Remember && !FSecrets.Write(SecretKey(file), answer->Password))
            FTell(QStringLiteral("无法记住证书密码：此桌面没有可用的密钥环（Secret Service）。"));
    }
    if (!ok) {
        FTell(QStringLiteral("无法读取客户端证书 %1：文件已损坏或密码不正确。").arg(file));
        return false;
    }
    FEngine.AddClientCertificate(certificate, key);
    qDebug().noquote() << QStringLiteral("Client certificate loaded: %1").arg(certificate.subjectDisplayName());
    return true;
}

std::optional<int> TClientCertificates::Select(const TClientCertificateRequest& request)
{
    if (request.Certificates.isEmpty())
        return std::nullopt;
    const QString hostOnly = request.Host.section(QLatin1Char(':'), 0, 0).toLower();
    for (const auto& [host, fingerprint] : FOptions.Hosts) {
        if (host != request.Host.toLower() && host != hostOnly)
            continue;
        for (int i = 0; i < request.Certificates.size(); ++i)
            if (TCertificatePolicy::Fingerprint(request.Certificates.at(i)) == fingerprint)
                return i;
    }
    return FChoose(request.Host, request.Certificates);
}

QString TClientCertificates::Describe(const QSslCertificate& certificate)
{
    const QString subject = certificate.subjectDisplayName();
    const QString issuer = certificate.issuerDisplayName();
    return QStringLiteral("%1（颁发者：%2，有效期至 %3）")
        .arg(subject.isEmpty() ? QStringLiteral("（无名称）") : subject, issuer,
             certificate.expiryDate().toLocalTime().toString(QStringLiteral("yyyy-MM-dd")));
}
