#include "engine/CookieChanges.h"

#include <QFile>

QString TCookieChanges::Key(const QNetworkCookie& cookie)
{
    return QString::fromLatin1(cookie.name().toHex()) + QLatin1Char(' ') + cookie.domain() + QLatin1Char(' ')
           + cookie.path();
}

void TCookieChanges::Record(const QNetworkCookie& cookie, bool set)
{
    const QString key = Key(cookie);
    if (!FLatest.contains(key))
        FOrder.push_back(key);
    FLatest.insert(key, {set, cookie});
}

QByteArray TCookieChanges::ToText() const
{
    QByteArray text;
    for (const QString& key : FOrder) {
        const TChange& change = FLatest[key];
        if (change.Set && change.Cookie.isSessionCookie())
            continue;
        const QByteArray raw = change.Cookie.toRawForm(QNetworkCookie::Full);
        if (raw.contains('\n') || raw.contains('\r'))
            continue;
        text += (change.Set ? "+ " : "- ") + raw + '\n';
    }
    return text;
}

std::vector<TCookieChanges::TChange> TCookieChanges::Parse(const QByteArray& text)
{
    std::vector<TChange> changes;
    for (const QByteArray& line : text.split('\n')) {
        if (line.size() < 3 || (!line.startsWith("+ ") && !line.startsWith("- ")))
            continue;
        const QList<QNetworkCookie> cookies = QNetworkCookie::parseCookies(line.mid(2));
        if (cookies.size() != 1 || cookies[0].name().isEmpty() || cookies[0].domain().isEmpty())
            continue;
        changes.push_back({line[0] == '+', cookies[0]});
    }
    return changes;
}

bool TCookieChanges::Save(const QString& path) const
{
    // Cookies are the user's sign-in: a new file that only its owner reads,
    // never one planted beforehand.
    QFile::remove(path);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::NewOnly, QFileDevice::ReadOwner | QFileDevice::WriteOwner))
        return false;
    const QByteArray text = ToText();
    return file.write(text) == text.size() && file.flush();
}

std::vector<TCookieChanges::TChange> TCookieChanges::Take(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QByteArray text = file.read(4 * 1024 * 1024);
    file.close();
    QFile::remove(path);
    return Parse(text);
}

QUrl TCookieChanges::Origin(const QNetworkCookie& cookie)
{
    QString host = cookie.domain();
    if (host.startsWith(QLatin1Char('.')))
        host.remove(0, 1);
    QUrl url;
    url.setScheme(cookie.isSecure() ? QStringLiteral("https") : QStringLiteral("http"));
    url.setHost(host);
    url.setPath(cookie.path().isEmpty() ? QStringLiteral("/") : cookie.path());
    return url;
}

QNetworkCookie TCookieChanges::ForOrigin(QNetworkCookie cookie)
{
    if (!cookie.domain().startsWith(QLatin1Char('.')))
        cookie.setDomain({});
    return cookie;
}
