#pragma once

// Accented French letters that a subset font lacks: written as the base
// letter in the font's own glyph with the accent drawn as a stroke or dots,
// and lower-case letters written as capitals in a capitals-only subset.

#include "fonts/PrintedLinePlacement.h"
#include "model/TextPayload.h"

#include <QColor>
#include <QFont>
#include <QGlyphRun>
#include <QList>
#include <QPointF>
#include <QString>

#include <memory>
#include <optional>
#include <utility>

class QPainter;
class QTextLayout;

namespace zelvane::PDFCodec {

enum class SyntheticAccentKind { acute, grave, circumflex, diaeresis, cedilla };

// Where one drawn accent goes, relative to the start of the line's baseline
// (y down: negative is up).
struct SyntheticAccentPlacement {
    double centerX = 0;    // horizontal centre of the base letter
    double capTopY = 0;    // top of the base letter: -cap height or -lower-case height
    double baselineY = 0;  // always 0
    double capHeight = 0;  // the font's cap height; accent sizes scale with it
    SyntheticAccentKind kind = SyntheticAccentKind::acute;

    bool operator==(const SyntheticAccentPlacement&) const = default;
};

struct AdaptedSubsetText {
    QString adapted;
    QList<SyntheticAccentPlacement> accents;
};

// One line of text laid out with design metrics and `kern` points after
// every character; one unit of the layout is one point of the font's size,
// and QTextLayout::draw keeps that size in the painter's user units. Without
// ligatures every character keeps a glyph of its own (for PDF output): the
// text is shaped in pieces cut where letters could join.
std::unique_ptr<QTextLayout> layOutLine(const QString& text, const QFont& font, double kern,
                                        bool withoutLigatures = false);

// The glyph runs of `layout` as QTextLayout::glyphRuns() gives them, one
// per font (and run flags) with the same glyphs and places, in the order of
// each font's first glyph on the line; joined without Qt's copies of every
// run merged so far.
QList<QGlyphRun> lineGlyphRuns(const QTextLayout& layout);

// The base letter and accent of the 30 accented letters covered (É È Ê Ë À
// Â Ä Ù Û Ü Î Ï Ô Ö Ç and their lower-case forms).
std::optional<std::pair<QString, SyntheticAccentKind>> syntheticAccentFor(const QString& letter);

// The text to draw with `font` (whose primary face is asked which
// characters it has) and the accents to draw over it, laid out with `kern`
// points after every character.
AdaptedSubsetText adaptStringForSubsetFont(const QString& text, const QFont& font, double kern);

// Where a line of `width` starts inside a box of `boxWidth` from x: left keeps
// x; right and centre move it right, never left of x.
double alignedLineStart(double x, double width, TextAlignmentMode alignment, double boxWidth);

// Draws one line whose baseline starts at `at` (page space, y down) in
// `color`, aligned in a box of `boxWidth`, then its synthetic accents. The
// font's point size is taken as the size in the painter's user units,
// whatever the device's resolution. With `printed` (the line as the PDF
// printed it, x measured from `at`), a left-aligned line keeps the printed
// positions of the words left unchanged.
void drawTextLine(QPainter& painter, const QString& text, const QPointF& at, const QFont& font, double kern,
                  const QColor& color, TextAlignmentMode alignment, double boxWidth,
                  const PrintedLine* printed = nullptr);

// A line drawn over its print takes the plain places of the printed text
// from its own layout where it ends with that text, and lays the printed
// text out on its own otherwise; with `alone`, always on its own. Both give
// the same places (the switch is there to check that they do).
void layOutPrintedTextAlone(bool alone);

// A line laid out without ligatures leaves out the cuts that change nothing:
// those between two letters its own face draws when that face shapes every
// character alone (without tables of substitutions, positioning or kerning)
// and those beside a letter another font fills in. With `every`, every cut is
// made. Both give the same glyphs at the same places (the switch is there to
// check that they do).
void makeEveryLigatureCut(bool every);

}  // namespace zelvane::PDFCodec
