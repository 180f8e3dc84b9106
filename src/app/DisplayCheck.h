#pragma once

#include <QString>
#include <QStringList>
#include <optional>

namespace zelvane::DisplayCheck {

// Why the window cannot open (no display to connect to, no platform plugin
// for it), or none when it can. Asked before the application object exists,
// whose own failure would abort the process. `arguments`: program path
// first.
std::optional<QString> problem(const QStringList& arguments);

}  // namespace zelvane::DisplayCheck
