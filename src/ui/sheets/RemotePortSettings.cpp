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
    const QString still = side.stillRunning
                              ? L(QStringLiteral(", toujours sur :") + port, QStringLiteral(", still on :") + port)
                              : L(", aucun serveur actif", ", no server running");
    switch (side.kind) {
    case Kind::applied:
        return L(name + QStringLiteral(" sur :") + port, name + QStringLiteral(" on :") + port);
    case Kind::refused:
        if (side.typed.trimmed().isEmpty())
            return L(QStringLiteral("Champ du port ") + name + QStringLiteral(" vide") + still,
                     name + QStringLiteral(" port field is empty") + still);
        return L(QStringLiteral("« ") + side.typed + QStringLiteral(" » n'est pas un port ") + name +
                     QStringLiteral(" valide") + still,
                 QStringLiteral("\"") + side.typed + QStringLiteral("\" is not a valid ") + name +
                     QStringLiteral(" port") + still);
    case Kind::bindFailed: {
        // The system's reason, without the server's own preamble.
        const QString reason = side.error.isEmpty() ? L("occupé", "in use") : side.error.section(QStringLiteral(": "), -1);
        const QString asked = QString::number(parsePortField(side.typed).value_or(0));
        return L(QStringLiteral("Port ") + name + QLatin1Char(' ') + asked + QStringLiteral(" indisponible (") + reason +
                     QLatin1Char(')') + still,
                 name + QStringLiteral(" port ") + asked + QStringLiteral(" unavailable (") + reason + QLatin1Char(')') +
                     still);
    }
    case Kind::noServices:
        return L(name + QStringLiteral(" : pilotage à distance désactivé"),
                 name + QStringLiteral(": remote control is off"));
    }
    return {};
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

QString ApplyOutcome::message(const QString& separator) const
{
    if (allApplied()) {
        const QString oscText = QString::number(osc.port);
        const QString httpText = QString::number(http.port);
        return L(QStringLiteral("Ports OSC (:") + oscText + QStringLiteral(") et HTTP/MCP (:") + httpText +
                     QStringLiteral(") mis à jour"),
                 QStringLiteral("OSC (:") + oscText + QStringLiteral(") and HTTP/MCP (:") + httpText +
                     QStringLiteral(") ports updated"));
    }
    return describe(osc, true) + separator + describe(http, false);
}

ApplyOutcome applyPorts(RemoteControl* remote, const QString& oscText, const QString& httpText)
{
    ApplyOutcome outcome;
    outcome.osc = applySide(remote, oscText, true);
    outcome.http = applySide(remote, httpText, false);
    return outcome;
}

}  // namespace zelvane::RemotePortSettings
