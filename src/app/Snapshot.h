#pragma once

#include <QString>

namespace zelvane::Snapshot {

// Renders the window (or one of its sheets, by `view`) offscreen to a PNG
// file and ends the process. This build has no window yet: it reports that on
// standard error and exits with status 1.
[[noreturn]] void runCLISnapshot(const QString& outputPath, const QString& view);

}  // namespace zelvane::Snapshot
