#pragma once

#include "UpdateError.h"

#include <QString>
#include <QStringList>

namespace zelvane::RelaunchScript {

// The shell script that swaps the installations once the running program
// has ended. Every value reaches it as a positional argument ($1 the process
// id, $2 the new installation, $3 the installation to replace, $4 the work
// folder); nothing is pasted into its text.
QString text();
// The arguments of /bin/sh that run the script.
QStringList arguments(qint64 pid, const QString& newInstallation, const QString& destination,
                      const QString& workFolder);
// Starts the script detached, its input and output connected to nothing.
UpdateStep start(qint64 pid, const QString& newInstallation, const QString& destination, const QString& workFolder);

}  // namespace zelvane::RelaunchScript
