#pragma once

#include "config/ConfigFile.h"
#include "engine/Chromium.h"

#include <QObject>

#include <functional>
#include <optional>

class TBrowserEngine;
class TSecretStore;

// Client certificates: the PKCS#12 files named in config.ini are loaded into
// the engine at start (their password from the desktop's secret store, or
// asked and, if the user wants, kept there); when a server asks, the
// certificate configured for its host is sent without a question, otherwise
// the user chooses among those the engine offers, or none.
class TClientCertificates : public QObject
{
    Q_OBJECT

public:
    struct TPasswordAnswer
    {
        QString Password;
        bool Remember = false;
    };
    // file, and whether the last password was wrong; nothing to give up.
    using TAskPassword = std::function<std::optional<TPasswordAnswer>(const QString& file, bool retry)>;
    // The index of the chosen certificate, or nothing to send none.
    using TChoose = std::function<std::optional<int>(const QString& host, const QList<QSslCertificate>& offered)>;
    using TTell = std::function<void(const QString&)>;

    static constexpr int MaxPasswordAttempts = 3;

    TClientCertificates(TBrowserEngine& engine, TSecretStore& secrets, const QString& configPath,
                        TAskPassword askPassword, TChoose choose, TTell tell, QObject* parent = nullptr);

    // Loads every configured file; gives how many certificates were loaded.
    int LoadConfigured();
    std::optional<int> Select(const TClientCertificateRequest& request);

    // "subject（颁发者：issuer，有效期至 date）" for the chooser.
    static QString Describe(const QSslCertificate& certificate);

private:
    bool Load(const QString& file);

    TBrowserEngine& FEngine;
    TSecretStore& FSecrets;
    TClientCertificateOptions FOptions;
    TAskPassword FAskPassword;
    TChoose FChoose;
    TTell FTell;
};
