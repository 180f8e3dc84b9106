#pragma once

#include "APIResponse.h"

#include <QByteArray>
#include <QString>
#include <chrono>
#include <optional>

namespace zelvane::mcp {

// Where the editor listens: a numeric address and a port of 1 to 65535.
struct HttpEndpoint {
    QByteArray address;
    quint16 port = 0;
    // The Host header's value, as written in the base URL.
    QByteArray authority;
};

// The endpoint of a base URL "http://ADDRESS:PORT" whose address is an IP
// literal; none when the URL has another form or its port is out of range.
std::optional<HttpEndpoint> endpointFromBase(const QString& base);

// Connects, sends the request's bytes whole and reads one reply, all within
// the time-out. None when no complete reply came back.
std::optional<APIResponse> exchangeOnce(const HttpEndpoint& endpoint, const QByteArray& request,
                                        std::chrono::milliseconds timeout);

}  // namespace zelvane::mcp
