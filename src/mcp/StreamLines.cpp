#include "StreamLines.h"

#include <cerrno>
#include <poll.h>
#include <unistd.h>

#include <utility>

namespace zelvane::mcp {

std::optional<QByteArray> LineReader::nextLine()
{
    m_tooLong = false;
    for (;;) {
        const qsizetype newline = m_buffer.indexOf('\n', m_scanned);
        if (newline >= 0) {
            QByteArray line = m_buffer.left(newline);
            m_buffer.remove(0, newline + 1);
            m_scanned = 0;
            if (m_discarding || line.size() > m_maxLineBytes + 1) {
                m_discarding = false;
                m_tooLong = true;
                return QByteArray();
            }
            if (line.endsWith('\r'))
                line.chop(1);
            if (line.size() > m_maxLineBytes) {
                m_tooLong = true;
                return QByteArray();
            }
            return line;
        }
        if (m_buffer.size() > m_maxLineBytes + 1) {
            // Over the limit before its end: the rest is read away.
            m_discarding = true;
            m_buffer.clear();
        }
        m_scanned = m_buffer.size();
        if (m_ended) {
            if (m_discarding) {
                m_discarding = false;
                m_tooLong = true;
                return QByteArray();
            }
            if (m_buffer.isEmpty())
                return std::nullopt;
            QByteArray line = std::move(m_buffer);
            m_buffer.clear();
            m_scanned = 0;
            if (line.endsWith('\r'))
                line.chop(1);
            return line;
        }
        char chunk[65536];
        const ssize_t count = ::read(m_fd, chunk, sizeof chunk);
        if (count > 0) {
            m_buffer.append(chunk, count);
        } else if (count < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            // A descriptor left non-blocking by the parent: wait for input.
            pollfd entry{m_fd, POLLIN, 0};
            ::poll(&entry, 1, -1);
        } else if (count == 0 || errno != EINTR) {
            m_ended = true;
        }
    }
}

bool writeWhole(int fd, const QByteArray& bytes)
{
    qsizetype written = 0;
    while (written < bytes.size()) {
        const ssize_t count = ::write(fd, bytes.constData() + written, size_t(bytes.size() - written));
        if (count > 0) {
            written += count;
        } else if (count < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            pollfd entry{fd, POLLOUT, 0};
            ::poll(&entry, 1, -1);
        } else if (!(count < 0 && errno == EINTR)) {
            return false;
        }
    }
    return true;
}

}  // namespace zelvane::mcp
