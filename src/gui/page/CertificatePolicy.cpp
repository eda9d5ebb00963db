#include "page/CertificatePolicy.h"

#include <QCryptographicHash>
#include <QSslConfiguration>
#include <QUrl>

#include <utility>

TCertificatePolicy::TCertificatePolicy(QString configPath, QString serviceHost, QString pinnedFingerprint,
                                       QList<QSslCertificate> authorities)
    : FConfig(std::move(configPath)), FServiceHost(std::move(serviceHost)), FPin(std::move(pinnedFingerprint)),
      FAuthorities(std::move(authorities))
{
}

QString TCertificatePolicy::Fingerprint(const QSslCertificate& certificate)
{
    return QString::fromLatin1(certificate.digest(QCryptographicHash::Sha256).toHex());
}

QString TCertificatePolicy::ReadableFingerprint(const QString& fingerprint)
{
    QStringList pairs;
    for (qsizetype i = 0; i < fingerprint.size(); i += 2)
        pairs << fingerprint.mid(i, 2).toUpper();
    return pairs.join(QLatin1Char(':'));
}

TCertificateVerdict TCertificatePolicy::Decide(const TCertificateError& error) const
{
    if (error.Chain.isEmpty() || error.Chain.first().isNull())
        return TCertificateVerdict::Refused;
    const QString host = error.Url.host().toLower();
    const QString fingerprint = Fingerprint(error.Chain.first());
    const QString serviceName = QUrl(QStringLiteral("http://") + FServiceHost).host().toLower();
    if (!FPin.isEmpty() && fingerprint == FPin && !host.isEmpty() && host == serviceName)
        return TCertificateVerdict::Trusted;
    if (error.IssuerUnknownOnly && IssuedByAuthority(error.Chain, host))
        return TCertificateVerdict::Trusted;
    if (error.Overridable && !host.isEmpty() && FConfig.ReadCertificateException(host) == fingerprint)
        return TCertificateVerdict::AcceptedByUser;
    return TCertificateVerdict::Refused;
}

bool TCertificatePolicy::IssuedByAuthority(const QList<QSslCertificate>& chain, const QString& host) const
{
    if (FAuthorities.isEmpty())
        return false;
    // The check looks its roots up in the default configuration: the
    // administrator's authorities join the system's there.
    QSslConfiguration configuration = QSslConfiguration::defaultConfiguration();
    QList<QSslCertificate> known = configuration.caCertificates();
    bool added = false;
    for (const QSslCertificate& authority : FAuthorities) {
        if (!known.contains(authority)) {
            known.append(authority);
            added = true;
        }
    }
    if (added) {
        configuration.setCaCertificates(known);
        QSslConfiguration::setDefaultConfiguration(configuration);
    }
    // A root the server sent along is looked up, never taken from the server.
    QList<QSslCertificate> sent = chain;
    while (sent.size() > 1 && sent.last().isSelfSigned())
        sent.removeLast();
    return QSslCertificate::verify(sent, host).isEmpty();
}

void TCertificatePolicy::AcceptForHost(const QString& host, const QString& fingerprint) const
{
    FConfig.WriteCertificateException(host, fingerprint);
}
