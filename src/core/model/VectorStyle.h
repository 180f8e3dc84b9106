#pragma once

#include <QString>
#include <optional>

namespace zelvane {

// The drawing style every element carries. Colours are colour texts, read
// through RGBAColor::fromHex only where they are drawn.
struct VectorStyle {
    std::optional<QString> strokeColorHex;
    // For text elements, the colour of the text itself.
    std::optional<QString> fillColorHex;
    double strokeWidth = 0;
    double opacity = 1;
    bool dashed = false;

    VectorStyle() = default;
    // strokeWidth is kept at least 0 and opacity within 0.05...1.
    VectorStyle(std::optional<QString> strokeColorHex, std::optional<QString> fillColorHex,
                double strokeWidth, double opacity, bool dashed);

    // The blue ink of signatures: "#1E3A8A".
    static QString inkColorHex();
    static const VectorStyle& defaultInk();
    static const VectorStyle& defaultShape();
    static const VectorStyle& defaultText();

    bool operator==(const VectorStyle&) const = default;
};

}  // namespace zelvane
