#pragma once

// Reading one request of the local HTTP API from the bytes received so far.
// A pure function over bytes: the server calls it after every read until it
// says the request is complete, and the fuzz target calls it on anything.

#include "http/HttpReply.h"
#include "http/HttpRequest.h"

#include <QByteArrayView>
#include <optional>

namespace zelvane {

struct HttpLimits {
    // The request line and the header fields together, without the blank line.
    qsizetype maxHeadBytes = 32768;
    qsizetype maxBodyBytes = 8 * 1024 * 1024;
};

struct HttpParse {
    enum class Outcome {
        incomplete,  // more bytes are needed
        complete,    // `request` is whole
        rejected,    // answer `reply`, then close
        dropped,     // close without answering (no usable request line)
    };
    Outcome outcome = Outcome::incomplete;
    HttpRequest request;
    HttpReply reply;
    // Incomplete only: the head is read and the client, having sent
    // "Expect: 100-continue", waits for "HTTP/1.1 100 Continue" before its body.
    bool expectsContinue = false;
    // Incomplete only: the head is read whole and the body is still coming.
    bool headRead = false;
    // Complete only: the bytes the request took (head, blank line and body).
    qsizetype requestSize = 0;
};

// Reads the request at the start of `bytes`. `peerClosed` tells that no more
// bytes will come: a head without its blank line is then taken as it stands,
// while a body shorter than its Content-Length is refused.
//
// - The head ends at the first empty line (CRLF or bare LF); leading empty
//   lines are skipped. The request line is split at spaces: fewer than two
//   words drop the connection unanswered; the method is upper-cased and the
//   target split at its first "?".
// - Then exactly Content-Length bytes of body are read (none without the
//   header). Invalid or conflicting lengths give 400, a body over the limit
//   413, a head over the limit 431, a Transfer-Encoding 501.
// - When the head ends with "\r\n\r\n" and the body is a JSON object, it
//   becomes `args`; any other body (invalid JSON, an array, a bare-LF head)
//   leaves `args` empty, without an error.
HttpParse parseHttpRequest(QByteArrayView bytes, bool peerClosed, const HttpLimits& limits = {});

// A 403 reply for a request that a web page could have sent, none for one
// to serve: any Origin header is refused, and so is a Host other than
// 127.0.0.1 or localhost (any letter case) with `port` (the port may be left
// out only when it is 80). A request without Host comes from no browser and
// is served.
std::optional<HttpReply> refuseForeignRequest(const HttpRequest& request, quint16 port);

}  // namespace zelvane
