#include "sheets/RemotePortSettings.h"

#include "Localization.h"
#include "appmodel/AppModel.h"
#include "remote/RemoteControl.h"
#include "remote/ServicePorts.h"

namespace zelvane::RemotePortSettings {

namespace {

using Kind = SideOutcome::Kind;

SideOutcome applySide(RemoteControl* remote, const QString& typed, bool osc)
{
    SideOutcome outcome;
    outcome.typed = typed;
    const std::optional<quint16> port = parsePortField(typed);
    if (!remote) {
        outcome.kind = Kind::noServices;
        return outcome;
    }
    const auto current = [&] { return osc ? remote->oscInPort() : remote->httpPort(); };
    const auto running = [&] { return osc ? remote->isOSCRunning() : remote->isHTTPRunning(); };
    if (!port || *port == 0) {
        outcome.kind = Kind::refused;
    } else if (osc ? remote->startOSCServer(*port) : remote->startHTTPServer(*port)) {
        outcome.kind = Kind::applied;
    } else {
        outcome.kind = Kind::bindFailed;
        outcome.error = osc ? remote->oscError() : remote->httpError();
    }
    outcome.port = current();
    outcome.stillRunning = running();
    return outcome;
}

QString sideName(bool osc)
{
    return osc ? QStringLiteral("OSC") : QStringLiteral("HTTP/MCP");
}

QString describe(const SideOutcome& side, bool osc)
{
    const QString name = sideName(osc);
    const QString port = QString::number(side.port);
    if (side.applied())
        return L(name + QStringLiteral(" sur :") + port, name + QStringLiteral(" on :") + port);

    QString reason;
    switch (side.kind) {
    case Kind::applied:
        break;
    case Kind::refused:
        reason = side.typed.trimmed().isEmpty()
                     ? L("champ vide", "empty field")
                     : L(QStringLiteral("« ") + side.typed + QStringLiteral(" » n'est pas un port de 1 à 65535"),
                         QStringLiteral("\"") + side.typed + QStringLiteral("\" is not a port from 1 to 65535"));
        break;
    case Kind::bindFailed:
        reason = side.error.isEmpty() ? L("port indisponible", "port unavailable") : side.error;
        break;
    case Kind::noServices:
        return L(QStringLiteral("Port ") + name + QStringLiteral(" inchangé (pilotage à distance désactivé)"),
                 name + QStringLiteral(" port unchanged (remote control is off)"));
    }
    const QString still = side.stillRunning
                              ? L(QStringLiteral(", toujours sur :") + port, QStringLiteral(", still on :") + port)
                              : L(", aucun serveur actif", ", no server running");
    return L(QStringLiteral("Port ") + name + QStringLiteral(" inchangé (") + reason + QStringLiteral(")") + still,
             name + QStringLiteral(" port unchanged (") + reason + QStringLiteral(")") + still);
}

}  // namespace

quint16 oscPort(const AppModel& model)
{
    const RemoteControl* remote = model.remoteControl();
    return remote ? remote->oscInPort() : kZelvaneDefaultOSCInPort;
}

quint16 httpPort(const AppModel& model)
{
    const RemoteControl* remote = model.remoteControl();
    return remote ? remote->httpPort() : kZelvaneDefaultHTTPPort;
}

void whenPortsChange(const AppModel& model, QObject* context, std::function<void()> changed)
{
    if (RemoteControl* remote = model.remoteControl())
        QObject::connect(remote, &RemoteControl::portsChanged, context, std::move(changed));
}

std::optional<quint16> parsePortField(const QString& text)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    const auto blank = [](QChar c) { return c == u' ' || c == u'\t'; };
    while (begin < end && blank(text[begin]))
        ++begin;
    while (end > begin && blank(text[end - 1]))
        --end;
    return parsePortText(QStringView(text).sliced(begin, end - begin));
}

QString ApplyOutcome::message() const
{
    if (allApplied()) {
        const QString oscText = QString::number(osc.port);
        const QString httpText = QString::number(http.port);
        return L(QStringLiteral("Ports OSC (:") + oscText + QStringLiteral(") et HTTP/MCP (:") + httpText +
                     QStringLiteral(") mis à jour"),
                 QStringLiteral("OSC (:") + oscText + QStringLiteral(") and HTTP/MCP (:") + httpText +
                     QStringLiteral(") ports updated"));
    }
    return describe(osc, true) + QStringLiteral(" · ") + describe(http, false);
}

ApplyOutcome applyPorts(RemoteControl* remote, const QString& oscText, const QString& httpText)
{
    ApplyOutcome outcome;
    outcome.osc = applySide(remote, oscText, true);
    outcome.http = applySide(remote, httpText, false);
    return outcome;
}

}  // namespace zelvane::RemotePortSettings
