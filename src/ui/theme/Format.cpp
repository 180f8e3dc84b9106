#include "theme/Format.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace zelvane::Format {

QString percent(double ratio)
{
    const QString suffix = QStringLiteral(" %");
    const double scaled = std::round(ratio * 100.0);
    if (!std::isfinite(scaled))
        return QStringLiteral("—") + suffix;
    constexpr double lowest = double(std::numeric_limits<int>::min());
    constexpr double highest = double(std::numeric_limits<int>::max());
    return QString::number(int(std::clamp(scaled, lowest, highest))) + suffix;
}

QString count(long long value, const QString& singular, const std::optional<QString>& plural)
{
    const QString noun = value < 2 ? singular : plural.value_or(singular + QLatin1Char('s'));
    return QString::number(value) + QLatin1Char(' ') + noun;
}

}  // namespace zelvane::Format
