#include "http/HttpReply.h"

#include <QJsonDocument>

namespace zelvane {

HttpReply HttpReply::json(const QJsonObject& object, int status)
{
    return HttpReply{status, kJSONContentType, prettyJSON(object)};
}

HttpReply HttpReply::error(const QString& text, int status)
{
    return json(QJsonObject{{QStringLiteral("ok"), false}, {QStringLiteral("error"), text}}, status);
}

HttpReply HttpReply::data(QByteArray body, QByteArray contentType, int status)
{
    return HttpReply{status, std::move(contentType), std::move(body)};
}

QByteArray prettyJSON(const QJsonObject& object)
{
    // QJsonObject keeps its keys sorted and Qt never escapes "/".
    return QJsonDocument(object).toJson(QJsonDocument::Indented);
}

QByteArray reasonPhrase(int status)
{
    switch (status) {
    case 100: return "Continue";
    case 200: return "OK";
    case 201: return "Created";
    case 204: return "No Content";
    case 400: return "Bad Request";
    case 403: return "Forbidden";
    case 404: return "Not Found";
    case 405: return "Method Not Allowed";
    case 408: return "Request Timeout";
    case 411: return "Length Required";
    case 413: return "Content Too Large";
    case 414: return "URI Too Long";
    case 417: return "Expectation Failed";
    case 431: return "Request Header Fields Too Large";
    case 500: return "Internal Server Error";
    case 501: return "Not Implemented";
    case 503: return "Service Unavailable";
    default: break;
    }
    if (status >= 200 && status < 300)
        return "OK";
    if (status >= 300 && status < 400)
        return "Redirection";
    if (status >= 400 && status < 500)
        return "Bad Request";
    return "Internal Server Error";
}

QByteArray serializeReply(const HttpReply& reply)
{
    const int status = reply.status >= 200 && reply.status <= 599 ? reply.status : 500;
    QByteArray contentType = reply.contentType;
    contentType.replace('\r', QByteArray()).replace('\n', QByteArray());
    QByteArray out;
    out.reserve(160 + reply.body.size());
    out += "HTTP/1.1 ";
    out += QByteArray::number(status);
    out += ' ';
    out += reasonPhrase(status);
    out += "\r\nContent-Type: ";
    out += contentType;
    out += "\r\nContent-Length: ";
    out += QByteArray::number(reply.body.size());
    out += "\r\nConnection: close\r\n\r\n";
    out += reply.body;
    return out;
}

void LaterReply::resolve(HttpReply reply)
{
    {
        const std::lock_guard lock(m_mutex);
        if (m_reply)
            return;
        reply.later.reset();
        m_reply = std::move(reply);
    }
    m_given.notify_all();
}

std::optional<HttpReply> LaterReply::waitFor(std::chrono::milliseconds wait)
{
    std::unique_lock lock(m_mutex);
    m_given.wait_for(lock, wait, [this] { return m_reply.has_value(); });
    return m_reply;
}

}  // namespace zelvane
