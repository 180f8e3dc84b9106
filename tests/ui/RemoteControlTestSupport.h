#pragma once

#include "appmodel/AppModel.h"

#include <QHostAddress>
#include <QTcpServer>
#include <QUdpSocket>
#include <memory>

namespace zelvane::testing {

// A model whose OSC receiver and HTTP API run on ports the system chose.
inline std::unique_ptr<AppModel> modelWithServices()
{
    qputenv("ZELVANE_OSC_IN_PORT", "0");
    qputenv("ZELVANE_API_PORT", "0");
    auto model = std::make_unique<AppModel>(true, false);
    qunsetenv("ZELVANE_OSC_IN_PORT");
    qunsetenv("ZELVANE_API_PORT");
    return model;
}

// A UDP port nobody held a moment ago.
inline quint16 freeUdpPort()
{
    QUdpSocket socket;
    socket.bind(QHostAddress::AnyIPv4, 0, QUdpSocket::DontShareAddress);
    return socket.localPort();
}

// A TCP port of 127.0.0.1 nobody held a moment ago.
inline quint16 freeTcpPort()
{
    QTcpServer server;
    server.listen(QHostAddress::LocalHost, 0);
    return server.serverPort();
}

}  // namespace zelvane::testing
