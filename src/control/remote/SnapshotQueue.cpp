#include "remote/SnapshotQueue.h"

#include "VectorController.h"

#include <QTimer>
#include <chrono>

namespace zelvane {

namespace {

// How long a waiting request may take to be answered, its wait included.
constexpr std::chrono::seconds kAnswerLimit{60};

}  // namespace

SnapshotQueue::SnapshotQueue(VectorController& controller) : m_controller(controller) {}

SnapshotQueue::~SnapshotQueue()
{
    for (Job& job : m_jobs)
        job.later->resolve(HttpReply::error(QString::fromLatin1(kBusyMessage), 503));
}

HttpReply SnapshotQueue::request(Renderer renderer, const QString& query)
{
    if (m_jobs.size() >= size_t(kMaxWaiting))
        return HttpReply::error(QString::fromLatin1(kBusyMessage), 503);
    HttpReply reply;
    reply.later = std::make_shared<LaterReply>(kAnswerLimit);
    m_jobs.push_back({std::move(renderer), query, reply.later});
    scheduleNext();
    return reply;
}

void SnapshotQueue::scheduleNext()
{
    if (m_rendering || m_scheduled || m_jobs.empty())
        return;
    m_scheduled = true;
    QTimer::singleShot(0, this, [this] {
        m_scheduled = false;
        renderNext();
    });
}

void SnapshotQueue::renderNext()
{
    if (m_rendering || m_jobs.empty())
        return;
    Job job = std::move(m_jobs.front());
    m_jobs.pop_front();
    m_rendering = true;
    std::optional<QByteArray> png;
    if (job.renderer)
        png = job.renderer(m_controller, job.query);
    m_rendering = false;
    job.later->resolve(png ? HttpReply::data(*png, "image/png") : HttpReply::error("snapshot failed", 500));
    scheduleNext();
}

}  // namespace zelvane
