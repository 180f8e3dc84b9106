#pragma once

#include <QByteArray>
#include <QImage>
#include <QRectF>
#include <QString>
#include <optional>

class QPainter;

namespace zelvane {

// The one place signature and stamp artwork (image, PDF or SVG files) is
// drawn, for the canvas, the exports and the SVG writer. SVG artwork is read
// with the program's own SVG reader and drawn with its own page renderer,
// whose elements may carry artwork again; a few levels of nesting are drawn,
// deeper ones give nothing.
namespace ArtworkRenderer {

// The bitmap to draw, optionally with white paper made transparent and
// cropped to the ink; a null image when the bytes cannot be drawn. PDF pages
// are drawn with their longer side near `targetMaxDimension`; images at
// their own size; SVG at twice its first page's size.
QImage renderImage(const QByteArray& data, const std::optional<QString>& ext, int targetMaxDimension,
                   bool removeWhiteBackground);

// Whether the bytes are artwork that can be drawn: a PDF with a page, SVG
// the program reads, or an image whose reader knows its format and size.
// Cheap next to drawing: nothing is rendered and most images are not decoded.
bool canDraw(const QByteArray& data, const std::optional<QString>& ext);

// The artwork stretched into `rect`: PDF artwork with its paper kept is drawn
// from its own page at the device's resolution, anything else as the bitmap
// of renderImage.
void draw(const QByteArray& data, const std::optional<QString>& ext, bool removeWhiteBackground, const QRectF& rect,
          QPainter& painter);

}  // namespace ArtworkRenderer

}  // namespace zelvane
