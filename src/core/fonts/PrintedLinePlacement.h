#pragma once

// An edited PDF line drawn over the place of the printed one: the words the
// user left as they were keep the positions the PDF gave their glyphs
// (justified word spaces, the producer's kerning), the changed words flow
// from the last kept one, and the kept words after them move by as much as
// the change made the line longer or shorter.

#include <QList>
#include <QString>
#include <QStringList>

namespace zelvane::PDFCodec {

// A line as the PDF printed it: its text and, for every UTF-16 unit, the x
// of the glyph's origin from the start of the line (NaN for units without a
// glyph of their own, such as spaces or the second letter of a ligature).
// With `inkStarts`, x tells where the ink of a word's first letter begins
// (a scan's text layer boxes the words' ink) rather than its origin.
// `symbolFonts` names (PostScript names without subset prefix, in the order
// first met) the fonts other than the line's own that the print shows its
// marks in, such as a list's bullet: the line draws what its own font lacks
// from those first.
struct PrintedLine {
    QString text;
    QList<double> x;
    bool inkStarts = false;
    QStringList symbolFonts;
};

// How far each UTF-16 unit of `edited` moves from where a plain layout puts
// it. `naturalEdited` and `naturalPrinted` hold the plain layout's x of every
// cursor position (size + 1 entries) of `edited` and of `printed.text`.
// All zero when no word of the printed line survives in `edited`.
QList<double> printedShifts(const PrintedLine& printed, const QList<double>& naturalPrinted, const QString& edited,
                            const QList<double>& naturalEdited);

}  // namespace zelvane::PDFCodec
