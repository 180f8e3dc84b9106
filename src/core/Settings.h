#pragma once

#include <QSettings>
#include <memory>

namespace zelvane {

// The program's user settings (~/.config/Zelvane/Zelvane.ini, following
// XDG_CONFIG_HOME). Keys keep the program's reverse-domain names.
std::unique_ptr<QSettings> openUserSettings();

inline constexpr const char* kLanguageSettingsKey = "net.tarnwick.zelvane.language";

}  // namespace zelvane
