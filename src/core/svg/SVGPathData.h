#pragma once

#include "model/PathPayload.h"

#include <QList>
#include <QString>
#include <QStringList>

namespace zelvane {

namespace SVGCodec {

// Cuts path data into command letters and number texts. A minus sign starts
// a new number unless it follows an exponent mark; "e" and "E" belong to
// numbers; commas and white space only separate.
// The tokens are views into `d`.
QList<QStringView> pathTokens(QStringView d);
QStringList tokenizePathD(const QString& d);

// Reads the "d" attribute of a path as polylines: curves become fixed numbers
// of samples (10 per cubic, 8 per quadratic), arcs and unknown commands are
// skipped, unreadable numbers are passed over. Every point is mapped to
// (x * scale.x + offset.x, y * scale.y + offset.y). Never fails.
QList<VectorSubpath> parsePathData(QStringView d, const VectorPoint& offset, const VectorPoint& scale);

// Points of a cubic Bezier for t = 1/steps ... 1 (the start point is not
// repeated); at least two points.
QList<VectorPoint> sampleCubic(const VectorPoint& from, const VectorPoint& c1, const VectorPoint& c2,
                               const VectorPoint& to, int steps);

}  // namespace SVGCodec

}  // namespace zelvane
