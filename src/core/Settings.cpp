#include "Settings.h"

namespace zelvane {

std::unique_ptr<QSettings> openUserSettings()
{
    return std::make_unique<QSettings>(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("Zelvane"),
                                       QStringLiteral("Zelvane"));
}

}  // namespace zelvane
