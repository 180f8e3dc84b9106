#pragma once

#include <QString>

namespace zelvane {

// A leading "~" becomes the user's home folder ("~" alone, "~/..."), and
// "~name" the home folder of the user "name" when there is one; any other
// text comes back unchanged.
QString expandTildeInPath(const QString& path);

// Why a file written on behalf of a remote client (OSC or HTTP export) must
// not go to `path`, or an empty text when it may. An existing entry is
// replaced only when it is a regular file (a symbolic link, a folder or a
// device is refused) whose extension is pdf, svg or png in any letter case;
// a path where nothing exists yet is allowed.
QString remoteExportRefusal(const QString& path);

}  // namespace zelvane
