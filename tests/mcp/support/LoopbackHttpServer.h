#pragma once

#include <QByteArray>
#include <QList>
#include <QMap>
#include <atomic>
#include <deque>
#include <mutex>
#include <thread>

namespace zelvane::mcp::testsupport {

// A request as the server read it.
struct ReceivedRequest {
    QByteArray raw;
    QByteArray method;
    QByteArray target;
    // Header fields by lower-cased name, in the order they came.
    QList<std::pair<QByteArray, QByteArray>> headers;
    QByteArray body;

    QByteArray header(const QByteArray& lowerName) const;
    bool hasHeader(const QByteArray& lowerName) const;
};

// What the server does with one connection.
struct ScriptedReply {
    enum class Action {
        reply,         // read the request, send `bytes`, close
        closeAtOnce,   // read the request, close without a word
        stayMute,      // read the request, answer nothing until the server stops
    };
    Action action = Action::reply;
    QByteArray bytes;
    // Sent in pieces of this size with a pause between them; 0 sends at once.
    qsizetype pieceSize = 0;

    // A whole HTTP/1.1 reply with a Content-Length; no Content-Type header
    // when `contentType` is null.
    static ScriptedReply http(int status, const QByteArray& body,
                              const QByteArray& contentType = "application/json; charset=utf-8");
    static ScriptedReply raw(const QByteArray& bytes);
};

// A blocking HTTP server on 127.0.0.1 and a free port, serving one
// connection at a time on its own thread. Each connection takes the next
// scripted reply (a 200 {"ok":true} when none is left) and every request is
// recorded before the reply goes out.
class LoopbackHttpServer {
public:
    LoopbackHttpServer();
    ~LoopbackHttpServer();
    LoopbackHttpServer(const LoopbackHttpServer&) = delete;
    LoopbackHttpServer& operator=(const LoopbackHttpServer&) = delete;

    quint16 port() const { return m_port; }
    void enqueue(const ScriptedReply& reply);
    QList<ReceivedRequest> requests() const;
    int connectionCount() const { return m_connections.load(); }

private:
    void serve();
    void serveConnection(int fd);
    ScriptedReply nextReply();

    int m_listenFd = -1;
    int m_wakeFds[2] = {-1, -1};
    quint16 m_port = 0;
    std::atomic<bool> m_stopping{false};
    std::atomic<int> m_connections{0};
    mutable std::mutex m_mutex;
    std::deque<ScriptedReply> m_replies;
    QList<ReceivedRequest> m_requests;
    std::thread m_thread;
};

// A port on 127.0.0.1 that is bound but not listening, so that every
// connection to it is refused for as long as the object lives.
class RefusingPort {
public:
    RefusingPort();
    ~RefusingPort();
    RefusingPort(const RefusingPort&) = delete;
    RefusingPort& operator=(const RefusingPort&) = delete;
    quint16 port() const { return m_port; }

private:
    int m_fd = -1;
    quint16 m_port = 0;
};

}  // namespace zelvane::mcp::testsupport
