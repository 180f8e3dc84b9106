#pragma once

#include "http/HttpReply.h"

#include <QByteArray>
#include <QObject>
#include <QString>
#include <deque>
#include <functional>
#include <memory>
#include <optional>

namespace zelvane {

class VectorController;

// The renders of GET /v1/snapshot.png, one at a time on the main thread.
// A few requests may wait for their turn; beyond that a request is answered
// at once with 503 and a busy message. Each render runs on its own turn of
// the event loop, so the window and the other requests get the loop between
// two renders.
class SnapshotQueue : public QObject {
    Q_OBJECT

public:
    using Renderer = std::function<std::optional<QByteArray>(const VectorController&, const QString& query)>;

    // Requests that may wait while one renders.
    static constexpr int kMaxWaiting = 4;
    static constexpr const char* kBusyMessage = "busy: too many snapshots waiting, try again shortly";

    explicit SnapshotQueue(VectorController& controller);
    ~SnapshotQueue() override;

    // Main thread. A reply answered later with the PNG (or 500 "snapshot
    // failed" when the render made nothing), or 503 busy at once.
    HttpReply request(Renderer renderer, const QString& query);

    int waiting() const { return int(m_jobs.size()); }
    bool isRendering() const { return m_rendering; }

private:
    struct Job {
        Renderer renderer;
        QString query;
        std::shared_ptr<LaterReply> later;
    };
    void scheduleNext();
    void renderNext();

    VectorController& m_controller;
    std::deque<Job> m_jobs;
    bool m_rendering = false;
    bool m_scheduled = false;
};

}  // namespace zelvane
