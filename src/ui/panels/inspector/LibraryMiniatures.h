#pragma once

#include "model/Presets.h"

#include <QRectF>

class QPainter;

namespace zelvane {

// The small pictures of the library rows. Artwork comes from
// ArtworkThumbnails; while it is decoded, or when it cannot be, the
// fallback is drawn: the ink strokes of a signature, the seal of a stamp.
namespace LibraryMiniatures {

// Ink strokes, points being fractions of the tile, in the preset's colour
// at full opacity (ink blue when the colour does not parse); or the
// artwork fitted into the tile with 2 points of margin.
void paintSignature(QPainter& painter, const QRectF& tile, const SignaturePreset& preset);

// The stamp's artwork fitted into the tile, else the seal symbol in the
// accent colour.
void paintStamp(QPainter& painter, const QRectF& tile, const StampPreset& preset);

}  // namespace LibraryMiniatures

}  // namespace zelvane
