#pragma once

#include "UpdateError.h"

#include <QString>

namespace zelvane {

// Puts a verified new installation in place of the running one without a
// moment in which the installation path holds no runnable program: the two
// folders trade places in one atomic rename (RENAME_EXCHANGE), so the path
// names either the old installation or the new one, whenever the process is
// stopped. The old installation is left where the new one was, inside the
// work folder, which is removed once the program has ended.
namespace InstallationSwap {

// The prefix of the work folders made beside an installation.
inline constexpr const char* kWorkFolderPrefix = ".zelvane-update-";
// The lock file beside an installation held while one installs.
inline constexpr const char* kLockFile = ".zelvane-update.lock";

// Trades the places of two folders on one file system in one step.
UpdateStep exchange(const QString& first, const QString& second);

// Exchanges `newInstallation` with `destination`, then checks the
// installation now at `destination`; one that fails the check is exchanged
// back, leaving the old installation in place and the error returned.
UpdateStep swapIn(const QString& newInstallation, const QString& destination, const QString& bundleID);

// Removes what earlier installations beside `destination` left behind (work
// folders of interrupted or finished runs, a lock file of an ended process).
// Nothing is removed while another process holds the lock; returns false
// then.
bool removeLeftovers(const QString& destination);

}  // namespace InstallationSwap

}  // namespace zelvane
