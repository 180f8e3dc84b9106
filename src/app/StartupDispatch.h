#pragma once

#include <QStringList>

namespace zelvane::StartupDispatch {

// Runs the headless mode the command line asks for (version, help,
// self-test, info, convert, snapshot), which ends the process; returns only
// when the run is interactive. `processArguments`: program path first.
void runHeadlessModeIfRequested(const QStringList& processArguments);

}  // namespace zelvane::StartupDispatch
