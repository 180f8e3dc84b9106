#pragma once

#include <QString>
#include <optional>

namespace zelvane::Format {

// A scale factor as a whole percentage: 1.0 gives "100 %", halves rounded
// away from zero. Not-a-number and infinities give "— %"; finite values
// beyond what an int holds are clamped to it.
QString percent(double ratio);

// "1 signature", "3 signatures", "2 éléments": the singular below 2, else
// the plural given or the singular with an "s".
QString count(long long value, const QString& singular, const std::optional<QString>& plural = std::nullopt);

}  // namespace zelvane::Format
