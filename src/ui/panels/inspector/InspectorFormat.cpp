#include "panels/inspector/InspectorFormat.h"

#include <cmath>

namespace zelvane::InspectorFormat {

namespace {

const QString kDash = QStringLiteral("—");

}  // namespace

std::optional<qint64> roundedInteger(double value)
{
    if (!std::isfinite(value))
        return std::nullopt;
    const double rounded = std::round(value);
    // 2^63 is exact as a double; anything at or beyond it has no qint64.
    constexpr double kLimit = 9223372036854775808.0;
    if (rounded >= kLimit || rounded < -kLimit)
        return std::nullopt;
    return static_cast<qint64>(rounded);
}

QString integer(double value)
{
    const std::optional<qint64> rounded = roundedInteger(value);
    return rounded ? QString::number(*rounded) : kDash;
}

QString pointsOneDecimal(double value)
{
    if (!roundedInteger(value))
        return kDash + QStringLiteral(" pt");
    return QString::asprintf("%.1f pt", value);
}

QString wholePoints(double value)
{
    return integer(value) + QStringLiteral(" pt");
}

QString signedDegrees(double value)
{
    if (!roundedInteger(value))
        return kDash + QStringLiteral("°");
    return QString::asprintf("%+.0f", value) + QStringLiteral("°");
}

}  // namespace zelvane::InspectorFormat
