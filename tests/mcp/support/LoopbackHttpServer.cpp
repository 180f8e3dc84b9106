#include "LoopbackHttpServer.h"

#include <arpa/inet.h>
#include <cerrno>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <stdexcept>

namespace zelvane::mcp::testsupport {
namespace {

// A generous limit for one connection, so that a broken test cannot hang.
constexpr int connectionLimitMs = 60'000;

quint16 boundPort(int fd)
{
    sockaddr_in address{};
    socklen_t length = sizeof address;
    if (::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0)
        throw std::runtime_error("getsockname failed");
    return ntohs(address.sin_port);
}

int boundLoopbackSocket()
{
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        throw std::runtime_error("socket failed");
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = 0;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        ::close(fd);
        throw std::runtime_error("bind failed");
    }
    return fd;
}

bool waitReadable(int fd, int wakeFd, int timeoutMs)
{
    pollfd entries[2] = {{fd, POLLIN, 0}, {wakeFd, POLLIN, 0}};
    for (;;) {
        const int ready = ::poll(entries, wakeFd >= 0 ? 2 : 1, timeoutMs);
        if (ready < 0 && errno == EINTR)
            continue;
        return ready > 0 && (entries[0].revents & (POLLIN | POLLHUP | POLLERR));
    }
}

void sendAll(int fd, const char* data, qsizetype size)
{
    while (size > 0) {
        const ssize_t written = ::send(fd, data, size_t(size), MSG_NOSIGNAL);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return;
        data += written;
        size -= written;
    }
}

// Splits what was read into the request's parts once it is whole.
bool parseRequest(ReceivedRequest& request)
{
    const qsizetype headEnd = request.raw.indexOf("\r\n\r\n");
    if (headEnd < 0)
        return false;
    const QList<QByteArray> lines = request.raw.left(headEnd).split('\n');
    const QList<QByteArray> requestLine = lines.first().trimmed().split(' ');
    request.method = requestLine.value(0);
    request.target = requestLine.value(1);
    request.headers.clear();
    qsizetype contentLength = 0;
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const QByteArray line = lines[i].trimmed();
        const qsizetype colon = line.indexOf(':');
        const QByteArray name = line.left(colon).toLower();
        const QByteArray value = line.mid(colon + 1).trimmed();
        request.headers.append({name, value});
        if (name == "content-length")
            contentLength = value.toLongLong();
    }
    const qsizetype bodyStart = headEnd + 4;
    if (request.raw.size() < bodyStart + contentLength)
        return false;
    request.body = request.raw.mid(bodyStart, contentLength);
    return true;
}

}  // namespace

QByteArray ReceivedRequest::header(const QByteArray& lowerName) const
{
    for (const auto& [name, value] : headers) {
        if (name == lowerName)
            return value;
    }
    return {};
}

bool ReceivedRequest::hasHeader(const QByteArray& lowerName) const
{
    for (const auto& entry : headers) {
        if (entry.first == lowerName)
            return true;
    }
    return false;
}

ScriptedReply ScriptedReply::http(int status, const QByteArray& body, const QByteArray& contentType)
{
    QByteArray head = "HTTP/1.1 " + QByteArray::number(status) + " Reply\r\n";
    if (!contentType.isNull())
        head += "Content-Type: " + contentType + "\r\n";
    head += "Content-Length: " + QByteArray::number(body.size()) + "\r\nConnection: close\r\n\r\n";
    return raw(head + body);
}

ScriptedReply ScriptedReply::raw(const QByteArray& bytes)
{
    ScriptedReply reply;
    reply.bytes = bytes;
    return reply;
}

LoopbackHttpServer::LoopbackHttpServer()
{
    m_listenFd = boundLoopbackSocket();
    if (::listen(m_listenFd, 16) != 0 || ::pipe2(m_wakeFds, O_CLOEXEC) != 0)
        throw std::runtime_error("listen failed");
    m_port = boundPort(m_listenFd);
    m_thread = std::thread([this] { serve(); });
}

LoopbackHttpServer::~LoopbackHttpServer()
{
    m_stopping = true;
    const char byte = 0;
    [[maybe_unused]] const ssize_t written = ::write(m_wakeFds[1], &byte, 1);
    m_thread.join();
    ::close(m_listenFd);
    ::close(m_wakeFds[0]);
    ::close(m_wakeFds[1]);
}

void LoopbackHttpServer::enqueue(const ScriptedReply& reply)
{
    const std::lock_guard lock(m_mutex);
    m_replies.push_back(reply);
}

QList<ReceivedRequest> LoopbackHttpServer::requests() const
{
    const std::lock_guard lock(m_mutex);
    return m_requests;
}

ScriptedReply LoopbackHttpServer::nextReply()
{
    const std::lock_guard lock(m_mutex);
    if (m_replies.empty())
        return ScriptedReply::http(200, "{\"ok\":true}");
    ScriptedReply reply = m_replies.front();
    m_replies.pop_front();
    return reply;
}

void LoopbackHttpServer::serve()
{
    while (!m_stopping) {
        if (!waitReadable(m_listenFd, m_wakeFds[0], -1))
            continue;
        if (m_stopping)
            break;
        const int fd = ::accept4(m_listenFd, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0)
            continue;
        ++m_connections;
        serveConnection(fd);
        ::close(fd);
    }
}

void LoopbackHttpServer::serveConnection(int fd)
{
    const ScriptedReply reply = nextReply();
    ReceivedRequest request;
    char chunk[65536];
    bool whole = false;
    while (!whole && waitReadable(fd, m_wakeFds[0], connectionLimitMs) && !m_stopping) {
        const ssize_t count = ::recv(fd, chunk, sizeof chunk, 0);
        if (count < 0 && errno == EINTR)
            continue;
        if (count <= 0)
            break;
        request.raw.append(chunk, count);
        whole = parseRequest(request);
    }
    {
        const std::lock_guard lock(m_mutex);
        m_requests.append(request);
    }
    switch (reply.action) {
    case ScriptedReply::Action::closeAtOnce:
        return;
    case ScriptedReply::Action::stayMute: {
        // Until the client gives up or the server stops.
        while (waitReadable(fd, m_wakeFds[0], connectionLimitMs) && !m_stopping) {
            if (::recv(fd, chunk, sizeof chunk, 0) <= 0)
                break;
        }
        return;
    }
    case ScriptedReply::Action::reply:
        break;
    }
    if (reply.pieceSize <= 0) {
        sendAll(fd, reply.bytes.constData(), reply.bytes.size());
        return;
    }
    for (qsizetype offset = 0; offset < reply.bytes.size(); offset += reply.pieceSize) {
        sendAll(fd, reply.bytes.constData() + offset, std::min(reply.pieceSize, reply.bytes.size() - offset));
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
}

RefusingPort::RefusingPort()
{
    m_fd = boundLoopbackSocket();
    m_port = boundPort(m_fd);
}

RefusingPort::~RefusingPort()
{
    ::close(m_fd);
}

}  // namespace zelvane::mcp::testsupport
