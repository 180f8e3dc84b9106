#pragma once

#include <QString>
#include <QtGlobal>
#include <optional>

namespace zelvane::InspectorFormat {

// The value rounded to a whole number, halves away from zero; none when it
// is not finite or lies beyond a 64-bit integer.
std::optional<qint64> roundedInteger(double value);

// "-12", "12345"; a dash for a value with no whole number.
QString integer(double value);
// "2.0 pt"; a dash before " pt" for a value with no whole number.
QString pointsOneDecimal(double value);
// "500 pt".
QString wholePoints(double value);
// "+0°", "-90°".
QString signedDegrees(double value);

}  // namespace zelvane::InspectorFormat
