#include "remote/RemoteControl.h"

#include "VectorController.h"
#include "http/HttpServer.h"
#include "remote/SnapshotQueue.h"
#include "remote/StateReplyCache.h"
#include "osc/OSCUDPServer.h"
#include "remote/OSCCommands.h"
#include "remote/ServicePorts.h"

namespace zelvane {

RemoteControl::RemoteControl(VectorController& controller)
    : m_controller(controller),
      m_stateCache(std::make_unique<StateReplyCache>(controller)),
      m_snapshotQueue(std::make_unique<SnapshotQueue>(controller)),
      m_httpPort(chooseHTTPPort())
{
}

RemoteControl::~RemoteControl()
{
    stop();
}

void RemoteControl::start()
{
    startOSCServer();
    startHTTPServer();
}

void RemoteControl::stop()
{
    if (m_osc) {
        m_osc->stop();
    }
    if (m_http) {
        m_http->stop();
    }
    m_stateCache->invalidate();
}

bool RemoteControl::startOSCServer(std::optional<quint16> port)
{
    // The new receiver is bound before the old one is given up, so a port
    // that cannot be had leaves the running receiver as it was.
    VectorController* controller = &m_controller;
    auto server = std::make_unique<OSCUDPServer>(chooseOSCInPort(port), controller,
                                                 [controller](const OSCCodec::Message& message) {
                                                     handleOSCMessage(*controller, message);
                                                 });
    if (!server->start()) {
        m_oscError = server->lastError();
        return false;
    }
    m_oscError.clear();
    const quint16 before = oscInPort();
    if (m_osc) {
        m_osc->stop();
    }
    m_osc = std::move(server);
    m_stateCache->invalidate();
    if (oscInPort() != before)
        emit portsChanged();
    return true;
}

bool RemoteControl::startHTTPServer(std::optional<quint16> port)
{
    const quint16 chosen = chooseHTTPPort(port);
    if (!m_http) {
        VectorController* controller = &m_controller;
        HttpServer::Options options;
        options.quickAnswer = [cache = m_stateCache.get()](const HttpRequest& request) {
            return cache->lookup(request);
        };
        m_http = std::make_unique<HttpServer>(
            controller,
            [this, controller](const HttpRequest& request) {
                ApiContext context;
                context.oscInPort = oscInPort();
                context.apiPort = httpPort();
                context.snapshot = m_snapshot;
                context.stateCache = m_stateCache.get();
                context.snapshotQueue = m_snapshotQueue.get();
                const VectorController::RemoteEditScope remote(*controller);
                return dispatchHTTPRequest(*controller, request, context);
            },
            options);
    }
    if (!m_http->start(chosen)) {
        return false;
    }
    const quint16 before = m_httpPort;
    m_httpPort = m_http->port();
    m_stateCache->invalidate();  // the state tells the ports
    if (m_httpPort != before)
        emit portsChanged();
    return true;
}

quint16 RemoteControl::oscInPort() const
{
    // A receiver whose loop ended is not reported as listening.
    return isOSCRunning() ? m_osc->port() : kZelvaneDefaultOSCInPort;
}

bool RemoteControl::isOSCRunning() const
{
    return m_osc && m_osc->isRunning();
}

bool RemoteControl::isHTTPRunning() const
{
    return m_http && m_http->isRunning();
}

QString RemoteControl::oscError() const
{
    if (!m_oscError.isEmpty()) {
        return m_oscError;
    }
    return m_osc ? m_osc->lastError() : QString();
}

QString RemoteControl::httpError() const
{
    return m_http ? m_http->lastError() : QString();
}

quint16 RemoteControl::httpPort() const
{
    return m_httpPort;
}

}  // namespace zelvane
