#pragma once

#include <QByteArray>
#include <optional>

namespace zelvane::mcp {

// Reads a file descriptor line by line, blocking until a line is whole.
class LineReader {
public:
    explicit LineReader(int fd) : m_fd(fd) {}

    // The next line without its "\n" or "\r\n"; a last line without a line
    // break counts as well. None at the end of input (or on a read error).
    std::optional<QByteArray> nextLine();

private:
    int m_fd;
    QByteArray m_buffer;
    qsizetype m_scanned = 0;
    bool m_ended = false;
};

// Writes all of `bytes`, however many writes that takes. False when the
// descriptor refuses them (a reader that went away, say).
bool writeWhole(int fd, const QByteArray& bytes);

}  // namespace zelvane::mcp
