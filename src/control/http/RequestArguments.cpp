#include "http/RequestArguments.h"

#include <QJsonValue>

#include <cmath>
#include <limits>

namespace zelvane::RequestArguments {

std::optional<QString> string(const QJsonObject& args, const QString& key)
{
    const QJsonValue value = args.value(key);
    if (!value.isString())
        return std::nullopt;
    return value.toString();
}

std::optional<bool> boolean(const QJsonObject& args, const QString& key)
{
    const QJsonValue value = args.value(key);
    if (!value.isBool())
        return std::nullopt;
    return value.toBool();
}

std::optional<double> number(const QJsonObject& args, const QString& key)
{
    const QJsonValue value = args.value(key);
    if (!value.isDouble())
        return std::nullopt;
    return value.toDouble();
}

std::optional<qint64> integer(const QJsonObject& args, const QString& key)
{
    const QJsonValue value = args.value(key);
    if (!value.isDouble())
        return std::nullopt;
    // Whole numbers stored as 64-bit integers come back exactly.
    constexpr qint64 kNotWhole = std::numeric_limits<qint64>::min();
    const qint64 whole = value.toInteger(kNotWhole);
    if (whole != kNotWhole)
        return whole;
    const double real = value.toDouble();
    // [-2^63, 2^63): the bounds are exact doubles, so the cast is defined.
    if (!std::isfinite(real) || real != std::trunc(real) || real < -9223372036854775808.0 ||
        real >= 9223372036854775808.0)
        return std::nullopt;
    return qint64(real);
}

Number checkedNumber(const QJsonObject& args, const QString& key, double lowest, double highest)
{
    const std::optional<double> value = number(args, key);
    if (!value)
        return {};
    if (!std::isfinite(*value) || *value < lowest || *value > highest)
        return Number{std::nullopt, Refusal{QStringLiteral("invalid '%1'").arg(key)}};
    return Number{value, std::nullopt};
}

Number coordinate(const QJsonObject& args, const QString& key)
{
    return checkedNumber(args, key, -kMaxCoordinate, kMaxCoordinate);
}

std::optional<int> pageIndex(const QJsonObject& args, int currentIndex, int pageCount, const QString& key)
{
    const std::optional<double> page = number(args, key);
    // Not integral: the route uses the current page, as for a missing key.
    // Infinities cannot come from JSON but are refused like any huge number.
    if (!page || (std::isfinite(*page) && *page != std::trunc(*page))) {
        if (currentIndex < 0 || currentIndex >= pageCount)
            return std::nullopt;
        return currentIndex;
    }
    // Compared as doubles, so nothing is converted before it is in range.
    if (!(*page >= 1.0) || *page > double(pageCount))
        return std::nullopt;
    return int(*page) - 1;
}

}  // namespace zelvane::RequestArguments
