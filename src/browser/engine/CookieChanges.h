#pragma once

#include <QByteArray>
#include <QHash>
#include <QNetworkCookie>
#include <QString>
#include <QUrl>

#include <optional>
#include <vector>

// The cookies a session set or removed, kept so they survive a restart the
// engine's own store has not caught up with: it writes its file only every
// half minute and may lose the last changes when the process ends soon after.
class TCookieChanges
{
public:
    struct TChange
    {
        bool Set = true; // false: the cookie was removed
        QNetworkCookie Cookie;
    };

    void Added(const QNetworkCookie& cookie) { Record(cookie, true); }
    void Removed(const QNetworkCookie& cookie) { Record(cookie, false); }
    bool IsEmpty() const { return FLatest.isEmpty(); }

    // One line per change, the latest state of each cookie. Session cookies
    // end with the session, so only their removal is written.
    QByteArray ToText() const;
    // The changes of a text; lines that are not one cookie are skipped.
    static std::vector<TChange> Parse(const QByteArray& text);

    // Writes the changes for the next start, readable by this user only.
    bool Save(const QString& path) const;
    // Reads and removes a file that Save wrote; nothing when there is none.
    static std::vector<TChange> Take(const QString& path);

    // The address a cookie belongs to. A cookie without a leading dot in its
    // domain is for that host alone, and stays so only when it is set
    // through this address without a domain attribute.
    static QUrl Origin(const QNetworkCookie& cookie);
    static QNetworkCookie ForOrigin(QNetworkCookie cookie);

private:
    static QString Key(const QNetworkCookie& cookie);
    void Record(const QNetworkCookie& cookie, bool set);

    QHash<QString, TChange> FLatest;
    std::vector<QString> FOrder; // keys in the order first seen
};
