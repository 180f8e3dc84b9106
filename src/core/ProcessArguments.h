#pragma once

#include <QStringList>

namespace zelvane {

// The process's command line, program path first. Read from the running
// application when there is one, else from the kernel, so it is available
// before any application object exists.
QStringList processArguments();

}  // namespace zelvane
