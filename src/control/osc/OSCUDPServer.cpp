#include "osc/OSCUDPServer.h"

#include "remote/SocketSupport.h"


#include <arpa/inet.h>
#include <cerrno>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>

#include <array>

namespace zelvane {

using namespace remote;

struct OSCUDPServer::Loop {
    UniqueFd socket;
    WakeSignal wake;
    std::shared_ptr<const Handler> deliver;
    std::atomic<bool> running{true};
    std::mutex mutex;
    QString error;
};

namespace {

// Errors after which the socket cannot be read again.
bool endsReceiving(int error)
{
    return error == EBADF || error == ENOTSOCK || error == EINVAL || error == EFAULT || error == EOPNOTSUPP;
}

}  // namespace

OSCUDPServer::OSCUDPServer(quint16 port, Handler handler)
    : m_port(port), m_deliver(std::make_shared<const Handler>(std::move(handler)))
{
}

OSCUDPServer::OSCUDPServer(quint16 port, QObject* context, Handler handler)
    : OSCUDPServer(port, OSCMessageQueue::create(context, std::move(handler)))
{
}

OSCUDPServer::OSCUDPServer(quint16 port, std::shared_ptr<OSCMessageQueue> queue)
    : m_port(port),
      m_queue(queue),
      m_deliver(std::make_shared<const Handler>([queue](const OSCCodec::Message& message) { queue->push(message); }))
{
}

quint64 OSCUDPServer::droppedMessages() const
{
    return m_queue ? m_queue->droppedCount() : 0;
}

OSCUDPServer::~OSCUDPServer()
{
    stop();
}

bool OSCUDPServer::start()
{
    std::unique_lock lock(m_mutex);
    if (m_loop && m_loop->running.load())
        return true;
    if (m_loop) {
        // The loop ended on an error: clear it away before binding again.
        std::shared_ptr<Loop> ended = std::move(m_loop);
        std::thread thread = std::move(m_thread);
        lock.unlock();
        ended->wake.raise();
        if (thread.joinable())
            thread.join();
        lock.lock();
    }

    auto loop = std::make_shared<Loop>();
    loop->deliver = m_deliver;
    loop->socket.reset(::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
    if (!loop->socket.valid() || !loop->wake.valid()) {
        m_lastError = QStringLiteral("cannot create a UDP socket: ") + errorText(errno);
        return false;
    }
    const int on = 1;
    ::setsockopt(loop->socket.get(), SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);

    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_ANY);
    address.sin_port = htons(m_port.load());
    if (::bind(loop->socket.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        m_lastError = QStringLiteral("cannot bind UDP port %1: %2").arg(m_port.load()).arg(errorText(errno));
        return false;
    }
    sockaddr_in bound{};
    socklen_t length = sizeof bound;
    if (::getsockname(loop->socket.get(), reinterpret_cast<sockaddr*>(&bound), &length) == 0)
        m_port = ntohs(bound.sin_port);

    try {
        m_thread = std::thread(&OSCUDPServer::receive, loop);
    } catch (const std::system_error& error) {
        m_lastError = QStringLiteral("cannot start the OSC receive thread: ") + QString::fromLocal8Bit(error.what());
        return false;
    }
    m_loop = std::move(loop);
    m_lastError.clear();
    return true;
}

void OSCUDPServer::stop()
{
    std::shared_ptr<Loop> loop;
    std::thread thread;
    {
        const std::lock_guard lock(m_mutex);
        loop = std::move(m_loop);
        thread = std::move(m_thread);
    }
    if (!loop)
        return;
    loop->running = false;
    loop->wake.raise();
    remote::joinUnlessCurrent(thread);
    // The socket closes with the last reference to the loop, after the join.
}

bool OSCUDPServer::isRunning() const
{
    const std::lock_guard lock(m_mutex);
    return m_loop && m_loop->running.load();
}

QString OSCUDPServer::lastError() const
{
    const std::lock_guard lock(m_mutex);
    if (m_loop) {
        const std::lock_guard loopLock(m_loop->mutex);
        if (!m_loop->error.isEmpty())
            return m_loop->error;
    }
    return m_lastError;
}

int OSCUDPServer::socketDescriptor() const
{
    const std::lock_guard lock(m_mutex);
    return m_loop && m_loop->running.load() ? m_loop->socket.get() : -1;
}

void OSCUDPServer::receive(const std::shared_ptr<Loop>& loop)
{
    std::array<char, kReceiveBufferSize> buffer{};
    const int fd = loop->socket.get();
    while (loop->running.load()) {
        const WaitResult wait = waitFor(fd, POLLIN, loop->wake, std::nullopt);
        if (wait == WaitResult::woken)
            return;
        const ssize_t count = wait == WaitResult::failed ? -1 : ::recv(fd, buffer.data(), buffer.size(), 0);
        if (count > 0) {
            for (const OSCCodec::Message& message : OSCCodec::decode(QByteArrayView(buffer.data(), count))) {
                if (!loop->running.load())
                    return;
                try {
                    (*loop->deliver)(message);
                } catch (...) {
                    // A failing handler drops its message, never the receiver.
                }
            }
            continue;
        }
        if (count == 0)
            continue;  // an empty datagram
        const int error = errno;
        if (error == EINTR || error == EAGAIN || error == EWOULDBLOCK)
            continue;
        if (endsReceiving(error) || wait == WaitResult::failed) {
            {
                const std::lock_guard lock(loop->mutex);
                loop->error = QStringLiteral("OSC receive failed: ") + errorText(error);
            }
            loop->running = false;
            return;
        }
        // Anything else (no buffer space, a stray ICMP error) passes: wait a
        // moment so that a persisting error does not spin, then go on.
        if (loop->wake.waitRaised(std::chrono::milliseconds(20)))
            return;
    }
}

bool OSCUDPServer::send(const OSCCodec::Message& message, const QString& host, quint16 port)
{
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    if (::inet_pton(AF_INET, host.toLatin1().constData(), &address.sin_addr) != 1)
        return false;
    const UniqueFd socket(::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0));
    if (!socket.valid())
        return false;
    const QByteArray datagram = OSCCodec::encode(message);
    const ssize_t sent = ::sendto(socket.get(), datagram.constData(), size_t(datagram.size()), MSG_NOSIGNAL,
                                  reinterpret_cast<const sockaddr*>(&address), sizeof address);
    return sent == datagram.size();
}

}  // namespace zelvane
