#pragma once

// A face for a line that a page shows only as a picture (a scan's text
// layer prints its words invisibly, in a font without outlines): an
// installed face that resembles the print, sized so that the text covers
// the printed ink.

#include <QImage>
#include <QRawFont>
#include <QString>
#include <QStringList>

#include <optional>

namespace zelvane::fonts {

// The printed line as the page's picture shows it.
struct PrintedInk {
    QString text;
    // The line's ink box in grey, dark on light, at `pixelsPerPoint`.
    QImage picture;
    double pixelsPerPoint = 2.0;
    // The ink box in points.
    double width = 0;
    double height = 0;
    // Lines giving the same non-empty value here are set in one font and
    // size by their text layer (a scan prints such lines alike).
    QString setting;
};

struct ScanFace {
    // An installed family and the PostScript name of its chosen face.
    QString family;
    QString postScriptName;
    bool bold = false;
    bool italic = false;
    double fontSize = 0;
    // Points after every character, to make up what the size leaves of
    // the ink's width.
    double letterSpacing = 0;
    // Where the baseline lies, in points below the picture's top, when the
    // picture tells.
    std::optional<double> baseline;
};

// The program has glyphs but none of them has an outline (the glyph-less
// fonts OCR programs print their invisible text layer in).
bool drawsNoOutlines(const QRawFont& program);

// The installed families a scanned line's face is chosen among: the first
// installed substitute of a serif and of a sans-serif family of the
// substitution table ("Liberation Serif", "Liberation Sans" on Debian).
QStringList scanFaceFamilies();

// The regular, bold or italic face of scanFaceFamilies() whose drawing of the
// words, each stretched over its printed ink, differs least from the
// picture in shape and weight, at the size that makes the words as wide as
// their ink (within 7 % of the size the text's height gives; letter spacing
// makes up the rest), and the baseline at which the words, each drawn from
// where its ink starts, cover the ink best. Nothing without a font
// database, installed candidates, text or picture. While a FontMemo lives,
// the lines of one setting after the first of a few words compare only the
// faces of the family it chose, those of a few words after the first three
// take the face most of these chose without comparing faces, and the size
// and baseline are fitted on the picture once for the
// lines of one setting drawn in one face: the lines after take that size,
// and their baseline where their drawing spans their ink, moved as the
// fitted one was.
std::optional<ScanFace> chooseScanFace(const PrintedInk& ink);

// How many times chooseScanFace has run in this process: its matching is
// costly and meant for a scan's text layer only.
qint64 scanFaceMatchings();

// How many times a face has been drawn over a line's picture to compare it
// with the print, in this process: the costly part of the matching.
qint64 scanFaceComparisons();

// A face for a line whose print cannot be seen: the sans-serif candidate
// at `size`, regular or bold. Nothing without a font database.
std::optional<ScanFace> defaultScanFace(double size, bool bold);

}  // namespace zelvane::fonts
