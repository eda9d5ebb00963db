#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include <atomic>
#include <mutex>
#include <thread>

// What the server sends once it has read a request.
struct TRawReply
{
    QByteArray Head;     // bytes sent first, exactly as given
    qint64 Filler = 0;   // then this many 'x' bytes, for huge bodies
    int PaceMs = 0;      // > 0: Head goes out one byte per PaceMs
    bool HoldOpen = false; // after sending, keep the connection open and say nothing more
};

// An HTTP server on 127.0.0.1 written on plain sockets, so the test sees the
// exact request bytes and the client sees exactly the scripted reply bytes.
// Serves one connection at a time on its own thread, closing each after the
// reply; stops promptly when destroyed, even in the middle of a slow reply.
class TRawHttpServer
{
public:
    explicit TRawHttpServer(TRawReply reply);
    ~TRawHttpServer();
    TRawHttpServer(const TRawHttpServer&) = delete;
    TRawHttpServer& operator=(const TRawHttpServer&) = delete;

    int Port() const { return FPort; }
    QString Url(const QString& pathAndQuery) const;
    // The request bytes of every connection, in order of arrival.
    QList<QByteArray> Requests() const;
    int Connections() const { return FConnections; }

private:
    void Run();
    void Serve(int client);
    bool WaitReadable(int fd, int timeoutMs) const; // false when stopping or timed out
    bool Stopping(int waitMs) const;                // waits up to waitMs for the end
    bool SendAll(int client, const char* data, qsizetype size) const;

    const TRawReply FReply;
    int FListen = -1;
    int FWake[2] = {-1, -1};
    int FPort = 0;
    std::atomic<int> FConnections{0};
    mutable std::mutex FMutex;
    QList<QByteArray> FRequests;
    std::thread FThread;
};

// A 200 reply with a counted body.
QByteArray HttpOk(const QByteArray& body);

// A loopback port with nothing listening on it, for as long as the object
// lives: connecting to it is refused.
class TClosedPort
{
public:
    TClosedPort();
    ~TClosedPort();
    TClosedPort(const TClosedPort&) = delete;
    TClosedPort& operator=(const TClosedPort&) = delete;
    int Port() const { return FPort; }

private:
    int FSocket = -1;
    int FPort = 0;
};

// A loopback listener whose queue of pending connections is full, so a
// further connection attempt is never answered.
class TFullListener
{
public:
    TFullListener();
    ~TFullListener();
    TFullListener(const TFullListener&) = delete;
    TFullListener& operator=(const TFullListener&) = delete;
    int Port() const { return FPort; }
    bool Ready() const { return FReady; }

private:
    int FListen = -1;
    QList<int> FQueued;
    int FPort = 0;
    bool FReady = false;
};
