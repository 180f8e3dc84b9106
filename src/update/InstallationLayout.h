#pragma once

#include "UpdateError.h"

#include <QString>

#include <atomic>

namespace zelvane {

// A Zelvane installation on Linux is a folder of its own (by default
// ~/.local/opt/zelvane) holding bin/zelvane, bin/zelvane-mcp, the desktop
// entry and icon under share/, and a marker file whose first line is the
// bundle identifier. Only such a folder is ever replaced by an update.
namespace InstallationLayout {

inline constexpr const char* kMarkerFile = ".zelvane-installation";
inline constexpr const char* kProgram = "bin/zelvane";
inline constexpr const char* kRelay = "bin/zelvane-mcp";
inline constexpr const char* kDesktopEntry = "share/applications/zelvane.desktop";

// The installation folder a program at `programPath` was started from, or
// why it cannot be replaced (no marker: a build tree or a copy made by
// hand; a system folder; a parent folder that cannot be written).
UpdateResult<QString> runningInstallation(const QString& programPath, const QString& bundleID);

// Checks that `folder` has the layout and the marker of an installation.
UpdateStep checkInstallation(const QString& folder, const QString& bundleID);

// Runs `<folder>/bin/zelvane --version` and checks that it prints `version`;
// the program is killed when `cancelled` becomes true.
UpdateStep checkProgramVersion(const QString& folder, const QString& version, int timeoutMs = 20'000,
                               const std::atomic<bool>* cancelled = nullptr);

}  // namespace InstallationLayout

}  // namespace zelvane
