#include "service/ServiceHost.h"

#include "config/ConfigFile.h"

#include <QDebug>
#include <QUrl>

namespace {

// Longest host name DNS allows.
constexpr qsizetype MaxHostLength = 253;

bool IsHostName(QStringView host)
{
    if (host.isEmpty() || host.size() > MaxHostLength)
        return false;
    for (const QStringView label : host.split(u'.')) {
        if (label.isEmpty() || label.size() > 63 || label.startsWith(u'-') || label.endsWith(u'-'))
            return false;
        for (const QChar c : label)
            if (!(c.isDigit() || (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || c == u'-'))
                return false;
    }
    return true;
}

bool IsPort(QStringView port)
{
    if (port.isEmpty() || port.size() > 5)
        return false;
    for (const QChar c : port)
        if (c < u'0' || c > u'9')
            return false;
    const int value = port.toInt();
    return value >= 1 && value <= 65535;
}

} // namespace

std::optional<QString> ParseServiceHost(const QString& text)
{
    if (text.isEmpty() || text.size() > MaxHostLength + 8)
        return std::nullopt;
    QStringView host(text);
    QStringView port;
    bool hasPort = false;
    if (text.startsWith(u'[')) {
        const qsizetype close = text.indexOf(u']');
        if (close < 0)
            return std::nullopt;
        const QString address = text.mid(1, close - 1);
        // Only hex digits, colons and dots: no zone ids, nothing a URL would read differently.
        for (const QChar c : address)
            if (!(c.isDigit() || (c.toLower() >= u'a' && c.toLower() <= u'f') || c == u':' || c == u'.'))
                return std::nullopt;
        // Qt's own address parser decides what an IPv6 literal is.
        const QUrl probe(QStringLiteral("http://[") + address + QStringLiteral("]/"), QUrl::StrictMode);
        if (!probe.isValid() || probe.host().isEmpty() || !probe.host().contains(u':'))
            return std::nullopt;
        const QStringView rest = QStringView(text).mid(close + 1);
        if (!rest.isEmpty()) {
            if (!rest.startsWith(u':'))
                return std::nullopt;
            port = rest.mid(1);
            hasPort = true;
        }
    } else {
        const qsizetype colon = text.indexOf(u':');
        if (colon >= 0) {
            if (text.indexOf(u':', colon + 1) >= 0)
                return std::nullopt; // a bare IPv6 address or a second port
            host = QStringView(text).left(colon);
            port = QStringView(text).mid(colon + 1);
            hasPort = true;
        }
        if (!IsHostName(host))
            return std::nullopt;
    }
    if (hasPort && !IsPort(port))
        return std::nullopt;
    return text;
}

QString ConfiguredServiceHost(const QString& configPath, const QString& builtIn)
{
    const QString value = TConfigFile(configPath).ReadServiceHost();
    if (value.isEmpty())
        return builtIn;
    if (const std::optional<QString> host = ParseServiceHost(value))
        return *host;
    qDebug().noquote() << QStringLiteral("ServiceHost in %1 is not a host or host:port, ignored: %2")
                              .arg(configPath, value.left(80));
    return builtIn;
}

bool IsServiceOrigin(const QUrl& address, const QString& serviceHost)
{
    const QUrl service(QStringLiteral("http://") + serviceHost);
    const QString scheme = address.scheme().toLower();
    if (scheme != QLatin1String("http") && scheme != QLatin1String("https"))
        return false;
    const int schemePort = scheme == QLatin1String("https") ? 443 : 80;
    return service.isValid() && !service.host().isEmpty()
           && address.host().compare(service.host(), Qt::CaseInsensitive) == 0
           && address.port(schemePort) == service.port(schemePort);
}
