#pragma once

// Reading the keys of a request's JSON object for the API routes. Every key
// is read with one expected JSON type; a missing key and a key of another
// type are the same case, "absent". Numbers are checked against their range
// before they are used or converted, so that no route ever converts an
// out-of-range double to an integer or draws at a non-finite coordinate.

#include <QJsonObject>
#include <QString>
#include <optional>

namespace zelvane::RequestArguments {

inline constexpr const char* kInvalidPage = "invalid page";

// Coordinates and sizes accepted from a request, in points either way.
inline constexpr double kMaxCoordinate = 1.0e6;

// A key that was given a value the route refuses.
struct Refusal {
    QString error;
};

// A number read from the request: absent, a value, or refused.
struct Number {
    std::optional<double> value;
    std::optional<Refusal> refusal;

    bool refused() const { return refusal.has_value(); }
    double valueOr(double fallback) const { return value.value_or(fallback); }
};

std::optional<QString> string(const QJsonObject& args, const QString& key);
std::optional<bool> boolean(const QJsonObject& args, const QString& key);
// Any JSON number.
std::optional<double> number(const QJsonObject& args, const QString& key);
// A JSON number with an integral value that fits in 64 bits; other numbers
// (2.5, 1e19) count as absent.
std::optional<qint64> integer(const QJsonObject& args, const QString& key);

// A JSON number that must be finite and lie within [lowest, highest]; any
// other number is refused with the error "invalid '<key>'". Other types are
// absent.
Number checkedNumber(const QJsonObject& args, const QString& key, double lowest, double highest);
// checkedNumber() within -kMaxCoordinate to kMaxCoordinate: for "x", "y",
// "fontSize" and the like.
Number coordinate(const QJsonObject& args, const QString& key);

// The 0-based page a request names with its 1-based "page" key, checked
// against the document's page count; none means the error reply
// "invalid page". A "page" that is not a number with an integral value
// (absent, a string, 2.5) selects `currentIndex`, which must itself be in
// range; an integral number outside 1 to pageCount (0, -3, 1e19) is invalid,
// never converted.
std::optional<int> pageIndex(const QJsonObject& args, int currentIndex, int pageCount,
                             const QString& key = QStringLiteral("page"));

}  // namespace zelvane::RequestArguments
