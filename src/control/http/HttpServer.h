#pragma once

#include "http/HttpReply.h"
#include "http/HttpRequest.h"
#include "http/HttpRequestParser.h"

#include <QString>
#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

class QObject;

namespace zelvane {

// The transport of the local HTTP API: a listening socket on 127.0.0.1, a
// thread that accepts connections, and worker threads that serve one open
// connection each (at most kMaxConnections connections), so that a client
// that sends nothing or sends slowly holds up no one else. Each connection carries one request: it is read whole
// (head within headTimeout, then exactly Content-Length bytes of body within
// readTimeout), requests a web page could have sent are refused with 403, the
// rest is handed to the handler, and the reply is written whole with
// "Connection: close" before the connection is closed.
//
// When a new client finds every place taken, the connection that has been
// reading its request the longest is dropped to make room; when every open
// connection already holds a whole request, the new client gets 503
// {"ok":false,"error":"too many connections"} at once.
//
// Complete requests reach the handler one at a time, in the order they
// were read whole. The handler runs on the thread of `context` (the main
// thread for an object living there) through a queued call, and the server
// waits for its answer at most `answerTimeout` from the moment the request
// was read: past that the client gets 503 {"ok":false,"error":"timeout"},
// and a request the handler has not started yet is not run at all, while one
// it has started is waited for and answered with its result. Without a
// context the handler runs on the connection's own thread. An exception
// from the handler becomes a 500 reply.
// A reply with a LaterReply is answered when that is given, within its own
// limit, without holding up the requests behind it.
class HttpServer {
public:
    using Clock = std::chrono::steady_clock;
    using Handler = std::function<HttpReply(const HttpRequest&)>;

    struct Options {
        // How long the server waits for the handler's answer.
        std::chrono::milliseconds answerTimeout{8000};
        // How long a client may take to send the request line and header
        // fields, and its whole request; an idle or slow client is then
        // dropped (with 408 when it had sent something).
        std::chrono::milliseconds headTimeout{2000};
        std::chrono::milliseconds readTimeout{10000};
        // How long a client may take to read its whole reply.
        std::chrono::milliseconds writeTimeout{10000};
        HttpLimits limits;
        // Asked first, on the server's own thread: a reply it gives is sent
        // without waiting for the handler's thread.
        std::function<std::optional<HttpReply>(const HttpRequest&)> quickAnswer;
    };

    // `context` must outlive the running server.
    HttpServer(QObject* context, Handler handler);
    HttpServer(QObject* context, Handler handler, Options options);
    ~HttpServer();
    HttpServer(const HttpServer&) = delete;
    HttpServer& operator=(const HttpServer&) = delete;

    // Listens on 127.0.0.1 and `port` (0: the system chooses) with a backlog
    // of 128. On a running server the new socket is bound first and the old
    // one given up only once that worked; asking again for the port already
    // bound keeps the server as it is. False with lastError() set when the
    // socket could not be made, bound or put to listen: a running server then
    // keeps serving on its old port.
    bool start(quint16 port);
    // Wakes the server thread wherever it waits (accept, read, the handler's
    // answer, write), joins it and then closes the sockets. A connection being
    // served is closed unanswered, unless its later reply has been given by
    // then. Safe at any time and more than once.
    void stop();

    bool isRunning() const;
    // The port bound by the last successful start (0 before any).
    quint16 port() const { return m_port.load(); }
    // Why the last start failed or the server thread ended; empty when neither.
    QString lastError() const;

    struct ConnectionCounts {
        int open = 0;     // connections being served
        int reading = 0;  // of those, the ones still receiving their request
    };
    ConnectionCounts connectionCounts() const;

    static constexpr int kListenBacklog = 128;
    static constexpr int kMaxConnections = 64;

private:
    struct Shared;
    struct Listener;
    struct Exchange;
    struct Connection;
    static void serve(const std::shared_ptr<Listener>& listener);
    static void admit(const std::shared_ptr<Listener>& listener, int fd);
    static void work(const std::shared_ptr<Listener>& listener);
    static void serveRequest(Listener& listener, Connection& connection);
    static std::optional<HttpReply> answer(Listener& listener, const HttpRequest& request,
                                           Clock::time_point deadline);
    static std::optional<HttpReply> handOver(Listener& listener, const HttpRequest& request,
                                             Clock::time_point deadline);
    static std::optional<HttpReply> laterAnswer(Listener& listener, LaterReply& later);
    void stopLocked();

    const std::shared_ptr<Shared> m_shared;
    std::atomic<quint16> m_port{0};
    mutable std::mutex m_mutex;
    std::shared_ptr<Listener> m_listener;
    std::thread m_thread;
};

}  // namespace zelvane
