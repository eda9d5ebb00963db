#include "RawHttpServer.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <stdexcept>

namespace {

int LoopbackSocket(int* port)
{
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        throw std::runtime_error("socket failed");
    const int on = 1;
    setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = 0;
    socklen_t length = sizeof address;
    if (bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0
        || getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        close(fd);
        throw std::runtime_error("bind failed");
    }
    *port = ntohs(address.sin_port);
    return fd;
}

} // namespace

TRawHttpServer::TRawHttpServer(TRawReply reply) : FReply(std::move(reply))
{
    FListen = LoopbackSocket(&FPort);
    if (listen(FListen, 16) != 0 || pipe2(FWake, O_CLOEXEC) != 0) {
        close(FListen);
        throw std::runtime_error("listen failed");
    }
    FThread = std::thread([this] { Run(); });
}

TRawHttpServer::~TRawHttpServer()
{
    const char stop = 1;
    static_cast<void>(write(FWake[1], &stop, 1));
    FThread.join();
    close(FListen);
    close(FWake[0]);
    close(FWake[1]);
}

QString TRawHttpServer::Url(const QString& pathAndQuery) const
{
    return QStringLiteral("http://127.0.0.1:%1%2").arg(FPort).arg(pathAndQuery);
}

QList<QByteArray> TRawHttpServer::Requests() const
{
    const std::lock_guard lock(FMutex);
    return FRequests;
}

bool TRawHttpServer::WaitReadable(int fd, int timeoutMs) const
{
    pollfd fds[2] = {{fd, POLLIN, 0}, {FWake[0], POLLIN, 0}};
    if (poll(fds, 2, timeoutMs) <= 0)
        return false;
    return (fds[1].revents & POLLIN) == 0 && fds[0].revents != 0;
}

bool TRawHttpServer::Stopping(int waitMs) const
{
    pollfd wake{FWake[0], POLLIN, 0};
    return poll(&wake, 1, waitMs) > 0;
}

bool TRawHttpServer::SendAll(int client, const char* data, qsizetype size) const
{
    while (size > 0) {
        pollfd fds[2] = {{client, POLLOUT, 0}, {FWake[0], POLLIN, 0}};
        if (poll(fds, 2, 5000) <= 0 || (fds[1].revents & POLLIN) != 0)
            return false;
        const ssize_t sent = send(client, data, static_cast<size_t>(size), MSG_NOSIGNAL | MSG_DONTWAIT);
        if (sent < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
            continue;
        if (sent <= 0)
            return false;
        data += sent;
        size -= sent;
    }
    return true;
}

void TRawHttpServer::Run()
{
    for (;;) {
        pollfd fds[2] = {{FListen, POLLIN, 0}, {FWake[0], POLLIN, 0}};
        if (poll(fds, 2, -1) < 0 || (fds[1].revents & POLLIN) != 0)
            return;
        const int client = accept4(FListen, nullptr, nullptr, SOCK_CLOEXEC);
        if (client < 0)
            continue;
        ++FConnections;
        Serve(client);
        close(client);
    }
}

void TRawHttpServer::Serve(int client)
{
    QByteArray request;
    char buffer[4096];
    // The request ends with its empty line; anything more that follows at
    // once is kept too, so stray bytes after it show up in the test.
    bool ended = false;
    while (request.size() < 1024 * 1024) {
        if (!WaitReadable(client, ended ? 100 : 10000))
            break;
        const ssize_t got = recv(client, buffer, sizeof buffer, 0);
        if (got <= 0)
            break;
        request.append(buffer, got);
        ended = request.contains("\r\n\r\n");
    }
    {
        const std::lock_guard lock(FMutex);
        FRequests.append(request);
    }
    if (FReply.PaceMs > 0) {
        for (qsizetype i = 0; i < FReply.Head.size(); ++i) {
            if (!SendAll(client, FReply.Head.constData() + i, 1))
                return;
            if (Stopping(FReply.PaceMs))
                return;
        }
    } else if (!SendAll(client, FReply.Head.constData(), FReply.Head.size())) {
        return;
    }
    const QByteArray block(64 * 1024, 'x');
    for (qint64 left = FReply.Filler; left > 0;) {
        const qsizetype size = static_cast<qsizetype>(std::min<qint64>(left, block.size()));
        if (!SendAll(client, block.constData(), size))
            return;
        left -= size;
    }
    if (FReply.HoldOpen) {
        // Until the client gives up or the test ends.
        while (WaitReadable(client, -1) && recv(client, buffer, sizeof buffer, 0) > 0) {
        }
        return;
    }
    shutdown(client, SHUT_WR);
    // Let the client read to the end before the socket goes away.
    while (WaitReadable(client, 2000) && recv(client, buffer, sizeof buffer, 0) > 0) {
    }
}

TClosedPort::TClosedPort()
{
    // Bound but not listening: the port stays ours and every connect is refused.
    FSocket = LoopbackSocket(&FPort);
}

TClosedPort::~TClosedPort()
{
    close(FSocket);
}

TFullListener::TFullListener()
{
    FListen = LoopbackSocket(&FPort);
    if (listen(FListen, 0) != 0)
        return;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(static_cast<uint16_t>(FPort));
    // Fill the accept queue; once a connect does not complete, it is full.
    for (int i = 0; i < 8; ++i) {
        const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
        FQueued.append(fd);
        if (connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0)
            continue;
        pollfd pending{fd, POLLOUT, 0};
        if (errno == EINPROGRESS && poll(&pending, 1, 300) == 0) {
            FReady = true;
            return;
        }
    }
}

TFullListener::~TFullListener()
{
    for (const int fd : FQueued)
        close(fd);
    close(FListen);
}

QByteArray HttpOk(const QByteArray& body)
{
    return "HTTP/1.1 200 OK\r\nContent-Type: text/html\r\nContent-Length: " + QByteArray::number(body.size()) + "\r\n\r\n"
           + body;
}
