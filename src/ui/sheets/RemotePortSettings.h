#pragma once

#include <QObject>
#include <QString>
#include <functional>
#include <optional>

namespace zelvane {

class AppModel;
class RemoteControl;

// The remote-control ports as the window shows them, and moving the servers
// to ports typed in the settings.
namespace RemotePortSettings {

// The running OSC receiver's port, or 9160 without one.
quint16 oscPort(const AppModel& model);
// The port the HTTP API listens on (17960 when the model runs no servers).
quint16 httpPort(const AppModel& model);
// Runs `changed` (within `context`'s lifetime) whenever a server moves.
void whenPortsChange(const AppModel& model, QObject* context, std::function<void()> changed);

// A port field's text: spaces and tabs around it are ignored (a line break
// is not), then an optional "+" or "-", decimal digits and nothing else, at
// most 65535; "-" only before 0. None for any other text.
std::optional<quint16> parsePortField(const QString& text);

// What became of one field.
struct SideOutcome {
    enum class Kind {
        applied,     // the server now listens on `port`
        refused,     // the text is not a usable port (empty, not a number, 0, too large)
        bindFailed,  // the port could not be opened; `error` says why
        noServices,  // this model runs no remote control
    };
    Kind kind = Kind::refused;
    quint16 port = 0;  // the port listened on afterwards (applied), else the port still in use
    bool stillRunning = false;  // not applied: the previous server still answers
    QString typed;              // the field's text as typed
    QString error;              // bindFailed: the system's reason

    bool applied() const { return kind == Kind::applied; }
};

struct ApplyOutcome {
    SideOutcome osc;
    SideOutcome http;

    bool allApplied() const { return osc.applied() && http.applied(); }
    // The report in the current language: which side moved where, and for
    // each side that did not, why and what still runs; the two sides are
    // joined by `separator` unless both moved.
    QString message(const QString& separator = QStringLiteral(" · ")) const;
};

// Moves the OSC receiver, then the HTTP API, to the typed ports. Each new
// socket is opened before the old one is given up, so a refused text or a
// port held elsewhere leaves that side's server as it was; the HTTP side is
// applied whatever became of the OSC side. `remote` may be none (no services).
ApplyOutcome applyPorts(RemoteControl* remote, const QString& oscText, const QString& httpText);

}  // namespace RemotePortSettings

}  // namespace zelvane
