#include "HttpResponseReader.h"

#include <QList>
#include <utility>

namespace zelvane::mcp {
namespace {

// Where the first empty line ends the header block: the index of the line
// break before it and the size of the separator, or -1.
std::pair<qsizetype, qsizetype> findHeadEnd(const QByteArray& buffer)
{
    const qsizetype crlf = buffer.indexOf("\r\n\r\n");
    const qsizetype lf = buffer.indexOf("\n\n");
    if (crlf < 0 && lf < 0)
        return {-1, 0};
    if (lf < 0 || (crlf >= 0 && crlf < lf))
        return {crlf, 4};
    return {lf, 2};
}

QByteArray withoutCarriageReturn(QByteArray line)
{
    if (line.endsWith('\r'))
        line.chop(1);
    return line;
}

std::optional<qint64> parseLength(const QByteArray& text, int base)
{
    const QByteArray trimmed = text.trimmed();
    if (trimmed.isEmpty())
        return std::nullopt;
    for (const char c : trimmed) {
        const bool digit = c >= '0' && c <= '9';
        const bool hex = (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
        if (!digit && !(base == 16 && hex))
            return std::nullopt;
    }
    bool ok = false;
    const qint64 value = trimmed.toLongLong(&ok, base);
    if (!ok || value < 0)
        return std::nullopt;
    return value;
}

}  // namespace

HttpResponseReader::State HttpResponseReader::feed(const char* bytes, qsizetype size)
{
    if (m_state != State::needMore)
        return m_state;
    m_received += size;
    if (m_received > maximumSize)
        return m_state = State::malformed;
    m_buffer.append(bytes, size);
    return m_state = advance();
}

HttpResponseReader::State HttpResponseReader::finish()
{
    if (m_state != State::needMore)
        return m_state;
    if (m_framing == Framing::untilClose)
        return m_state = completeWith(std::exchange(m_buffer, {}));
    return m_state = State::malformed;
}

HttpResponseReader::State HttpResponseReader::advance()
{
    while (m_framing == Framing::none) {
        const auto [headEnd, separatorSize] = findHeadEnd(m_buffer);
        if (headEnd < 0)
            return State::needMore;
        if (!parseHead(headEnd, separatorSize))
            return State::malformed;
    }
    switch (m_framing) {
    case Framing::length:
        if (m_buffer.size() < m_contentLength)
            return State::needMore;
        return completeWith(m_buffer.left(m_contentLength));
    case Framing::chunked:
        return advanceChunks();
    case Framing::untilClose:
    case Framing::none:
        break;
    }
    return State::needMore;
}

// Reads the status line and the header fields, drops them from the buffer and
// picks the body's framing; an interim reply leaves the framing unset so that
// the next head is read.
bool HttpResponseReader::parseHead(qsizetype headEnd, qsizetype separatorSize)
{
    const QList<QByteArray> lines = m_buffer.left(headEnd).split('\n');
    m_buffer.remove(0, headEnd + separatorSize);

    const QByteArray statusLine = withoutCarriageReturn(lines.first());
    if (!statusLine.startsWith("HTTP/"))
        return false;
    const QList<QByteArray> statusParts = statusLine.split(' ');
    if (statusParts.size() < 2 || statusParts[1].size() != 3)
        return false;
    bool ok = false;
    const int status = statusParts[1].toInt(&ok);
    if (!ok || status < 100)
        return false;

    APIResponse head;
    head.status = status;
    bool chunked = false;
    std::optional<qint64> contentLength;
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const QByteArray line = withoutCarriageReturn(lines[i]);
        const qsizetype colon = line.indexOf(':');
        if (colon <= 0)
            continue;  // not a field (a folded continuation, say): ignored
        const QString name = QString::fromLatin1(line.left(colon)).toLower();
        const QString value = QString::fromUtf8(line.mid(colon + 1).trimmed());
        head.headers.insert(name, value);
        if (name == QLatin1String("transfer-encoding") && value.toLower().contains(QLatin1String("chunked")))
            chunked = true;
        if (name == QLatin1String("content-length")) {
            contentLength = parseLength(line.mid(colon + 1), 10);
            if (!contentLength)
                return false;
        }
    }
    head.contentType = head.headers.value(QStringLiteral("content-type"));

    if (status < 200)
        return true;
    m_head = std::move(head);
    if (status == 204 || status == 304) {
        m_framing = Framing::length;
        m_contentLength = 0;
    } else if (chunked) {
        m_framing = Framing::chunked;
    } else if (contentLength) {
        if (*contentLength > maximumSize)
            return false;
        m_framing = Framing::length;
        m_contentLength = *contentLength;
    } else {
        m_framing = Framing::untilClose;
    }
    return true;
}

HttpResponseReader::State HttpResponseReader::advanceChunks()
{
    for (;;) {
        const qsizetype lineEnd = m_buffer.indexOf('\n');
        if (lineEnd < 0)
            return State::needMore;
        const QByteArray line = withoutCarriageReturn(m_buffer.left(lineEnd));
        if (m_inTrailer) {
            m_buffer.remove(0, lineEnd + 1);
            if (line.isEmpty())
                return completeWith(std::exchange(m_chunkedBody, {}));
            continue;
        }
        const qsizetype extension = line.indexOf(';');
        const std::optional<qint64> size = parseLength(extension < 0 ? line : line.left(extension), 16);
        if (!size || *size > maximumSize)
            return State::malformed;
        if (*size == 0) {
            m_buffer.remove(0, lineEnd + 1);
            m_inTrailer = true;
            continue;
        }
        // The chunk's data and the line break after it must all be here.
        const qsizetype dataStart = lineEnd + 1;
        if (m_buffer.size() < dataStart + *size + 1)
            return State::needMore;
        qsizetype after = dataStart + *size;
        if (m_buffer[after] == '\r') {
            if (m_buffer.size() < after + 2)
                return State::needMore;
            ++after;
        }
        if (m_buffer[after] != '\n')
            return State::malformed;
        m_chunkedBody.append(m_buffer.constData() + dataStart, *size);
        m_buffer.remove(0, after + 1);
    }
}

HttpResponseReader::State HttpResponseReader::completeWith(QByteArray body)
{
    APIResponse response = std::move(m_head);
    response.data = std::move(body);
    m_response = std::move(response);
    return State::complete;
}

}  // namespace zelvane::mcp
