#pragma once

#include <QHash>
#include <QString>

namespace zelvane::mcp {

// The editor's API base URL, "http://127.0.0.1:" and the port taken from
// ZELVANE_API_PORT (17960 when absent, empty or not a signed decimal integer).
// The number is used unchanged; the transport judges whether it is a port.
QString apiBaseURL(const QHash<QString, QString>& environment);

}  // namespace zelvane::mcp
