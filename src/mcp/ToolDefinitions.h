#pragma once

#include <QJsonArray>

namespace zelvane::mcp {

// The nine tools offered to the client, in the order of "tools/list": each
// a descriptor object with "name", "description" and "inputSchema".
const QJsonArray& zelvaneToolDefinitions();

}  // namespace zelvane::mcp
