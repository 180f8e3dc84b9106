#include "http/HttpServer.h"

#include "remote/SocketSupport.h"
#include "ThreadHandOver.h"

#include <QMetaObject>
#include <QObject>

#include <arpa/inet.h>
#include <cerrno>
#include <condition_variable>
#include <netinet/in.h>
#include <poll.h>
#include <pthread.h>
#include <sys/socket.h>

#include <algorithm>
#include <exception>
#include <deque>
#include <list>
#include <vector>

namespace zelvane {

using namespace remote;

// What every listener of one server shares: fixed at construction.
struct HttpServer::Shared {
    QObject* context = nullptr;
    std::shared_ptr<const Handler> handler;
    Options options;
    std::mutex mutex;
    QString error;

    void setError(QString text)
    {
        const std::lock_guard lock(mutex);
        error = std::move(text);
    }
};

// One request handed to the handler's thread, and its answer.
struct HttpServer::Exchange {
    enum class State { queued, running, answered, dropped, abandoned };
    std::mutex mutex;
    std::condition_variable changed;
    State state = State::queued;
    bool stopping = false;
    HttpReply reply;

    void finish(State to, HttpReply answer = {})
    {
        {
            const std::lock_guard lock(mutex);
            if (state != State::queued && state != State::running)
                return;
            state = to;
            reply = std::move(answer);
        }
        changed.notify_all();
    }
};

// One accepted connection, served by one worker thread.
struct HttpServer::Connection {
    // Closed by its worker, under the listener's mutex, so that the accept
    // thread never shuts down a descriptor number used again.
    int fd = -1;
    Clock::time_point opened;
    // Still receiving its request; such a connection may be dropped to make
    // room for a new one.
    bool reading = true;
    bool finished = false;
    std::atomic<bool> evicted{false};
};

// One listening socket, the thread that accepts on it and the worker
// threads that serve its connections. Workers stay for the listener's life
// and wait for the next connection, so that none is started per request.
struct HttpServer::Listener {
    std::shared_ptr<Shared> shared;
    UniqueFd socket;
    WakeSignal wake;
    quint16 port = 0;
    std::atomic<bool> running{true};
    std::mutex mutex;
    bool stopping = false;
    std::list<std::shared_ptr<Connection>> connections;
    // Accepted connections no worker has taken yet.
    std::deque<std::shared_ptr<Connection>> waiting;
    std::condition_variable connectionWaiting;
    std::vector<std::thread> workers;
    qsizetype idleWorkers = 0;
    // One complete request at a time goes to the handler.
    bool handing = false;
    std::condition_variable handedOver;
    std::shared_ptr<Exchange> pending;
};

namespace {

// What a request's queued call to the handler's thread is handed.
constexpr char kRequestHandOver = 0;

// Marks an exchange dropped when its queued call is destroyed unrun (its
// context went away), so that the server does not wait for nothing.
struct DropGuard {
    std::function<void()> onDrop;
    ~DropGuard() { onDrop(); }
};

HttpReply callHandler(const HttpServer::Handler& handler, const HttpRequest& request)
{
    try {
        return handler(request);
    } catch (const std::exception& error) {
        return HttpReply::error(QStringLiteral("internal error: ") + QString::fromLocal8Bit(error.what()), 500);
    } catch (...) {
        return HttpReply::error(QStringLiteral("internal error"), 500);
    }
}

// Accept errors that pass: the peer gave up, or descriptors or memory ran
// short for a moment.
bool acceptErrorPasses(int error)
{
    switch (error) {
    case EAGAIN:
#if EWOULDBLOCK != EAGAIN
    case EWOULDBLOCK:
#endif
    case EINTR:
    case ECONNABORTED:
    case EPROTO:
    case EPERM:
    case EMFILE:
    case ENFILE:
    case ENOBUFS:
    case ENOMEM:
    case ENETDOWN:
    case ENOPROTOOPT:
    case EHOSTDOWN:
    case ENONET:
    case EHOSTUNREACH:
    case EOPNOTSUPP:
    case ENETUNREACH:
        return true;
    default:
        return false;
    }
}

// After a reply sent before the request was read to its end, reads and
// discards what the client is still sending for a short while, so that
// closing does not reset the connection before the client has the reply.
void drainBeforeClose(int fd, const WakeSignal& wake)
{
    ::shutdown(fd, SHUT_WR);
    const Clock::time_point deadline = Clock::now() + std::chrono::seconds(1);
    qint64 discarded = 0;
    char chunk[16384];
    while (discarded < 4 * 1024 * 1024 && waitFor(fd, POLLIN, wake, deadline) == WaitResult::ready) {
        const ssize_t count = ::recv(fd, chunk, sizeof chunk, 0);
        if (count == 0 || (count < 0 && errno != EINTR && errno != EAGAIN && errno != EWOULDBLOCK))
            return;
        discarded += std::max<ssize_t>(count, 0);
    }
}

}  // namespace

HttpServer::HttpServer(QObject* context, Handler handler) : HttpServer(context, std::move(handler), Options())
{
}

HttpServer::HttpServer(QObject* context, Handler handler, Options options) : m_shared(std::make_shared<Shared>())
{
    m_shared->context = context;
    m_shared->handler = std::make_shared<const Handler>(std::move(handler));
    m_shared->options = options;
}

HttpServer::~HttpServer()
{
    stop();
}

bool HttpServer::start(quint16 port)
{
    const std::lock_guard lock(m_mutex);
    if (m_listener && m_listener->running.load() && port != 0 && port == m_port.load())
        return true;
    if (m_listener && !m_listener->running.load())
        stopLocked();  // ended on an error: its socket may still hold the port

    auto listener = std::make_shared<Listener>();
    listener->shared = m_shared;
    listener->socket.reset(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
    if (!listener->socket.valid() || !listener->wake.valid()) {
        m_shared->setError(QStringLiteral("cannot create a TCP socket: ") + errorText(errno));
        return false;
    }
    const int on = 1;
    ::setsockopt(listener->socket.get(), SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    ::inet_pton(AF_INET, "127.0.0.1", &address.sin_addr);
    if (::bind(listener->socket.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        m_shared->setError(QStringLiteral("cannot bind 127.0.0.1:%1: %2").arg(port).arg(errorText(errno)));
        return false;
    }
    if (::listen(listener->socket.get(), kListenBacklog) != 0) {
        m_shared->setError(QStringLiteral("cannot listen on 127.0.0.1:%1: %2").arg(port).arg(errorText(errno)));
        return false;
    }
    sockaddr_in bound{};
    socklen_t length = sizeof bound;
    ::getsockname(listener->socket.get(), reinterpret_cast<sockaddr*>(&bound), &length);
    listener->port = ntohs(bound.sin_port);

    // The new socket is bound: only now is the old one given up.
    stopLocked();
    try {
        m_thread = std::thread(&HttpServer::serve, listener);
    } catch (const std::system_error& error) {
        m_shared->setError(QStringLiteral("cannot start the HTTP thread: ") + QString::fromLocal8Bit(error.what()));
        return false;
    }
    m_listener = std::move(listener);
    m_port = m_listener->port;
    m_shared->setError({});
    return true;
}

void HttpServer::stop()
{
    const std::lock_guard lock(m_mutex);
    stopLocked();
}

void HttpServer::stopLocked()
{
    std::shared_ptr<Listener> listener = std::move(m_listener);
    std::thread thread = std::move(m_thread);
    if (!listener)
        return;
    listener->running = false;
    listener->wake.raise();
    {
        const std::lock_guard lock(listener->mutex);
        listener->stopping = true;
        if (listener->pending) {
            {
                const std::lock_guard exchangeLock(listener->pending->mutex);
                listener->pending->stopping = true;
            }
            listener->pending->changed.notify_all();
        }
    }
    listener->handedOver.notify_all();
    remote::joinUnlessCurrent(thread);
    // The listening socket closes with the last reference, after the join.
}

bool HttpServer::isRunning() const
{
    const std::lock_guard lock(m_mutex);
    return m_listener && m_listener->running.load();
}

HttpServer::ConnectionCounts HttpServer::connectionCounts() const
{
    const std::lock_guard lock(m_mutex);
    ConnectionCounts counts;
    if (!m_listener)
        return counts;
    const std::lock_guard listenerLock(m_listener->mutex);
    for (const std::shared_ptr<Connection>& connection : m_listener->connections) {
        if (connection->finished || connection->evicted.load())
            continue;
        ++counts.open;
        counts.reading += connection->reading ? 1 : 0;
    }
    return counts;
}

QString HttpServer::lastError() const
{
    const std::lock_guard lock(m_shared->mutex);
    return m_shared->error;
}

void HttpServer::serve(const std::shared_ptr<Listener>& listener)
{
    ::pthread_setname_np(::pthread_self(), "zelvane-http");
    const int listenFd = listener->socket.get();
    while (listener->running.load()) {
        const int fd = ::accept4(listenFd, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
        if (fd >= 0) {
            admit(listener, fd);
            continue;
        }
        int error = errno;
        if (error == EAGAIN || error == EWOULDBLOCK) {
            const WaitResult wait = waitFor(listenFd, POLLIN, listener->wake, std::nullopt);
            if (wait == WaitResult::woken)
                break;
            if (wait == WaitResult::ready)
                continue;
            error = errno;  // poll() itself failed
        } else if (acceptErrorPasses(error)) {
            // Out of descriptors the pending connection stays ready: pause
            // rather than spin.
            if (error != EINTR && listener->wake.waitRaised(std::chrono::milliseconds(50)))
                break;
            continue;
        }
        listener->shared->setError(QStringLiteral("HTTP accept failed: ") + errorText(error));
        listener->running = false;
        break;
    }
    // Every worker sees the raised signal (or the stop below) and ends; they
    // are joined before the listener goes.
    listener->wake.raise();
    std::vector<std::thread> workers;
    {
        const std::lock_guard lock(listener->mutex);
        listener->stopping = true;
        workers.swap(listener->workers);
    }
    listener->handedOver.notify_all();
    listener->connectionWaiting.notify_all();
    for (std::thread& worker : workers)
        worker.join();
    // Connections no worker took are closed unanswered.
    const std::lock_guard lock(listener->mutex);
    for (const std::shared_ptr<Connection>& connection : listener->connections) {
        if (connection->fd >= 0)
            ::close(connection->fd);
        connection->fd = -1;
    }
    listener->connections.clear();
    listener->waiting.clear();
}

void HttpServer::admit(const std::shared_ptr<Listener>& listener, int fd)
{
    UniqueFd accepted(fd);
    const std::unique_lock lock(listener->mutex);
    listener->connections.remove_if([](const std::shared_ptr<Connection>& connection) { return connection->finished; });

    qsizetype open = 0;
    std::shared_ptr<Connection> oldestReading;
    for (const std::shared_ptr<Connection>& connection : listener->connections) {
        if (connection->evicted.load())
            continue;
        ++open;
        if (connection->reading && (!oldestReading || connection->opened < oldestReading->opened))
            oldestReading = connection;
    }
    if (open >= kMaxConnections) {
        if (!oldestReading) {
            // Every place holds a whole request: this client is told at once.
            const QByteArray reply =
                serializeReply(HttpReply::error(QStringLiteral("too many connections"), 503));
            // What the client has sent already is read away so that closing
            // does not reset the connection over the reply.
            char chunk[16384];
            for (int reads = 0; reads < 4 && ::recv(accepted.get(), chunk, sizeof chunk, MSG_DONTWAIT) > 0; ++reads) {
            }
            ::send(accepted.get(), reply.constData(), size_t(reply.size()), MSG_NOSIGNAL | MSG_DONTWAIT);
            ::shutdown(accepted.get(), SHUT_WR);
            return;
        }
        // The connection that has been reading the longest makes room; its
        // worker wakes on the shut-down socket and lets it go unanswered.
        oldestReading->evicted = true;
        ::shutdown(oldestReading->fd, SHUT_RDWR);
    }

    // Each waiting connection needs a worker of its own.
    if (qsizetype(listener->waiting.size()) + 1 > listener->idleWorkers &&
        qsizetype(listener->workers.size()) < kMaxConnections + 1) {
        try {
            listener->workers.emplace_back(&HttpServer::work, listener);
        } catch (const std::system_error&) {
            if (listener->workers.empty())
                return;  // no thread to serve it: the client is let go
        }
    }
    auto connection = std::make_shared<Connection>();
    connection->fd = accepted.release();
    connection->opened = Clock::now();
    listener->connections.push_back(connection);
    listener->waiting.push_back(std::move(connection));
    listener->connectionWaiting.notify_one();
}

void HttpServer::work(const std::shared_ptr<Listener>& listener)
{
    ::pthread_setname_np(::pthread_self(), "zelvane-http-c");
    for (;;) {
        std::shared_ptr<Connection> connection;
        {
            std::unique_lock lock(listener->mutex);
            ++listener->idleWorkers;
            listener->connectionWaiting.wait(lock, [&] { return listener->stopping || !listener->waiting.empty(); });
            --listener->idleWorkers;
            if (listener->stopping)
                return;
            connection = std::move(listener->waiting.front());
            listener->waiting.pop_front();
        }
        serveRequest(*listener, *connection);
        const std::lock_guard lock(listener->mutex);
        ::close(connection->fd);
        connection->fd = -1;
        connection->finished = true;
    }
}

void HttpServer::serveRequest(Listener& listener, Connection& connection)
{
    const int fd = connection.fd;
    const Options& options = listener.shared->options;
    const Clock::time_point headDeadline = connection.opened + std::min(options.headTimeout, options.readTimeout);
    const Clock::time_point readDeadline = connection.opened + options.readTimeout;
    QByteArray received;
    bool peerClosed = false;
    bool continueSent = false;
    HttpParse parse;
    for (;;) {
        parse = parseHttpRequest(received, peerClosed, options.limits);
        if (connection.evicted.load())
            return;
        if (parse.outcome != HttpParse::Outcome::incomplete)
            break;
        const Clock::time_point deadline = parse.headRead ? readDeadline : headDeadline;
        if (parse.expectsContinue && !continueSent) {
            continueSent = true;
            if (sendAll(fd, "HTTP/1.1 100 Continue\r\n\r\n", listener.wake, deadline) != SendResult::sent)
                return;
        }
        // Read first: the bytes are usually there already, and a poll()
        // is needed only when they are not.
        char chunk[65536];
        const ssize_t count = ::recv(fd, chunk, sizeof chunk, 0);
        if (count > 0) {
            received.append(chunk, count);
            continue;
        }
        if (count == 0) {
            peerClosed = true;
            continue;
        }
        if (errno == EINTR)
            continue;
        if (errno != EAGAIN && errno != EWOULDBLOCK)
            return;
        const WaitResult wait = waitFor(fd, POLLIN, listener.wake, deadline);
        if (wait == WaitResult::timedOut) {
            // A client that sent nothing is simply let go.
            if (!received.isEmpty()) {
                sendAll(fd, serializeReply(HttpReply::error(QStringLiteral("request timeout"), 408)), listener.wake,
                        Clock::now() + std::chrono::milliseconds(200));
            }
            return;
        }
        if (wait != WaitResult::ready)
            return;
    }
    {
        const std::lock_guard lock(listener.mutex);
        connection.reading = false;
    }
    const Clock::time_point answerDeadline = Clock::now() + options.answerTimeout;

    std::optional<HttpReply> reply;
    switch (parse.outcome) {
    case HttpParse::Outcome::dropped:
    case HttpParse::Outcome::incomplete:
        return;
    case HttpParse::Outcome::rejected:
        reply = parse.reply;
        break;
    case HttpParse::Outcome::complete:
        reply = refuseForeignRequest(parse.request, listener.port);
        if (!reply)
            reply = answer(listener, parse.request, answerDeadline);
        break;
    }
    if (!reply)
        return;
    const SendResult sent = sendAll(fd, serializeReply(*reply), listener.wake, Clock::now() + options.writeTimeout);
    const bool unreadInput = parse.outcome == HttpParse::Outcome::rejected || received.size() > parse.requestSize;
    if (sent == SendResult::sent && unreadInput && !peerClosed)
        drainBeforeClose(fd, listener.wake);
}

std::optional<HttpReply> HttpServer::answer(Listener& listener, const HttpRequest& request, Clock::time_point deadline)
{
    const Shared& shared = *listener.shared;
    if (shared.options.quickAnswer) {
        if (std::optional<HttpReply> quick = shared.options.quickAnswer(request))
            return quick;
    }
    std::optional<HttpReply> reply = handOver(listener, request, deadline);
    // The wait for a later answer holds no place in the line to the handler.
    if (reply && reply->later)
        reply = laterAnswer(listener, *reply->later);
    return reply;
}

std::optional<HttpReply> HttpServer::handOver(Listener& listener, const HttpRequest& request, Clock::time_point deadline)
{
    const Shared& shared = *listener.shared;
    auto exchange = std::make_shared<Exchange>();
    {
        std::unique_lock lock(listener.mutex);
        const bool free = listener.handedOver.wait_until(
            lock, deadline, [&] { return listener.stopping || !listener.handing; });
        if (listener.stopping)
            return std::nullopt;
        if (!free)
            return HttpReply::error(QStringLiteral("timeout"), 503);
        listener.handing = true;
        listener.pending = exchange;
    }
    // Whatever happens below, the next request may go.
    struct Release {
        Listener& listener;
        ~Release()
        {
            {
                const std::lock_guard lock(listener.mutex);
                listener.handing = false;
                listener.pending.reset();
            }
            listener.handedOver.notify_all();
        }
    } const release{listener};
    if (!shared.context)
        return callHandler(*shared.handler, request);

    auto guard = std::make_shared<DropGuard>();
    guard->onDrop = [weak = std::weak_ptr<Exchange>(exchange)] {
        if (const std::shared_ptr<Exchange> dropped = weak.lock())
            dropped->finish(Exchange::State::dropped);
    };
    handOverSent(&kRequestHandOver);
    const bool queued = QMetaObject::invokeMethod(
        shared.context,
        [exchange, guard, handler = shared.handler, request] {
            handOverTaken(&kRequestHandOver);
            {
                const std::lock_guard lock(exchange->mutex);
                if (exchange->state != Exchange::State::queued)
                    return;  // answered with a time-out already: not run at all
                exchange->state = Exchange::State::running;
            }
            exchange->finish(Exchange::State::answered, callHandler(*handler, request));
        },
        Qt::QueuedConnection);
    guard.reset();
    if (!queued)
        exchange->finish(Exchange::State::dropped);

    std::optional<HttpReply> reply;
    {
        std::unique_lock lock(exchange->mutex);
        const auto ended = [&] {
            return exchange->stopping || exchange->state == Exchange::State::answered ||
                   exchange->state == Exchange::State::dropped;
        };
        exchange->changed.wait_until(lock, deadline, ended);
        // A request the handler has begun is applied whatever the clock
        // says: its caller is told how it went, never "timeout" for an edit
        // that then happens.
        if (exchange->state == Exchange::State::running)
            exchange->changed.wait(lock, ended);
        if (exchange->state == Exchange::State::answered) {
            reply = std::move(exchange->reply);
        } else {
            const bool stopping = exchange->stopping && exchange->state != Exchange::State::dropped;
            if (exchange->state == Exchange::State::queued)
                exchange->state = Exchange::State::abandoned;
            if (!stopping) {
                reply = HttpReply::error(
                    exchange->state == Exchange::State::dropped ? QStringLiteral("unavailable") : QStringLiteral("timeout"),
                    503);
            }
        }
    }
    return reply;
}

std::optional<HttpReply> HttpServer::laterAnswer(Listener& listener, LaterReply& later)
{
    const Clock::time_point deadline = Clock::now() + later.limit();
    for (;;) {
        // Short waits, so that stopping the server is noticed soon.
        if (std::optional<HttpReply> reply = later.waitFor(std::chrono::milliseconds(50)))
            return reply;
        if (listener.wake.isRaised()) {
            // An answer given as the server stops (an open cancelled by
            // quitting) still reaches its client.
            return later.waitFor(std::chrono::milliseconds(0));
        }
        if (Clock::now() >= deadline)
            return HttpReply::error(QStringLiteral("timeout"), 503);
    }
}

}  // namespace zelvane
