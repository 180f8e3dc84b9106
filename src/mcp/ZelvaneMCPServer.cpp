#include "ZelvaneMCPServer.h"

#include "ProxyError.h"
#include "StreamLines.h"
#include "ToolDefinitions.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonParseError>
#include <QJsonValue>
#include <unistd.h>

#include <exception>
#include <utility>

namespace zelvane::mcp {
namespace {

constexpr int parseErrorCode = -32700;
constexpr int invalidRequestCode = -32600;
constexpr int methodNotFoundCode = -32601;
constexpr int invalidParamsCode = -32602;

QJsonObject errorObject(int code, const QString& message)
{
    return QJsonObject{{QStringLiteral("code"), code}, {QStringLiteral("message"), message}};
}

QJsonObject errorReply(const QJsonValue& id, const QJsonObject& error)
{
    return QJsonObject{
        {QStringLiteral("jsonrpc"), QStringLiteral("2.0")}, {QStringLiteral("id"), id}, {QStringLiteral("error"), error}};
}

QJsonObject successReply(const QJsonValue& id, const QJsonObject& result)
{
    return QJsonObject{{QStringLiteral("jsonrpc"), QStringLiteral("2.0")},
                       {QStringLiteral("id"), id},
                       {QStringLiteral("result"), result}};
}

QJsonObject initializeResult(const QJsonObject& params, const QString& version)
{
    const QJsonValue requested = params.value(QStringLiteral("protocolVersion"));
    return QJsonObject{
        {QStringLiteral("protocolVersion"), requested.isString() ? requested.toString() : QStringLiteral("2024-11-05")},
        {QStringLiteral("capabilities"), QJsonObject{{QStringLiteral("tools"), QJsonObject{}}}},
        {QStringLiteral("serverInfo"),
         QJsonObject{{QStringLiteral("name"), QStringLiteral("zelvane")}, {QStringLiteral("version"), version}}},
        {QStringLiteral("instructions"),
         QStringLiteral("Controls the Zelvane Linux SVG & PDF multipage vector editor (editable PDF text, calligraphic "
                        "signatures, vector shapes, stamps, multipage layout, SVG/PDF/PNG export). Call zelvane_state "
                        "or zelvane_pages first; edit PDF text with zelvane_edit_text; sign with zelvane_sign; export "
                        "with zelvane_export.")},
    };
}

bool isKnownTool(const QString& name)
{
    for (const QJsonValue& descriptor : zelvaneToolDefinitions()) {
        const QJsonValue toolName = descriptor.toObject().value(QStringLiteral("name"));
        if (toolName.isString() && toolName.toString() == name)
            return true;
    }
    return false;
}

QJsonObject failedToolResult(const QString& description)
{
    return QJsonObject{
        {QStringLiteral("content"),
         QJsonArray{QJsonObject{{QStringLiteral("type"), QStringLiteral("text")}, {QStringLiteral("text"), description}}}},
        {QStringLiteral("isError"), true},
    };
}

}  // namespace

ZelvaneMCPServer::ZelvaneMCPServer(Transport transport_, QString apiBase_, QString version_)
    : transport(std::move(transport_)), apiBase(std::move(apiBase_)), version(std::move(version_))
{
}

void ZelvaneMCPServer::run() const
{
    run(STDIN_FILENO, STDOUT_FILENO);
}

void ZelvaneMCPServer::run(int inputFd, int outputFd) const
{
    LineReader reader(inputFd);
    while (const std::optional<QByteArray> line = reader.nextLine()) {
        // Bytes that are not UTF-8 read as U+FFFD, like any text line; a line
        // over the limit is a parse error.
        const std::optional<QString> reply =
            reader.lastLineTooLong() ? encode(errorReply(QJsonValue::Null, errorObject(parseErrorCode, QStringLiteral("parse error"))))
                                     : handle(QString::fromUtf8(*line));
        // A reader that went away loses the reply; the input is still read to
        // its end.
        if (reply)
            writeWhole(outputFd, reply->toUtf8() + '\n');
    }
}

std::optional<QString> ZelvaneMCPServer::handle(const QString& line) const
{
    const QString trimmed = line.trimmed();
    if (trimmed.isEmpty())
        return std::nullopt;

    // The parser refuses bare values and nesting deeper than it supports, so
    // hostile input costs a parse error, never the stack.
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(trimmed.toUtf8(), &parseError);
    if (parseError.error != QJsonParseError::NoError || !document.isObject())
        return encode(errorReply(QJsonValue::Null, errorObject(parseErrorCode, QStringLiteral("parse error"))));

    const QJsonObject message = document.object();
    if (message.isEmpty())
        return std::nullopt;
    const QJsonValue methodValue = message.value(QStringLiteral("method"));
    if (!methodValue.isString()) {
        // A request the client waits for is told it cannot be run.
        if (message.contains(QStringLiteral("id")))
            return encode(errorReply(message.value(QStringLiteral("id")),
                                     errorObject(invalidRequestCode, QStringLiteral("invalid request"))));
        return std::nullopt;
    }
    // A notification is never executed, whatever its method.
    if (!message.contains(QStringLiteral("id")))
        return std::nullopt;
    const QJsonValue id = message.value(QStringLiteral("id"));
    const QString method = methodValue.toString();
    const QJsonObject params = message.value(QStringLiteral("params")).toObject();

    if (method == QLatin1String("initialize"))
        return encode(successReply(id, initializeResult(params, version)));
    if (method == QLatin1String("ping"))
        return encode(successReply(id, QJsonObject{}));
    if (method == QLatin1String("tools/list"))
        return encode(successReply(id, QJsonObject{{QStringLiteral("tools"), zelvaneToolDefinitions()}}));
    if (method == QLatin1String("tools/call")) {
        std::optional<QJsonObject> error;
        const QJsonObject result = dispatchToolCall(params, error);
        if (error)
            return encode(errorReply(id, *error));
        return encode(successReply(id, result));
    }
    return encode(errorReply(id, errorObject(methodNotFoundCode, QStringLiteral("method not found: ") + method)));
}

QJsonObject ZelvaneMCPServer::dispatchToolCall(const QJsonObject& params, std::optional<QJsonObject>& error) const
{
    const QJsonValue nameValue = params.value(QStringLiteral("name"));
    const QString name = nameValue.isString() ? nameValue.toString() : QString();
    if (!isKnownTool(name)) {
        error = errorObject(invalidParamsCode, QStringLiteral("unknown tool: ") + name);
        return {};
    }
    const QJsonObject arguments = params.value(QStringLiteral("arguments")).toObject();
    try {
        return callTool(name, arguments);
    } catch (const ProxyError& failure) {
        return failedToolResult(failure.description());
    } catch (const std::exception& failure) {
        return failedToolResult(QString::fromUtf8(failure.what()));
    }
}

std::optional<QString> ZelvaneMCPServer::encode(const QJsonObject& object)
{
    // Qt's writer leaves "/" unescaped and writes other characters as UTF-8.
    const QByteArray bytes = QJsonDocument(object).toJson(QJsonDocument::Compact);
    if (bytes.isEmpty())
        return std::nullopt;
    return QString::fromUtf8(bytes);
}

}  // namespace zelvane::mcp
