#pragma once

#include "EnumCases.h"
#include "model/VectorGeometry.h"

#include <QString>
#include <array>
#include <optional>

namespace zelvane {

enum class TextAlignmentMode { left, center, right };

template <>
struct EnumCases<TextAlignmentMode> {
    static constexpr std::array all{TextAlignmentMode::left, TextAlignmentMode::center, TextAlignmentMode::right};
};

QString rawValue(TextAlignmentMode mode);
QString label(TextAlignmentMode mode);
QString symbol(TextAlignmentMode mode);

// The content of a text element. For lines taken from a PDF page it also
// records the line as found, so that a later change can be detected and the
// printed glyphs masked. The text colour is the element style's fill colour.
struct TextPayload {
    QString text;
    QString fontFamily;
    std::optional<QString> postScriptFontName;
    double fontSize = 12;
    bool isBold = false;
    bool isItalic = false;
    TextAlignmentMode alignment = TextAlignmentMode::left;
    // Top of the frame to the first baseline; absent means the font's cap height.
    std::optional<double> baselineOffset;
    double letterSpacing = 0;
    bool isPDFExtracted = false;
    std::optional<QString> originalPDFText;
    std::optional<VectorRect> originalPDFRect;
    std::optional<double> originalFontSize;
    std::optional<bool> originalIsBold;
    std::optional<bool> originalIsItalic;
    std::optional<QString> originalTextColorHex;
    QString maskColorHex;
    // The rest of the line as found: the element's rotation (the direction
    // its glyphs advance, clockwise from the page's x axis; absent reads as
    // 0, as in documents written before it was kept), its frame's sides and
    // its font.
    std::optional<double> originalRotationDegrees;
    std::optional<double> originalFrameWidth;
    std::optional<double> originalFrameHeight;
    std::optional<QString> originalFontFamily;
    std::optional<QString> originalPostScriptFontName;

    // Where the line was printed on the page: originalPDFRect, the line's
    // box in its own direction, turned by the original rotation about its
    // centre and bounded (exact for quarter turns). Nothing without
    // originalPDFRect.
    std::optional<VectorRect> printedPDFBounds() const;

    // The initialiser: stores every field as given except fontSize, kept at
    // least 5 (a size that is not a number becomes 5). Building the struct
    // directly keeps every value unchanged.
    static TextPayload make(TextPayload fields);

    bool operator==(const TextPayload&) const = default;
};

}  // namespace zelvane
