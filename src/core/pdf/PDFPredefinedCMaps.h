#pragma once

#include <optional>
#include <string>

namespace zelvane {

// The text of a predefined character-code map (such as "UniJIS-UCS2-H" or
// "GBK-EUC-V"), as the poppler-data package installs them, followed by the
// texts of the maps it is based on (`usecmap`), with the `usecmap` statements
// taken out: read in order, its own entries come before those it inherits.
// Nothing when the map is not installed or its bases go deeper than any
// real map does. Read once for the program, by any thread.
std::optional<std::string> predefinedCMapText(const std::string& name);

}  // namespace zelvane
