#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include <chrono>

// Bounds of one fetch, so a server that stalls or floods cannot hold the
// calling thread for ever or exhaust memory.
struct TFetchLimits
{
    std::chrono::milliseconds FConnectTimeout{10000}; // name resolution and TCP connect
    std::chrono::milliseconds FReadTimeout{15000};    // longest silence once connected
    std::chrono::milliseconds FTotalTimeout{60000};   // the whole exchange, against trickling servers
    qsizetype FMaxBodyBytes = 4 * 1024 * 1024;        // largest body read, kept or dropped
    int FMaxHeaderLines = 255;                        // header lines of one reply
    qsizetype FMaxHeaderBytes = 64 * 1024;            // header bytes of one reply
};

// One HTTP/1.1 GET of an "http" address over a new direct connection; the
// reply body decoded with the system code page. Only a 2xx reply succeeds.
// Raises EAppError: with the status line for a reply outside 2xx (redirects
// included: they are never followed), otherwise with the network layer's
// text or the text of the limit that was hit.
QString FetchUrlText(const QString& url, const TFetchLimits& limits = {});

// The same fetch for a file: the body's bytes as they came. A counted body
// that ends early is an error here.
QByteArray FetchUrlBytes(const QString& url, const TFetchLimits& limits = {});

namespace HttpFetch {

// The value of the Host header: the host alone on port 80, else host:port.
QByteArray HostHeaderValue(const QByteArray& host, int port);

// The header lines sent after the request line, in order, without line ends.
QList<QByteArray> RequestHeaderLines(const QByteArray& host, int port);

} // namespace HttpFetch
