#pragma once

// Lines of a scan's text layer: the page shows them only as a picture and
// prints their words invisibly (or in a font without outlines). Their
// elements keep the layer's text and place but draw in an installed face
// chosen to resemble the print, sized to its ink.

#include "model/TextPayload.h"
#include "model/VectorGeometry.h"
#include "pdf/PDFDocument.h"
#include "pdf/PDFPageBitmapAnalyzer.h"

#include <QImage>
#include <optional>

namespace zelvane::PDFCodec {

// Every character of the `length` units from `start` that has a font run
// is printed invisibly or in a registered program without outlines, and
// at least one has a run.
bool printedInvisibly(const PDFPageText& page, qsizetype start, qsizetype length);

// Where to measure the print of a line whose text layer has `selection`
// (page points): a little larger on every side (at most 16 points), as a
// layer's boxes only roughly follow the picture's words.
QRectF scannedLineWindow(const QRectF& selection);

// The picture of a measured line's ink, to choose its face from; null
// without ink.
QImage scannedInkPicture(const PDFPageBitmapAnalyzer& analyzer, const RegionMetrics& metrics);

// Gives the payload of an invisibly printed line an installed face that
// resembles `picture` (its ink as scannedInkPicture gives it), or the
// sans-serif one without a picture, at the size that spans the ink, with
// the baseline measured on the page. Unchanged without a font database.
void fitScannedLine(TextPayload& payload, const VectorRect& frame, const std::optional<RegionMetrics>& metrics,
                    const QImage& picture);

}  // namespace zelvane::PDFCodec
