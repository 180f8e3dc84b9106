#include "remote/StateReplyCache.h"

#include "VectorController.h"

namespace zelvane {

StateReplyCache::StateReplyCache(VectorController& controller)
{
    const auto drop = [this] { invalidate(); };
    // Delivered directly: the cache is dropped before the change that
    // caused it is answered to anyone.
    QObject::connect(&controller, &VectorController::documentChanged, &m_receiver, drop, Qt::DirectConnection);
    QObject::connect(&controller, &VectorController::historyChanged, &m_receiver, drop, Qt::DirectConnection);
    QObject::connect(&controller, &VectorController::currentPageIndexChanged, &m_receiver, drop,
                     Qt::DirectConnection);
    QObject::connect(&controller, &VectorController::statusMessageChanged, &m_receiver, drop, Qt::DirectConnection);
}

bool StateReplyCache::isStateRequest(const HttpRequest& request)
{
    return request.method == QLatin1String("GET") &&
           (request.path == QLatin1String("/v1/state") || request.path == QLatin1String("/v1/status"));
}

std::optional<HttpReply> StateReplyCache::lookup(const HttpRequest& request) const
{
    if (!isStateRequest(request))
        return std::nullopt;
    const std::lock_guard lock(m_mutex);
    return m_reply;
}

void StateReplyCache::store(const HttpReply& reply)
{
    const std::lock_guard lock(m_mutex);
    m_reply = reply;
}

void StateReplyCache::invalidate()
{
    const std::lock_guard lock(m_mutex);
    m_reply.reset();
}

}  // namespace zelvane
