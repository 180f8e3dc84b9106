#pragma once

#include "model/VectorGeometry.h"

#include <QList>

namespace zelvane {

using VectorStroke = QList<VectorPoint>;

// Thins and rounds ink strokes, and expresses strokes relative to their frame.
namespace StrokeSmoother {

// Drops points closer than 1.2 pt to the last kept one, then cuts corners
// max(iterations, 1) times; the end points never move.
VectorStroke smooth(const VectorStroke& stroke, int iterations);

struct NormalizedStrokes {
    VectorRect frame;
    QList<VectorStroke> strokes;
};

// The bounding frame of all points (sides at least 16) and the strokes with
// every point relative to it (0...1).
NormalizedStrokes normalizeStrokes(const QList<VectorStroke>& strokes);

}  // namespace StrokeSmoother

}  // namespace zelvane
