#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QString>

namespace zelvane {

inline constexpr const char* kJSONContentType = "application/json; charset=utf-8";

// What the API answers to one request. A default reply is the one a route
// that writes nothing gives: status 200, {"ok":true}, JSON.
struct HttpReply {
    int status = 200;
    QByteArray contentType = kJSONContentType;
    QByteArray body = QByteArrayLiteral("{\"ok\":true}");

    // `object` as pretty-printed JSON with sorted keys.
    static HttpReply json(const QJsonObject& object, int status = 200);
    // {"ok":false,"error":text}, pretty-printed, with status 400 unless told.
    static HttpReply error(const QString& text, int status = 400);
    static HttpReply data(QByteArray body, QByteArray contentType, int status = 200);
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
