#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QString>

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <optional>

namespace zelvane {

inline constexpr const char* kJSONContentType = "application/json; charset=utf-8";

class LaterReply;

// What the API answers to one request. A default reply is the one a route
// that writes nothing gives: status 200, {"ok":true}, JSON.
struct HttpReply {
    int status = 200;
    QByteArray contentType = kJSONContentType;
    QByteArray body = QByteArrayLiteral("{\"ok\":true}");
    // Set by a route whose work ends later (an open running on a worker):
    // the server then sends what `later` is given instead of this reply.
    std::shared_ptr<LaterReply> later;

    // `object` as pretty-printed JSON with sorted keys.
    static HttpReply json(const QJsonObject& object, int status = 200);
    // {"ok":false,"error":text}, pretty-printed, with status 400 unless told.
    static HttpReply error(const QString& text, int status = 400);
    static HttpReply data(QByteArray body, QByteArray contentType, int status = 200);
};

// The answer to a request whose work goes on after its route has returned.
// The server waits for it at most `limit` (then answers 503 "timeout").
class LaterReply {
public:
    explicit LaterReply(std::chrono::milliseconds limit) : m_limit(limit) {}

    std::chrono::milliseconds limit() const { return m_limit; }
    // From any thread; the first answer counts.
    void resolve(HttpReply reply);
    // The answer once given, waiting for it at most `wait`.
    std::optional<HttpReply> waitFor(std::chrono::milliseconds wait);

private:
    const std::chrono::milliseconds m_limit;
    std::mutex m_mutex;
    std::condition_variable m_given;
    std::optional<HttpReply> m_reply;
};

// Pretty-printed JSON: indented over several lines, the keys of every object
// in sorted order, slashes not escaped. Non-finite numbers are written null.
QByteArray prettyJSON(const QJsonObject& object);

// "OK", "Bad Request", "Forbidden", "Internal Server Error", ... by status;
// an unlisted status takes the phrase of its class.
QByteArray reasonPhrase(int status);

// The bytes sent for a reply: "HTTP/1.1 <status> <reason>", Content-Type,
// Content-Length (the body's size in bytes), "Connection: close", a blank
// line and the body. A status outside 200 to 599 is sent as 500, and line
// breaks in the content type are dropped.
QByteArray serializeReply(const HttpReply& reply);

}  // namespace zelvane
