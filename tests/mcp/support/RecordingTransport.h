#pragma once

#include "APIResponse.h"
#include "HttpTransport.h"

#include <QList>
#include <QString>
#include <functional>
#include <memory>
#include <optional>

namespace zelvane::mcp::testsupport {

struct TransportCall {
    QString method;
    QString path;
    std::optional<QByteArray> body;
};

// A transport that records its calls and answers with `answer` (a 200 JSON
// {"ok":true} unless replaced), which may also throw.
struct RecordingTransport {
    std::shared_ptr<QList<TransportCall>> calls = std::make_shared<QList<TransportCall>>();
    std::shared_ptr<std::function<APIResponse()>> answer = std::make_shared<std::function<APIResponse()>>([] {
        return APIResponse{200, "{\"ok\":true}", QStringLiteral("application/json; charset=utf-8"), {}};
    });

    Transport transport() const
    {
        return [calls = calls, answer = answer](const QString& method, const QString& path,
                                                const std::optional<QByteArray>& body) {
            calls->append({method, path, body});
            return (*answer)();
        };
    }
};

}  // namespace zelvane::mcp::testsupport
