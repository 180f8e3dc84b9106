#pragma once

#include "pdf/PDFDocument.h"

#include <QColor>
#include <QString>
#include <optional>

namespace zelvane::PDFCodec {

// The font and colour a text line was printed with, as far as the PDF says.
struct ExtractedFontAttributes {
    // The family to edit with; never empty.
    QString familyName = QStringLiteral("Helvetica Neue");
    // Without the subset prefix; absent when the PDF names no font.
    std::optional<QString> postScriptName;
    double fontSize = 0;
    bool isBold = false;
    bool isItalic = false;
    std::optional<QString> colorHex;
    // The size is the font's own (4.5 to 96 points), not guessed from the
    // line's height.
    bool sizeFromFont = false;
};

// The attributes of the line [start, start + length): the font most of its
// printed characters are in, at the size most of those have, never that of
// a lone symbol in a font of its own (a list's bullet); `fallbackHeight` is
// the line's height.
ExtractedFontAttributes extractAttributedFontAndColor(const PDFPageText& page, qsizetype start, qsizetype length,
                                                      double fallbackHeight);

// The size extractAttributedFontAndColor gives, found without the font
// database (so on any thread).
double printedFontSize(const PDFPageText& page, qsizetype start, qsizetype length, double fallbackHeight);

// "#RRGGBB" of an sRGB colour; nothing for an invalid one.
std::optional<QString> hexFromColor(const QColor& color);

// A family the editor can draw for a PDF font: the PDF's own registered font,
// an installed font of that PostScript name, or a common family by alias.
QString normalizeFontFamilyName(const QString& family, const QString& postScript);

}  // namespace zelvane::PDFCodec
