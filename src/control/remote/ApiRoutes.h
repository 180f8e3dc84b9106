#pragma once

#include "http/HttpReply.h"
#include "http/HttpRequest.h"

#include <QByteArray>
#include <functional>
#include <optional>

namespace zelvane {

class SnapshotQueue;
class StateReplyCache;
class VectorController;

// What the routes need besides the controller.
struct ApiContext {
    quint16 oscInPort = 0;
    quint16 apiPort = 0;
    // The window rendered to PNG for the current document; nothing when it
    // cannot be rendered (or no renderer is installed).
    std::function<std::optional<QByteArray>(const VectorController&, const QString& query)> snapshot;
    // Takes the snapshot renders one at a time, when there is one; without
    // it the snapshot is rendered at once.
    SnapshotQueue* snapshotQueue = nullptr;
    // Keeps the state reply for the server's own thread, when there is one.
    StateReplyCache* stateCache = nullptr;
};

// The routes of the local JSON API under /v1: state, pages, help, svg,
// snapshot, open, text, sign, page and export. Runs on the main thread.
HttpReply dispatchHTTPRequest(VectorController& controller, const HttpRequest& request, const ApiContext& context);

}  // namespace zelvane
