// The tool calls of ZelvaneMCPServer: each tool is one request to the
// editor's API under /v1, and its reply becomes a text or image result.
#include "ProxyError.h"
#include "ZelvaneMCPServer.h"

#include <QJsonArray>
#include <QJsonDocument>

namespace zelvane::mcp {
namespace {

struct ToolRoute {
    const char* name;
    const char* method;
    const char* path;
};

constexpr ToolRoute toolRoutes[] = {
    {"zelvane_state", "GET", "/v1/state"},
    {"zelvane_pages", "GET", "/v1/pages"},
    {"zelvane_help", "GET", "/v1/help"},
    {"zelvane_open", "POST", "/v1/open"},
    {"zelvane_edit_text", "POST", "/v1/text"},
    {"zelvane_sign", "POST", "/v1/sign"},
    {"zelvane_add_page", "POST", "/v1/page"},
    {"zelvane_export", "POST", "/v1/export"},
    {"zelvane_snapshot", "GET", "/v1/snapshot.png"},
};

QJsonObject textItem(const QString& text)
{
    return QJsonObject{{QStringLiteral("type"), QStringLiteral("text")}, {QStringLiteral("text"), text}};
}

}  // namespace

QJsonObject ZelvaneMCPServer::callTool(const QString& name, const QJsonObject& arguments) const
{
    for (const ToolRoute& route : toolRoutes) {
        if (name != QLatin1String(route.name))
            continue;
        const QString method = QLatin1String(route.method);
        QString path = QLatin1String(route.path);
        if (name == QLatin1String("zelvane_snapshot")) {
            // Passed on as given; a view the URL cannot hold is a bad path.
            const QJsonValue view = arguments.value(QStringLiteral("view"));
            if (view.isString() && !view.toString().isEmpty())
                path += QStringLiteral("?view=") + view.toString();
            return imageResult(transport(method, path, std::nullopt),
                               QStringLiteral("Snapshot of the Zelvane window."));
        }
        std::optional<QByteArray> body;
        if (method == QLatin1String("POST"))
            body = QJsonDocument(arguments).toJson(QJsonDocument::Compact);
        return textResult(transport(method, path, body));
    }
    throw ProxyError::badArguments(QStringLiteral("unknown tool ") + name);
}

QJsonObject ZelvaneMCPServer::textResult(const APIResponse& response)
{
    // Invalid UTF-8 reads as U+FFFD.
    return QJsonObject{
        {QStringLiteral("content"), QJsonArray{textItem(QString::fromUtf8(response.data))}},
        {QStringLiteral("isError"), response.status > 399},
    };
}

QJsonObject ZelvaneMCPServer::imageResult(const APIResponse& response, const QString& caption)
{
    const QString lowered = response.contentType.toLower();
    if (response.status != 200 || lowered.contains(QLatin1String("json")))
        return textResult(response);
    const QString mimeType = lowered.startsWith(QLatin1String("image/"))
        ? response.contentType.section(u';', 0, 0)
        : QStringLiteral("image/png");
    return QJsonObject{
        {QStringLiteral("content"),
         QJsonArray{
             QJsonObject{{QStringLiteral("type"), QStringLiteral("image")},
                         {QStringLiteral("data"), QString::fromLatin1(response.data.toBase64())},
                         {QStringLiteral("mimeType"), mimeType}},
             textItem(caption),
         }},
    };
}

}  // namespace zelvane::mcp
