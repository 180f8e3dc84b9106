#include "LoopbackConnection.h"

#include "HttpResponseReader.h"

#include <arpa/inet.h>
#include <cerrno>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>

namespace zelvane::mcp {
namespace {

using Clock = std::chrono::steady_clock;

class SocketHandle {
public:
    explicit SocketHandle(int fd) : m_fd(fd) {}
    ~SocketHandle()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    SocketHandle(const SocketHandle&) = delete;
    SocketHandle& operator=(const SocketHandle&) = delete;
    int fd() const { return m_fd; }

private:
    int m_fd;
};

// Waits until the socket is ready for `events` or the deadline passes.
bool waitFor(int fd, short events, Clock::time_point deadline)
{
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0)
            return false;
        pollfd entry{fd, events, 0};
        const int ready = ::poll(&entry, 1, int(std::min<qint64>(left.count(), 60'000)));
        if (ready > 0)
            return true;
        if (ready < 0 && errno != EINTR)
            return false;
    }
}

bool connectTo(int fd, const sockaddr* address, socklen_t length, Clock::time_point deadline)
{
    if (::connect(fd, address, length) == 0)
        return true;
    if (errno != EINPROGRESS && errno != EINTR)
        return false;
    if (!waitFor(fd, POLLOUT, deadline))
        return false;
    int error = 0;
    socklen_t errorLength = sizeof error;
    return ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &errorLength) == 0 && error == 0;
}

// Writes every byte, however few the socket takes at a time. False when the
// peer stopped reading or the deadline passed.
bool sendAll(int fd, const QByteArray& bytes, Clock::time_point deadline)
{
    qsizetype sent = 0;
    while (sent < bytes.size()) {
        const ssize_t written = ::send(fd, bytes.constData() + sent, size_t(bytes.size() - sent), MSG_NOSIGNAL);
        if (written > 0) {
            sent += written;
            continue;
        }
        if (written < 0 && errno == EINTR)
            continue;
        if (written < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            if (!waitFor(fd, POLLOUT, deadline))
                return false;
            continue;
        }
        return false;
    }
    return true;
}

std::optional<APIResponse> receiveReply(int fd, Clock::time_point deadline)
{
    HttpResponseReader reader;
    char chunk[65536];
    for (;;) {
        if (!waitFor(fd, POLLIN, deadline))
            return std::nullopt;
        const ssize_t count = ::recv(fd, chunk, sizeof chunk, 0);
        if (count < 0) {
            if (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK)
                continue;
            return std::nullopt;
        }
        const HttpResponseReader::State state = count == 0 ? reader.finish() : reader.feed(chunk, count);
        if (state == HttpResponseReader::State::complete)
            return reader.response();
        if (state == HttpResponseReader::State::malformed)
            return std::nullopt;
    }
}

std::optional<qint64> parsePort(const QString& text)
{
    if (text.isEmpty() || text.size() > 18)
        return std::nullopt;
    bool ok = false;
    const qint64 value = text.toLongLong(&ok, 10);
    if (!ok)
        return std::nullopt;
    return value;
}

}  // namespace

std::optional<HttpEndpoint> endpointFromBase(const QString& base)
{
    const QString scheme = QStringLiteral("http://");
    if (!base.startsWith(scheme))
        return std::nullopt;
    const QString authority = base.mid(scheme.size());
    QString host;
    QString portText;
    if (authority.startsWith(u'[')) {
        const qsizetype close = authority.indexOf(u']');
        if (close < 0 || authority.mid(close + 1, 1) != QStringLiteral(":"))
            return std::nullopt;
        host = authority.mid(1, close - 1);
        portText = authority.mid(close + 2);
    } else {
        const qsizetype colon = authority.lastIndexOf(u':');
        if (colon < 0)
            return std::nullopt;
        host = authority.left(colon);
        portText = authority.mid(colon + 1);
    }
    // A number is taken as it stands and never brought into range.
    const std::optional<qint64> port = parsePort(portText);
    if (!port || *port < 1 || *port > 65535)
        return std::nullopt;
    HttpEndpoint endpoint;
    endpoint.address = host.toLatin1();
    endpoint.port = quint16(*port);
    endpoint.authority = authority.toLatin1();
    return endpoint;
}

std::optional<APIResponse> exchangeOnce(const HttpEndpoint& endpoint, const QByteArray& request,
                                        std::chrono::milliseconds timeout)
{
    const Clock::time_point deadline = Clock::now() + timeout;

    sockaddr_storage storage{};
    socklen_t length = 0;
    auto* v4 = reinterpret_cast<sockaddr_in*>(&storage);
    auto* v6 = reinterpret_cast<sockaddr_in6*>(&storage);
    if (::inet_pton(AF_INET, endpoint.address.constData(), &v4->sin_addr) == 1) {
        v4->sin_family = AF_INET;
        v4->sin_port = htons(endpoint.port);
        length = sizeof *v4;
    } else if (::inet_pton(AF_INET6, endpoint.address.constData(), &v6->sin6_addr) == 1) {
        v6->sin6_family = AF_INET6;
        v6->sin6_port = htons(endpoint.port);
        length = sizeof *v6;
    } else {
        return std::nullopt;
    }

    const SocketHandle socket(::socket(storage.ss_family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
    if (socket.fd() < 0)
        return std::nullopt;
    if (!connectTo(socket.fd(), reinterpret_cast<const sockaddr*>(&storage), length, deadline))
        return std::nullopt;
    // A peer that answers before it has read everything may still have
    // replied, so a failed send goes on to read.
    sendAll(socket.fd(), request, deadline);
    return receiveReply(socket.fd(), deadline);
}

}  // namespace zelvane::mcp
