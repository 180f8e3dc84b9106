#pragma once

#include "ReleaseInfo.h"
#include "UpdateError.h"

#include <QByteArray>
#include <QString>

#include <atomic>

class QProcess;

namespace zelvane {

// Size limits of what the updater downloads and unpacks.
struct UpdateLimits {
    qint64 feedBytes = 1 << 20;
    qint64 archiveBytes = qint64(512) << 20;
    quint64 unpackedBytes = quint64(2) << 30;
    int archiveEntries = 20'000;
};

// A verified new installation, unpacked beside the one it replaces.
struct PreparedUpdate {
    QString workFolder;
    QString newInstallation;
    QString destination;
};

// The file work of an installation, run away from the interface thread.
namespace UpdateInstaller {

// The release's checksum as 64 lower-case hexadecimal digits; a release
// without one, or with a malformed one, cannot be installed.
UpdateResult<QString> expectedChecksum(const ReleaseInfo& release);
// 64 lower-case hexadecimal digits.
QString sha256Hex(const QByteArray& bytes);
UpdateStep verifyChecksum(const QByteArray& archive, const QString& expected);

// Checks the archive's entries, unpacks it with unzip into a new work folder
// beside `destination`, and checks the unpacked installation: its layout and
// marker, and that its program reports the release's version. The work
// folder is removed again when a step fails or `cancelled` becomes true (a
// tool then running is killed).
UpdateResult<PreparedUpdate> prepare(const QByteArray& archive, const ReleaseInfo& release,
                                     const QString& destination, const QString& bundleID,
                                     const UpdateLimits& limits, const std::atomic<bool>* cancelled = nullptr);

// Runs a tool and waits for it; a non-zero exit status is an error carrying
// that status and the tool's standard error. The tool is killed as soon as
// `cancelled` becomes true.
UpdateStep runTool(const QString& tool, const QStringList& arguments, const QString& workingDirectory = {},
                   const std::atomic<bool>* cancelled = nullptr);

// Waits for a started process to end, for at most `timeoutMs` (-1: no
// limit), killing it when `cancelled` becomes true. True when it ended by
// itself.
bool waitForProcess(QProcess& process, int timeoutMs, const std::atomic<bool>* cancelled);

// The error of an installation stopped because the program is ending.
UpdateError cancelledError();

}  // namespace UpdateInstaller

}  // namespace zelvane
