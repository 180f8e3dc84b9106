#pragma once

#include "model/VectorPage.h"

#include <QByteArray>
#include <optional>

class QPainter;

namespace zelvane::PDFCodec {

enum class BackdropDrawing {
    // The PDF backdrop is drawn as a raster at the device's resolution.
    raster,
    // Background and backdrop are left out: the PDF writer puts the page's
    // own vector content underneath.
    leaveOut,
};

// Draws a page in page space with the painter's current transform:
// background, PDF backdrop, masks over changed or redacted PDF text, then the
// visible elements (unchanged PDF text is left to the backdrop).
void renderPage(const VectorPage& page, QPainter& painter, BackdropDrawing backdrop = BackdropDrawing::raster);

// The page as a PNG image at `scale` pixels per point (sides at least 16);
// nothing when the image would be too large or cannot be made.
std::optional<QByteArray> renderPagePNG(const VectorPage& page, double scale);

// Largest image renderPagePNG makes, in pixels.
inline constexpr qint64 kMaxPageImagePixels = 64LL * 1000 * 1000;

}  // namespace zelvane::PDFCodec
