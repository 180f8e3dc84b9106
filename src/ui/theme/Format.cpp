#include "theme/Format.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace zelvane::Format {

QString percent(double ratio)
{
    const QString suffix = QStringLiteral(" %");
    if (!std::isfinite(ratio))
        return QStringLiteral("—") + suffix;
    constexpr double lowest = double(std::numeric_limits<int>::min());
    constexpr double highest = double(std::numeric_limits<int>::max());
    // Clamped before the conversion, which is undefined out of range; a
    // product that overflows to infinity clamps the same way.
    const double scaled = std::clamp(std::round(ratio * 100.0), lowest, highest);
    return QString::number(int(scaled)) + suffix;
}

QString count(long long value, const QString& singular, const std::optional<QString>& plural)
{
    const QString noun = value < 2 ? singular : plural.value_or(singular + QLatin1Char('s'));
    return QString::number(value) + QLatin1Char(' ') + noun;
}

}  // namespace zelvane::Format
