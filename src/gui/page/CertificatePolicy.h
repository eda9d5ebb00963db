#pragma once

#include "config/ConfigFile.h"
#include "engine/Chromium.h"

#include <QList>
#include <QSslCertificate>
#include <QString>

// What becomes of a certificate the engine could not verify.
enum class TCertificateVerdict {
    Trusted,        // the service's pinned certificate, or issued by an administrator's authority
    AcceptedByUser, // the user chose to go on to this host with this very certificate
    Refused,
};

// Decides certificates the engine refused: the service host's one pinned
// certificate and the authorities of an administrator's bundle are trusted;
// a host the user chose to go on to is accepted with this certificate only
// (kept in config.ini); nothing else.
class TCertificatePolicy
{
public:
    TCertificatePolicy(QString configPath, QString serviceHost, QString pinnedFingerprint,
                       QList<QSslCertificate> authorities);

    // Lower-case hex SHA-256 of the certificate, and the same in pairs with colons.
    static QString Fingerprint(const QSslCertificate& certificate);
    static QString ReadableFingerprint(const QString& fingerprint);

    TCertificateVerdict Decide(const TCertificateError& error) const;
    // The user chose to go on to this host with this certificate.
    // Raises EAppError when config.ini cannot be written.
    void AcceptForHost(const QString& host, const QString& fingerprint) const;

private:
    bool IssuedByAuthority(const QList<QSslCertificate>& chain, const QString& host) const;

    TConfigFile FConfig;
    QString FServiceHost;
    QString FPin;
    QList<QSslCertificate> FAuthorities;
};
