#pragma once

#include "APIResponse.h"

#include <QByteArray>
#include <QString>
#include <functional>
#include <optional>

namespace zelvane::mcp {

// One blocking request to the editor: method ("GET" or "POST"), path with
// its query (beginning with "/"), optional JSON body. Returns the reply
// whatever its status; throws ProxyError when the request cannot be built or
// no reply comes back.
using Transport =
    std::function<APIResponse(const QString& method, const QString& path, const std::optional<QByteArray>& body)>;

// The relay's transport: HTTP/1.1 to the base URL "http://127.0.0.1:PORT",
// each exchange bounded by `timeout` seconds.
Transport urlSessionTransport(const QString& base, double timeout);

// Whether base + path is a URL: the path is printable ASCII made of the
// characters a URL allows (letters, digits, "-._~", "!$&'()*+,;=", ":@/?",
// "%" with two hex digits, and at most one "#").
bool isValidRequestPath(const QString& path);

// The bytes sent for one request, head and body together.
QByteArray buildHttpRequest(const QString& method, const QString& path, const QByteArray& authority,
                            const std::optional<QByteArray>& body);

}  // namespace zelvane::mcp
