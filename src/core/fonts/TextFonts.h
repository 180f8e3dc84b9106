#pragma once

// The one road from a text payload to a font, and the measuring of text
// elements. Fonts are QFonts whose point size is the size in page points;
// fonts::layoutFont() gives the copy that lays text out in points. Without
// a QGuiApplication there is no font database: fonts are then only
// described and widths estimated (0.55 of the size per character).

#include "model/TextPayload.h"
#include "model/VectorElement.h"

#include <QFont>
#include <QString>
#include <QStringList>

namespace zelvane::PDFCodec {

// The font for a payload at `size` points (at least 4; a size that is not a
// number gives 4): the exact face of `postScriptFontName` while weight and
// slant are as extracted (a registered PDF font, else an installed face of
// that name), else the registered or installed family (or its free
// substitute) with the wanted weight and slant, else a Helvetica Neue face.
// Never fails.
QFont resolveFont(const TextPayload& payload, double size);

// `font` with the faces of `postScriptNames` (the PDF's own registered
// programs, else installed faces of those names) right behind its own, so
// that the characters its face lacks come from them before any other
// family: a printed line's marks set in fonts of their own, such as a list's
// bullet, keep their glyphs. Names of no face are passed over.
QFont withSymbolFonts(const QFont& font, const QStringList& postScriptNames);

// The typographic width in points of one line, with `kern` points added
// after every character. An empty text measures 0.
double measureSingleLineWidth(const QString& text, const QFont& font, double kern);

// The width of the payload's widest line (lines split at line feeds), at
// least 12.
double measureTextWidth(const TextPayload& payload);

// Refits a text element's frame after its content changed: the width follows
// the text (never below 14), the height grows for several lines and never
// shrinks. Other elements are left alone.
void updateTextFrameForEditedContent(VectorElement& element);

// Refits a text element's frame after its size, face or weight changed
// (`before` is the payload as it was): the height, and a printed line's
// baseline offset, scale with the height the lines take in the new style,
// and the width follows the text as for an edit of the content.
void updateTextFrameForRestyledContent(VectorElement& element, const TextPayload& before);

}  // namespace zelvane::PDFCodec
