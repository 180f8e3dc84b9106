#pragma once

#include "UpdateError.h"

#include <QString>
#include <QStringList>

namespace zelvane::RelaunchScript {

// The shell script that starts the installation once the running program
// has ended and then removes the work folder (which holds the installation
// that was replaced, the ended program's own files). The installations have
// traded places before (InstallationSwap). Every value reaches it as a
// positional argument ($1 the process id, $2 the installation, $3 the work
// folder); nothing is pasted into its text.
QString text();
// The arguments of /bin/sh that run the script.
QStringList arguments(qint64 pid, const QString& installation, const QString& workFolder);
// Starts the script detached, its input and output connected to nothing.
UpdateStep start(qint64 pid, const QString& installation, const QString& workFolder);

}  // namespace zelvane::RelaunchScript
