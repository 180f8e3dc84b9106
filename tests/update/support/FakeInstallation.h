#pragma once

#include <QByteArray>
#include <QString>

namespace zelvane::testing {

inline constexpr const char* kTestBundleID = "net.tarnwick.zelvane";

// Writes an installation folder whose bin/zelvane is a small shell program:
// with --version it prints "Zelvane <version>"; otherwise it records its
// start by writing its version to the file "relaunched" in the folder.
void writeFakeInstallation(const QString& folder, const QString& version);

// A release archive holding a fake installation of that version in the top
// folder "zelvane".
QByteArray fakeReleaseArchive(const QString& version);

// Reads a whole file ("" when it cannot be read).
QByteArray readAll(const QString& path);
void writeFile(const QString& path, const QByteArray& data, bool executable = false);

}  // namespace zelvane::testing
