#pragma once

#include "http/HttpReply.h"
#include "http/HttpRequest.h"

#include <QObject>
#include <mutex>
#include <optional>

namespace zelvane {

class VectorController;

// The reply to GET /v1/state (and /v1/status) as the main thread last built
// it, handed out on the HTTP server's own thread until the controller's state
// moves (the document, the history, the current page or the status line), so
// that repeated polling does not wait for the main thread at all.
class StateReplyCache {
public:
    // On the controller's thread; `controller` must outlive the cache.
    explicit StateReplyCache(VectorController& controller);

    // Any thread: the stored reply when `request` asks for the state.
    std::optional<HttpReply> lookup(const HttpRequest& request) const;
    // The controller's thread, with the reply just built from its state.
    void store(const HttpReply& reply);
    // Any thread; also for what the controller does not signal (the ports).
    void invalidate();

    static bool isStateRequest(const HttpRequest& request);

private:
    mutable std::mutex m_mutex;
    std::optional<HttpReply> m_reply;
    QObject m_receiver;
};

}  // namespace zelvane
