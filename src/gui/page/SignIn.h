#pragma once

#include "config/ConfigFile.h"
#include "engine/Chromium.h"

#include <QHash>
#include <QList>
#include <QObject>
#include <QString>

#include <functional>
#include <optional>

class TSecretStore;

// What the sign-in box asks and what the user answered.
struct TSignInQuestion
{
    QString Text;     // who asks, in words
    QString Realm;    // the server's own words, shown as they are
    QString User;     // filled in beforehand (the name kept last time)
    bool Insecure = false; // the password would cross the network unencrypted
    bool Retry = false;    // the last answer was not accepted
};
struct TSignInAnswer
{
    TCredentials Credentials;
    bool Remember = false;
};

// Answers the sign-in questions of servers and proxies (HTTP Basic, Digest,
// NTLM): with the name and password the user kept for that server and
// realm, else with the sign-in box. Kept passwords live in the desktop's
// secret store; config.ini lists only which are kept and under what name
// (section "SAVED_SIGN_INS"). An answer the server refuses is asked again,
// a few times at most; then the sign-in is given up and the user told so.
class TSignIn : public QObject
{
    Q_OBJECT

public:
    using TAsk = std::function<std::optional<TSignInAnswer>(const TSignInQuestion&)>;
    using TTell = std::function<void(const QString&)>;

    static constexpr int MaxAttempts = 3;
    // A question again within this time means the last answer was refused.
    static constexpr int RetryWindowMs = 30000;

    TSignIn(TSecretStore& secrets, const QString& configPath, TAsk ask, TTell tell, QObject* parent = nullptr);

    // The engine's question: credentials, or nothing to give up.
    std::optional<TCredentials> Answer(const TSignInRequest& request);

    // A kept sign-in, as the settings window lists it.
    struct TSaved
    {
        QString Key;
        QString Site;
        QString Realm;
        QString User;
    };
    QList<TSaved> Saved() const;
    // Forgets a kept sign-in (the password too). Raises EAppError when
    // config.ini cannot be written.
    void Forget(const QString& key);

    // "site:<scheme://host:port>|<realm>" or "proxy:<host>|<realm>", the realm
    // percent-encoded so that the key is one safe line.
    static QString Key(const TSignInRequest& request);
    static QString QuestionText(const TSignInRequest& request);

private:
    struct TAttempts
    {
        int Count = 0;
        qint64 LastMs = 0;
        bool UsedKept = false; // the last answer was the kept one
    };

    std::optional<TCredentials> ReadKept(const QString& key) const;
    void Keep(const QString& key, const TSignInAnswer& answer);

    TSecretStore& FSecrets;
    TConfigFile FConfig;
    TAsk FAsk;
    TTell FTell;
    QHash<QString, TAttempts> FAttempts;
};
