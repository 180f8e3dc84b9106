#pragma once

#include "ExportFormat.h"

#include <QString>
#include <optional>

namespace zelvane {

// A leading "~" becomes the user's home folder ("~" alone, "~/..."), and
// "~name" the home folder of the user "name" when there is one; any other
// text comes back unchanged.
QString expandTildeInPath(const QString& path);

// Why a file written on behalf of a remote client (OSC or HTTP export) must
// not go to `path`, or an empty text when it may. The name must end in the
// extension of the format written, in any letter case: ".pdf", ".svg" or
// ".png" for `format`, or any of the three when the extension chooses the
// format. A path holding a control character (NUL included) is refused, and
// so is an existing entry that is not a regular file (a symbolic link, a
// folder, a device).
QString remoteExportRefusal(const QString& path, std::optional<ExportFormat> format = std::nullopt);

}  // namespace zelvane
