#include "http/HttpServer.h"

#include "remote/SocketSupport.h"

#include <QMetaObject>
#include <QObject>

#include <arpa/inet.h>
#include <cerrno>
#include <condition_variable>
#include <netinet/in.h>
#include <poll.h>
#include <pthread.h>
#include <sys/socket.h>

#include <exception>

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

// One listening socket and the thread that serves it.
struct HttpServer::Listener {
    std::shared_ptr<Shared> shared;
    UniqueFd socket;
    WakeSignal wake;
    quint16 port = 0;
    std::atomic<bool> running{true};
    std::mutex mutex;
    bool stopping = false;
    std::shared_ptr<Exchange> pending;
};

namespace {

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
    remote::joinUnlessCurrent(thread);
    // The listening socket closes with the last reference, after the join.
}

bool HttpServer::isRunning() const
{
    const std::lock_guard lock(m_mutex);
    return m_listener && m_listener->running.load();
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
            const UniqueFd connection(fd);
            serveConnection(*listener, fd);
            continue;
        }
        int error = errno;
        if (error == EAGAIN || error == EWOULDBLOCK) {
            const WaitResult wait = waitFor(listenFd, POLLIN, listener->wake, std::nullopt);
            if (wait == WaitResult::woken)
                return;
            if (wait == WaitResult::ready)
                continue;
            error = errno;  // poll() itself failed
        } else if (acceptErrorPasses(error)) {
            // Out of descriptors the pending connection stays ready: pause
            // rather than spin.
            if (error != EINTR && listener->wake.waitRaised(std::chrono::milliseconds(50)))
                return;
            continue;
        }
        listener->shared->setError(QStringLiteral("HTTP accept failed: ") + errorText(error));
        listener->running = false;
        return;
    }
}

void HttpServer::serveConnection(Listener& listener, int fd)
{
    const Options& options = listener.shared->options;
    const Clock::time_point readDeadline = Clock::now() + options.readTimeout;
    QByteArray received;
    bool peerClosed = false;
    bool continueSent = false;
    HttpParse parse;
    for (;;) {
        parse = parseHttpRequest(received, peerClosed, options.limits);
        if (parse.outcome != HttpParse::Outcome::incomplete)
            break;
        if (parse.expectsContinue && !continueSent) {
            continueSent = true;
            if (sendAll(fd, "HTTP/1.1 100 Continue\r\n\r\n", listener.wake, readDeadline) != SendResult::sent)
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
        const WaitResult wait = waitFor(fd, POLLIN, listener.wake, readDeadline);
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
            reply = answer(listener, parse.request);
        break;
    }
    if (!reply)
        return;
    const SendResult sent = sendAll(fd, serializeReply(*reply), listener.wake, Clock::now() + options.writeTimeout);
    const bool unreadInput = parse.outcome == HttpParse::Outcome::rejected || received.size() > parse.requestSize;
    if (sent == SendResult::sent && unreadInput && !peerClosed)
        drainBeforeClose(fd, listener.wake);
}

std::optional<HttpReply> HttpServer::answer(Listener& listener, const HttpRequest& request)
{
    const Shared& shared = *listener.shared;
    if (shared.options.quickAnswer) {
        if (std::optional<HttpReply> quick = shared.options.quickAnswer(request))
            return quick;
    }
    if (!shared.context)
        return callHandler(*shared.handler, request);

    auto exchange = std::make_shared<Exchange>();
    {
        const std::lock_guard lock(listener.mutex);
        if (listener.stopping)
            return std::nullopt;
        listener.pending = exchange;
    }
    auto guard = std::make_shared<DropGuard>();
    guard->onDrop = [weak = std::weak_ptr<Exchange>(exchange)] {
        if (const std::shared_ptr<Exchange> dropped = weak.lock())
            dropped->finish(Exchange::State::dropped);
    };
    const bool queued = QMetaObject::invokeMethod(
        shared.context,
        [exchange, guard, handler = shared.handler, request] {
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

    const Clock::time_point deadline = Clock::now() + shared.options.answerTimeout;
    std::optional<HttpReply> reply;
    {
        std::unique_lock lock(exchange->mutex);
        exchange->changed.wait_until(lock, deadline, [&] {
            return exchange->stopping || exchange->state == Exchange::State::answered ||
                   exchange->state == Exchange::State::dropped;
        });
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
    {
        const std::lock_guard lock(listener.mutex);
        listener.pending.reset();
    }
    if (reply && reply->later)
        reply = laterAnswer(listener, *reply->later);
    return reply;
}

std::optional<HttpReply> HttpServer::laterAnswer(Listener& listener, LaterReply& later)
{
    const Clock::time_point deadline = Clock::now() + later.limit();
    for (;;) {
        // Short waits, so that stopping the server is noticed soon.
        if (std::optional<HttpReply> reply = later.waitFor(std::chrono::milliseconds(50)))
            return reply;
        if (listener.wake.isRaised())
            return std::nullopt;
        if (Clock::now() >= deadline)
            return HttpReply::error(QStringLiteral("timeout"), 503);
    }
}

}  // namespace zelvane
