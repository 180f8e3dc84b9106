#pragma once

// A plain loopback client for the HTTP benchmarks: one request per
// connection, as the API serves them, with nothing of Qt on the way.

#include <QByteArray>

#include <arpa/inet.h>
#include <cerrno>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace zelvane::bench {

inline int connectLoopback(quint16 port)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

inline bool writeAll(int fd, const QByteArray& bytes)
{
    qsizetype sent = 0;
    while (sent < bytes.size()) {
        const ssize_t written = ::send(fd, bytes.constData() + sent, size_t(bytes.size() - sent), MSG_NOSIGNAL);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return false;
        sent += written;
    }
    return true;
}

// One request on a new connection, its reply read until the server closes;
// the number of reply bytes.
inline qsizetype oneRequest(quint16 port, const QByteArray& request)
{
    const int fd = connectLoopback(port);
    if (fd < 0)
        return 0;
    writeAll(fd, request);
    qsizetype received = 0;
    char chunk[16384];
    for (;;) {
        const ssize_t count = ::recv(fd, chunk, sizeof chunk, 0);
        if (count < 0 && errno == EINTR)
            continue;
        if (count <= 0)
            break;
        received += count;
    }
    ::close(fd);
    return received;
}

}  // namespace zelvane::bench
