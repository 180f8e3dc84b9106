#include "HttpTransport.h"

#include "LoopbackConnection.h"
#include "ProxyError.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <utility>

namespace zelvane::mcp {
namespace {

bool isHexDigit(char16_t c)
{
    return (c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'f') || (c >= u'A' && c <= u'F');
}

bool isUrlCharacter(char16_t c)
{
    if ((c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9'))
        return true;
    return QStringView(u"-._~!$&'()*+,;=:@/?").contains(QChar(c));
}

// The longest wait in milliseconds; a time-out that is not a positive number
// gets the URL-loading default of 60 seconds.
std::chrono::milliseconds waitFor(double seconds)
{
    if (!(seconds > 0) || !std::isfinite(seconds))
        seconds = 60;
    return std::chrono::milliseconds(qint64(std::ceil(std::min(seconds, 86400.0) * 1000)));
}

}  // namespace

bool isValidRequestPath(const QString& path)
{
    if (!path.startsWith(u'/'))
        return false;
    bool inFragment = false;
    for (qsizetype i = 0; i < path.size(); ++i) {
        const char16_t c = path[i].unicode();
        if (c == u'%') {
            if (i + 2 >= path.size() || !isHexDigit(path[i + 1].unicode()) || !isHexDigit(path[i + 2].unicode()))
                return false;
            i += 2;
        } else if (c == u'#') {
            if (inFragment)
                return false;
            inFragment = true;
        } else if (!isUrlCharacter(c)) {
            return false;
        }
    }
    return true;
}

QByteArray buildHttpRequest(const QString& method, const QString& path, const QByteArray& authority,
                            const std::optional<QByteArray>& body)
{
    // The fragment stays with the client.
    const qsizetype fragment = path.indexOf(u'#');
    QByteArray request = method.toLatin1() + ' ' + (fragment < 0 ? path : path.left(fragment)).toLatin1()
        + " HTTP/1.1\r\nHost: " + authority + "\r\n";
    if (body) {
        request += "Content-Type: application/json; charset=utf-8\r\nContent-Length: "
            + QByteArray::number(body->size()) + "\r\n";
    }
    request += "Connection: close\r\n\r\n";
    if (body)
        request += *body;
    return request;
}

Transport urlSessionTransport(const QString& base, double timeout)
{
    const std::optional<HttpEndpoint> endpoint = endpointFromBase(base);
    const std::chrono::milliseconds limit = waitFor(timeout);
    return [base, endpoint, limit](const QString& method, const QString& path,
                                   const std::optional<QByteArray>& body) -> APIResponse {
        if (!isValidRequestPath(path))
            throw ProxyError::badArguments(QStringLiteral("bad path ") + path);
        // A port outside 1 to 65535 names no place to connect to.
        if (!endpoint)
            throw ProxyError::unreachable(base);
        std::optional<APIResponse> reply =
            exchangeOnce(*endpoint, buildHttpRequest(method, path, endpoint->authority, body), limit);
        if (!reply)
            throw ProxyError::unreachable(base);
        return std::move(*reply);
    };
}

}  // namespace zelvane::mcp
