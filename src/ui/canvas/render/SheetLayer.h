#pragma once

#include "model/VectorPage.h"

#include <QImage>
#include <QList>
#include <QPointF>
#include <QRect>
#include <QSet>
#include <QSizeF>
#include <QUuid>

namespace zelvane {

// Everything the sheet's drawn content depends on. The lists held here
// compare in constant time while the document still shares them.
struct SheetLayerState {
    QUuid pageID;
    ElementList elements;
    QList<VectorRect> redactions;
    QString backgroundColorHex;
    double pageWidth = 0;
    double pageHeight = 0;
    bool hasPDF = false;
    QList<qint64> tileImages;
    QList<QRectF> tileRects;
    QSizeF sheetSize;
    // Where the sheet starts within a device pixel, and the part of the
    // sheet held (device pixels from the sheet's first pixel).
    QPointF subpixelOrigin;
    QRect heldPart;
    double devicePixelRatio = 1;
    bool boxes = false;
    QSet<QUuid> selection;
    // The masks over changed PDF text, which elements outside the layer
    // may add.
    QList<MaskRect> masks;
    // Whether the page's colour, backdrop and masks are in the layer.
    bool base = true;

    bool operator==(const SheetLayerState&) const = default;
};

// The sheet's content rendered once and copied to the screen while nothing
// it depends on changes: repaints for the selection handles, the HUD or a
// pan by whole pixels then cost one copy. While elements are dragged, what
// lies under them and what lies over them are kept as two such layers.
struct SheetLayer {
    SheetLayerState state;
    QImage image;
    // The next element to draw into the image when it was drawn only in
    // part (progressive drawing of a very large page); -1 once complete.
    qsizetype nextElement = -1;
    bool unfinished() const { return nextElement >= 0; }
    // The last complete image and its state, shown while a new one is
    // drawn in part when it covers the same part of the same view.
    QImage shown;
    SheetLayerState shownState;
};

// The elements being dragged and their selection frames, drawn once and
// copied at an offset while the drag only moves them: a move of many
// elements then costs two copies instead of drawing them all again.
struct LiveLayer {
    // The sheet as for a SheetLayer, without elements or backdrop.
    SheetLayerState state;
    // The elements as drawn.
    ElementList drawn;
    QSizeF paneSize;
    QPointF worldOffset;
    bool rotating = false;
    // The elements over the held part of the sheet, and their selection
    // frames over the whole pane, in device pixels.
    QImage elements;
    QImage selection;
    // Whether all of them lay within the images when drawn, so that a copy
    // at an offset shows them whole.
    bool complete = false;
};

}  // namespace zelvane
