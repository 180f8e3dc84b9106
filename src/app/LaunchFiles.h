#pragma once

#include <QStringList>
#include <QUrl>
#include <optional>

namespace zelvane::LaunchFiles {

// "~" and a leading "~/" replaced by the home folder; other paths unchanged.
QString expandTilde(const QString& path);

// The file the window opens at start: among the arguments (program path
// left out), the first that names something existing, a leading "~"
// standing for the home folder. An argument beginning with "-" is skipped
// together with the one after it, whatever the option.
std::optional<QUrl> firstExistingFile(const QStringList& arguments);

}  // namespace zelvane::LaunchFiles
