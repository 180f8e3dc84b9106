#include "support/TestApplication.h"
#include "RemoteTestSupport.h"

#include <QGuiApplication>
#include <QJsonDocument>
#include <QTimer>

#include <arpa/inet.h>
#include <cerrno>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace zelvane::remotetest {
namespace {

using Clock = std::chrono::steady_clock;

bool waitReadable(int fd, Clock::time_point deadline)
{
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0)
            return false;
        pollfd entry{fd, POLLIN, 0};
        const int ready = ::poll(&entry, 1, int(left.count()));
        if (ready > 0)
            return true;
        if (ready < 0 && errno != EINTR)
            return false;
    }
}

quint16 boundPort(int fd)
{
    sockaddr_in bound{};
    socklen_t length = sizeof bound;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&bound), &length);
    return ntohs(bound.sin_port);
}

quint16 freePort(int type)
{
    const int fd = ::socket(AF_INET, type | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address);
    const quint16 port = boundPort(fd);
    ::close(fd);
    return port;
}

}  // namespace

void ensureApplication()
{
    zelvane::testing::ensureTestGuiApplication();
}

bool processEventsUntil(const std::function<bool()>& condition, std::chrono::milliseconds timeout)
{
    const Clock::time_point deadline = Clock::now() + timeout;
    QTimer tick;
    tick.start(10);
    while (!condition()) {
        if (Clock::now() >= deadline)
            return false;
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    return true;
}

TestClient::TestClient(quint16 port)
{
    m_fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(m_fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0)
        close();
}

TestClient::~TestClient()
{
    close();
}

bool TestClient::send(const QByteArray& bytes)
{
    qsizetype sent = 0;
    while (sent < bytes.size()) {
        const ssize_t written = ::send(m_fd, bytes.constData() + sent, size_t(bytes.size() - sent), MSG_NOSIGNAL);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return false;
        sent += written;
    }
    return true;
}

void TestClient::shutdownWrite()
{
    ::shutdown(m_fd, SHUT_WR);
}

void TestClient::close()
{
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
}

QByteArray TestClient::readAll(std::chrono::milliseconds timeout)
{
    const Clock::time_point deadline = Clock::now() + timeout;
    QByteArray out = std::exchange(m_pending, QByteArray());
    char chunk[65536];
    while (waitReadable(m_fd, deadline)) {
        const ssize_t count = ::recv(m_fd, chunk, sizeof chunk, 0);
        if (count < 0 && errno == EINTR)
            continue;
        if (count <= 0)
            break;
        out.append(chunk, count);
    }
    return out;
}

QByteArray TestClient::readUntil(const QByteArray& marker, std::chrono::milliseconds timeout)
{
    const Clock::time_point deadline = Clock::now() + timeout;
    char chunk[65536];
    while (!m_pending.contains(marker) && waitReadable(m_fd, deadline)) {
        const ssize_t count = ::recv(m_fd, chunk, sizeof chunk, 0);
        if (count < 0 && errno == EINTR)
            continue;
        if (count <= 0)
            break;
        m_pending.append(chunk, count);
    }
    const qsizetype at = m_pending.indexOf(marker);
    if (at < 0)
        return std::exchange(m_pending, QByteArray());
    const QByteArray head = m_pending.left(at + marker.size());
    m_pending.remove(0, at + marker.size());
    return head;
}

bool TestClient::closedWithoutData(std::chrono::milliseconds timeout)
{
    if (!m_pending.isEmpty() || !waitReadable(m_fd, Clock::now() + timeout))
        return false;
    char byte = 0;
    const ssize_t count = ::recv(m_fd, &byte, 1, 0);
    return count == 0 || (count < 0 && errno == ECONNRESET);
}

QByteArray exchange(quint16 port, const QByteArray& request, std::chrono::milliseconds timeout)
{
    TestClient client(port);
    if (!client.connected())
        return {};
    client.send(request);
    return client.readAll(timeout);
}

QByteArray getRequest(const QByteArray& target, quint16 port)
{
    return "GET " + target + " HTTP/1.1\r\nHost: 127.0.0.1:" + QByteArray::number(port) + "\r\n\r\n";
}

QByteArray postRequest(const QByteArray& target, const QByteArray& body, quint16 port)
{
    return "POST " + target + " HTTP/1.1\r\nHost: 127.0.0.1:" + QByteArray::number(port) +
           "\r\nContent-Type: application/json\r\nContent-Length: " + QByteArray::number(body.size()) + "\r\n\r\n" +
           body;
}

QByteArray Reply::header(const QByteArray& name) const
{
    for (const auto& [key, value] : headers) {
        if (key.compare(name, Qt::CaseInsensitive) == 0)
            return value;
    }
    return {};
}

QJsonObject Reply::json() const
{
    return QJsonDocument::fromJson(body).object();
}

Reply parseReply(const QByteArray& raw)
{
    Reply reply;
    const qsizetype headEnd = raw.indexOf("\r\n\r\n");
    if (headEnd < 0)
        return reply;
    const QList<QByteArray> lines = raw.left(headEnd).split('\n');
    reply.statusLine = lines.first().trimmed();
    const QList<QByteArray> words = reply.statusLine.split(' ');
    if (words.size() < 3 || words[0] != "HTTP/1.1")
        return reply;
    reply.status = words[1].toInt();
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const qsizetype colon = lines[i].indexOf(':');
        if (colon > 0)
            reply.headers.append({lines[i].left(colon).trimmed(), lines[i].mid(colon + 1).trimmed()});
    }
    reply.body = raw.mid(headEnd + 4);
    reply.valid = true;
    return reply;
}

quint16 freeTcpPort()
{
    return freePort(SOCK_STREAM);
}

quint16 freeUdpPort()
{
    return freePort(SOCK_DGRAM);
}

}  // namespace zelvane::remotetest
