#pragma once

#include "model/VectorPage.h"
#include "pdf/PDFImageMasking.h"

#include <QList>
#include <QTransform>

namespace zelvane::PDFCodec {

// What the content of a page's backdrop loses: its masks, each mask over a
// changed or hidden line naming that line, and the lines left as they were
// (whose glyphs stay even where a changed neighbour's mask reaches them).
struct BackdropMasking {
    QList<PDFMaskRect> masks;
    QList<PDFPrintedLine> keptLines;
};

// The masks and lines of `page` (page space, y down) mapped by
// `pageToUser` into the backdrop's user space; masks whose colour does not
// parse get the page's background colour.
BackdropMasking backdropMasking(const VectorPage& page, const QTransform& pageToUser);

}  // namespace zelvane::PDFCodec
