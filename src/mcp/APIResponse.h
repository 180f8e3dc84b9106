#pragma once

#include <QByteArray>
#include <QHash>
#include <QString>

namespace zelvane::mcp {

// One reply of the editor's HTTP API, whatever its status.
struct APIResponse {
    int status = 0;
    // The body exactly as received, possibly empty.
    QByteArray data;
    // The Content-Type header's value, or empty when the reply has none.
    QString contentType;
    // Every header field, keyed by its lower-cased name.
    QHash<QString, QString> headers;
};

}  // namespace zelvane::mcp
