#pragma once

#include "APIResponse.h"
#include "HttpTransport.h"

#include <QJsonObject>
#include <QString>
#include <optional>

namespace zelvane::mcp {

// The MCP server: JSON-RPC 2.0, one message per line, every tool call turned
// into one request to the editor through the transport. It keeps no state
// between messages.
class ZelvaneMCPServer {
public:
    ZelvaneMCPServer(Transport transport, QString apiBase, QString version);

    // Answers standard input on standard output until the input ends.
    void run() const;
    // The same loop over any pair of descriptors.
    void run(int inputFd, int outputFd) const;

    // The reply to one input line (without its line break), or none when no
    // reply is due.
    std::optional<QString> handle(const QString& line) const;
    // The object as one line of compact JSON, or none when it cannot be written.
    static std::optional<QString> encode(const QJsonObject& object);

    // The result of one tool of the table; throws ProxyError when the request
    // cannot be made or the editor does not answer.
    QJsonObject callTool(const QString& name, const QJsonObject& arguments) const;
    // The reply's body as a text result, an error when the status is above 399.
    static QJsonObject textResult(const APIResponse& response);
    // A 200 image reply as an image result with a caption, else a text result.
    static QJsonObject imageResult(const APIResponse& response, const QString& caption);

    const Transport transport;
    const QString apiBase;
    const QString version;

private:
    QJsonObject dispatchToolCall(const QJsonObject& params, std::optional<QJsonObject>& error) const;
};

}  // namespace zelvane::mcp
