#include "ApiBaseUrl.h"
#include "HttpTransport.h"
#include "ZelvaneMCPServer.h"

#include <QProcessEnvironment>
#include <csignal>

int main()
{
    // A client that stops reading must not end the relay before its input does.
    std::signal(SIGPIPE, SIG_IGN);

    const QProcessEnvironment system = QProcessEnvironment::systemEnvironment();
    QHash<QString, QString> environment;
    for (const QString& name : system.keys())
        environment.insert(name, system.value(name));

    const QString base = zelvane::mcp::apiBaseURL(environment);
    const zelvane::mcp::ZelvaneMCPServer server(zelvane::mcp::urlSessionTransport(base, 30), base,
                                                QStringLiteral("0.1.0"));
    server.run();
    return 0;
}
