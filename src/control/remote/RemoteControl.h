#pragma once

#include "RemoteControlServices.h"
#include "remote/ApiRoutes.h"

#include <QObject>
#include <QString>
#include <memory>
#include <optional>

namespace zelvane {

class HttpServer;
class OSCUDPServer;
class SnapshotQueue;
class StateReplyCache;
class VectorController;

// The controller's OSC receiver and HTTP API server, both handing their work
// to the main thread. Ports: an explicit one, else ZELVANE_OSC_IN_PORT /
// ZELVANE_API_PORT, else 9160 / 17960.
class RemoteControl : public QObject, public RemoteControlServices {
    Q_OBJECT

public:
    explicit RemoteControl(VectorController& controller);
    ~RemoteControl() override;

    void start() override;
    void stop() override;

    // (Re)start on a port: the new socket is bound first; when that fails,
    // the running server keeps serving, false is returned and the error
    // says why.
    bool startOSCServer(std::optional<quint16> port = std::nullopt);
    bool startHTTPServer(std::optional<quint16> port = std::nullopt);
    QString oscError() const;
    QString httpError() const;

    bool isOSCRunning() const;
    bool isHTTPRunning() const;

    // The running OSC receiver's port, or 9160 without one.
    quint16 oscInPort() const;
    // The port the API listens on, or the one it would use.
    quint16 httpPort() const;

    // Renders the window for GET /v1/snapshot.png once the window exists.
    void setSnapshotRenderer(decltype(ApiContext::snapshot) renderer) { m_snapshot = std::move(renderer); }

signals:
    // A restart moved a server to another port.
    void portsChanged();

private:
    VectorController& m_controller;
    const std::unique_ptr<StateReplyCache> m_stateCache;
    const std::unique_ptr<SnapshotQueue> m_snapshotQueue;
    std::unique_ptr<OSCUDPServer> m_osc;
    std::unique_ptr<HttpServer> m_http;
    quint16 m_httpPort;
    QString m_oscError;
    decltype(ApiContext::snapshot) m_snapshot;
};

}  // namespace zelvane
