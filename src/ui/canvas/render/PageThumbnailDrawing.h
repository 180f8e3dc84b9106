#pragma once

#include "VectorSceneRenderCache.h"
#include "model/VectorPage.h"

#include <QImage>
#include <QList>
#include <QSizeF>

class QPainter;

namespace zelvane {

// A page drawn to fill `size` (the page's aspect): its colour (white when it
// does not parse), the PDF backdrop, the masks over changed PDF text (in the
// page colour when theirs does not parse) and the visible elements, the PDF
// text lines that still match the backdrop left to it. No selection, boxes
// or culling.
void drawPageThumbnail(QPainter& painter, const VectorPage& page, const QSizeF& size,
                       const QList<BackdropTile>& backdrop, VectorSceneRenderCache& cache);

// The thumbnail as an opaque image of `size` at `devicePixelRatio`, its
// backdrop rendered now through the cache.
QImage renderPageThumbnail(const VectorPage& page, const QSizeF& size, double devicePixelRatio,
                           VectorSceneRenderCache& cache);

}  // namespace zelvane
