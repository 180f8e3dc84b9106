#pragma once

#include "APIResponse.h"

#include <QByteArray>
#include <optional>

namespace zelvane::mcp {

// Reads one HTTP/1.x reply from the bytes of a connection, as they come.
// The body may be framed by Content-Length, by chunks, or by the end of the
// connection; interim 1xx replies are skipped.
class HttpResponseReader {
public:
    enum class State { needMore, complete, malformed };

    // The largest reply accepted; a longer one is malformed.
    static constexpr qsizetype maximumSize = qsizetype(256) * 1024 * 1024;

    State feed(const char* bytes, qsizetype size);
    // The connection ended: a reply framed by the end of the connection is
    // complete now, any other unfinished reply is malformed.
    State finish();
    State state() const { return m_state; }
    // The reply, once complete.
    const std::optional<APIResponse>& response() const { return m_response; }

private:
    enum class Framing { none, length, chunked, untilClose };

    State advance();
    bool parseHead(qsizetype headEnd, qsizetype separatorSize);
    State advanceChunks();
    State completeWith(QByteArray body);

    QByteArray m_buffer;
    qsizetype m_received = 0;
    State m_state = State::needMore;
    Framing m_framing = Framing::none;
    qint64 m_contentLength = 0;
    QByteArray m_chunkedBody;
    bool m_inTrailer = false;
    APIResponse m_head;
    std::optional<APIResponse> m_response;
};

}  // namespace zelvane::mcp
