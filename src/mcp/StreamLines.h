#pragma once

#include <QByteArray>
#include <optional>

namespace zelvane::mcp {

// Reads a file descriptor line by line, blocking until a line is whole.
class LineReader {
public:
    // Longest line kept: a longer one is read away without being held whole.
    static constexpr qsizetype kMaxLineBytes = 16 * 1024 * 1024;

    explicit LineReader(int fd, qsizetype maxLineBytes = kMaxLineBytes) : m_fd(fd), m_maxLineBytes(maxLineBytes) {}

    // The next line without its "\n" or "\r\n"; a last line without a line
    // break counts as well. None at the end of input (or on a read error).
    // A line over the limit comes back empty, with lastLineTooLong() true.
    std::optional<QByteArray> nextLine();
    bool lastLineTooLong() const { return m_tooLong; }

private:
    int m_fd;
    qsizetype m_maxLineBytes;
    QByteArray m_buffer;
    qsizetype m_scanned = 0;
    bool m_ended = false;
    // Reading away the rest of a line over the limit.
    bool m_discarding = false;
    bool m_tooLong = false;
};

// Writes all of `bytes`, however many writes that takes. False when the
// descriptor refuses them (a reader that went away, say).
bool writeWhole(int fd, const QByteArray& bytes);

}  // namespace zelvane::mcp
