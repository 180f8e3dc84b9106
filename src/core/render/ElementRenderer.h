#pragma once

#include "fonts/PrintedLinePlacement.h"
#include "model/VectorElement.h"

#include <QByteArray>
#include <QColor>
#include <QPointF>
#include <QRectF>
#include <optional>

class QPainter;
class QPainterPath;

namespace zelvane::PDFCodec {

// Draws one element in page space (points, y down) with the painter's current
// transform: shapes, paths, text, signatures and stamps, with their style,
// opacity and rotation. Hidden elements are the caller's business. A
// single-line text given the line its PDF printed (`printed`) keeps the
// printed places of the words left unchanged.
void renderElement(const VectorElement& element, QPainter& painter, const PrintedLine* printed = nullptr);

// The element's frame turned about its centre as it is drawn (a rotation
// that is not a number turns nothing), in page space.
QRectF turnedFrame(const VectorElement& element);

// The closed triangle of an arrow head with its point at `to`, coming from
// `from`: barbs `size` long, 27.7 degrees (pi / 6.5) off the shaft.
void addArrowHead(QPainterPath& path, const QPointF& from, const QPointF& to, double size);

// A filled arrow head with its point at `to`, coming from `from`.
void drawArrowHead(QPainter& painter, const QPointF& from, const QPointF& to, const QColor& color, double size);

}  // namespace zelvane::PDFCodec
