#pragma once

#include <QColor>
#include <QString>
#include <optional>

namespace zelvane {

// A colour with four components in 0...1, and the one reader and writer of
// the colour texts that the model stores ("#RRGGBB", names, "rgb(...)").
struct RGBAColor {
    double r = 0;
    double g = 0;
    double b = 0;
    double a = 1;

    RGBAColor() = default;
    // Each component is clamped into 0...1; a value that is not a number becomes 0.
    RGBAColor(double r, double g, double b, double a);

    // Reads a colour text; no colour for "none", "transparent", an empty or
    // unreadable text.
    static std::optional<RGBAColor> fromHex(const std::optional<QString>& text);
    static std::optional<RGBAColor> fromHex(const QString& text) { return fromHex(std::optional<QString>(text)); }

    // "#" and six upper-case hexadecimal digits; alpha is never written.
    QString hexString() const;
    QColor toQColor() const;

    bool operator==(const RGBAColor&) const = default;
};

}  // namespace zelvane
