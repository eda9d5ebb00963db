#include "page/SignIn.h"

#include "page/PagePermissions.h"
#include "platform/SecretStore.h"
#include "util/AppError.h"

#include <QDateTime>
#include <QDebug>
#include <QJsonDocument>
#include <QJsonObject>

namespace {

const QString kSaved = QStringLiteral("SAVED_SIGN_INS");

qint64 NowMs()
{
    return QDateTime::currentMSecsSinceEpoch();
}

QString Origin(const QUrl& url)
{
    return url.adjusted(QUrl::RemovePath | QUrl::RemoveQuery | QUrl::RemoveFragment | QUrl::RemoveUserInfo)
        .toString(QUrl::FullyEncoded)
        .toLower();
}

} // namespace

TSignIn::TSignIn(TSecretStore& secrets, const QString& configPath, TAsk ask, TTell tell, QObject* parent)
    : QObject(parent), FSecrets(secrets), FConfig(configPath), FAsk(std::move(ask)), FTell(std::move(tell))
{
}

QString TSignIn::Key(const TSignInRequest& request)
{
    const QString realm = QString::fromLatin1(request.Realm.toUtf8().toPercentEncoding());
    if (request.Proxy)
        return QStringLiteral("proxy:%1|%2").arg(request.ProxyHost.toLower(), realm);
    return QStringLiteral("site:%1|%2").arg(Origin(request.Url), realm);
}

QString TSignIn::QuestionText(const TSignInRequest& request)
{
    if (request.Proxy)
        return QStringLiteral("代理服务器 %1 要求输入用户名和密码。").arg(request.ProxyHost);
    return QStringLiteral("网站 %1 要求输入用户名和密码。").arg(TPermissionPolicy::SiteName(request.Url));
}

std::optional<TCredentials> TSignIn::ReadKept(const QString& key) const
{
    if (!FConfig.ReadSavedSignIn(key))
        return std::nullopt; // not listed: not kept by this program
    const std::optional<QString> secret = FSecrets.Read(key);
    if (!secret)
        return std::nullopt;
    const QJsonObject kept = QJsonDocument::fromJson(secret->toUtf8()).object();
    if (!kept.contains(QLatin1String("user")))
        return std::nullopt;
    return TCredentials{kept.value(QLatin1String("user")).toString(), kept.value(QLatin1String("password")).toString()};
}

void TSignIn::Keep(const QString& key, const TSignInAnswer& answer)
{
    QJsonObject secret;
    secret.insert(QLatin1String("user"), answer.Credentials.User);
    secret.insert(QLatin1String("password"), answer.Credentials.Password);
    if (!FSecrets.Write(key, QString::fromUtf8(QJsonDocument(secret).toJson(QJsonDocument::Compact)))) {
        FTell(QStringLiteral("无法记住密码：此桌面没有可用的密钥环（Secret Service）。本次登录不受影响。"));
        return;
    }
    try {
        FConfig.WriteSavedSignIn(key, answer.Credentials.User);
    } catch (const EAppError& error) {
        FSecrets.Remove(key);
        FTell(error.Message());
    }
}

std::optional<TCredentials> TSignIn::Answer(const TSignInRequest& request)
{
    const QString key = Key(request);
    TAttempts& attempts = FAttempts[key];
    const qint64 now = NowMs();
    const bool again = attempts.Count > 0 && now - attempts.LastMs < RetryWindowMs;
    if (!again)
        attempts = TAttempts{};
    qDebug().noquote() << QStringLiteral("Sign-in asked by %1 (attempt %2)")
                              .arg(request.Proxy ? request.ProxyHost : TPermissionPolicy::SiteName(request.Url))
                              .arg(attempts.Count + 1);

    if (attempts.Count >= MaxAttempts) {
        FAttempts.remove(key); // a later load starts over
        FTell(QStringLiteral("登录 %1 失败次数过多，已停止尝试。请确认用户名和密码后刷新页面重试。")
                  .arg(request.Proxy ? request.ProxyHost : TPermissionPolicy::SiteName(request.Url)));
        return std::nullopt;
    }

    // A kept password that was just refused is out of date: forget it.
    QString user = FConfig.ReadSavedSignIn(key).value_or(QString());
    if (again && attempts.UsedKept) {
        try {
            FConfig.DeleteSavedSignIn(key);
        } catch (const EAppError&) {
            // Still listed; the password is gone all the same.
        }
        FSecrets.Remove(key);
        attempts.UsedKept = false;
    }
    if (!again) {
        if (const std::optional<TCredentials> kept = ReadKept(key)) {
            attempts.Count = 1;
            attempts.LastMs = NowMs();
            attempts.UsedKept = true;
            return kept;
        }
    }

    TSignInQuestion question;
    question.Text = QuestionText(request);
    question.Realm = request.Realm;
    question.User = user;
    question.Insecure = !request.Proxy && request.Url.scheme() != QLatin1String("https");
    question.Retry = again;
    const int answered = again ? attempts.Count : 0;
    const std::optional<TSignInAnswer> answer = FAsk(question);
    // The box ran an event loop: this object's table may have changed.
    if (!answer) {
        FAttempts.remove(key);
        return std::nullopt;
    }
    if (answer->Remember)
        Keep(key, *answer);
    TAttempts& after = FAttempts[key];
    after.Count = answered + 1;
    after.LastMs = NowMs();
    after.UsedKept = false;
    return answer->Credentials;
}

QList<TSignIn::TSaved> TSignIn::Saved() const
{
    QList<TSaved> saved;
    for (const auto& [key, user] : FConfig.ReadSavedSignIns()) {
        TSaved entry{key, key, QString(), user};
        const qsizetype colon = key.indexOf(QLatin1Char(':'));
        const qsizetype bar = key.lastIndexOf(QLatin1Char('|'));
        if (colon > 0 && bar > colon) {
            const QString where = key.mid(colon + 1, bar - colon - 1);
            entry.Site = key.startsWith(QLatin1String("proxy:")) ? QStringLiteral("代理服务器 %1").arg(where)
                                                                 : TPermissionPolicy::SiteName(QUrl(where));
            entry.Realm = QString::fromUtf8(QByteArray::fromPercentEncoding(key.mid(bar + 1).toLatin1()));
        }
        saved.append(entry);
    }
    return saved;
}

void TSignIn::Forget(const QString& key)
{
    FConfig.DeleteSavedSignIn(key);
    FSecrets.Remove(key);
    FAttempts.remove(key);
}
