#pragma once

#include <QString>

class QUrl;

#include <optional>

// The service host a config.ini may name instead of the build's own:
// "[SYSTEM]" "ServiceHost", a host name, an IPv4 address or a bracketed IPv6
// address, each with an optional ":port". Nothing else: no scheme, path,
// user, query, spaces or non-ASCII characters.

// The host as given, or nothing when the text is not one.
std::optional<QString> ParseServiceHost(const QString& text);

// The host of config.ini when it names a valid one, else builtIn. An invalid
// value is reported on the debug channel and ignored.
QString ConfiguredServiceHost(const QString& configPath, const QString& builtIn);

// Whether an address belongs to the service: http or https, the service's
// host (case aside) and its port (the scheme's own when the host names none).
bool IsServiceOrigin(const QUrl& address, const QString& serviceHost);
