#pragma once

#include "model/VectorPage.h"

#include <QColor>
#include <QList>
#include <QRectF>
#include <QSizeF>

class QPainter;

namespace zelvane {

// The page list's schematic of a page: its background colour and one small
// box per visible element among the first 24, coloured by kind. Not a
// rendering: no PDF content, glyphs, strokes or images. Drawn directly; it
// costs at most 24 rectangles.
namespace MiniPagePreview {

inline constexpr int kMaxElements = 24;

enum class BoxStyle { text, signature, stamp, outline };

struct Box {
    QRectF rect;
    BoxStyle style;
};

// The page's background, opaque; white when the colour text does not parse.
QColor backgroundColor(const VectorPage& page);

// The boxes for a miniature of `size`, in drawing order, in the
// miniature's coordinates. The page is stretched to the size on each axis;
// a turned element gives the box around it as turned; hidden elements and
// frames that are not finite give no box.
QList<Box> boxes(const VectorPage& page, const QSizeF& size);

// The page's sheet inside `frame`: as large as fits with the page's own
// proportions, centred, so that a landscape or turned page shows wide.
QRectF sheetIn(const VectorPage& page, const QRectF& frame);

// Draws the miniature into `rect`.
void paint(QPainter& painter, const QRectF& rect, const VectorPage& page);

}  // namespace MiniPagePreview

}  // namespace zelvane
