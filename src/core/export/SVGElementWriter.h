#pragma once

#include "model/VectorElement.h"

#include <QString>
#include <QStringList>

namespace zelvane {

namespace SVGCodec {

// The lines of SVG markup for one element, each beginning with `indent`
// (children of a group and the tspans of a text one level deeper). The
// outermost tag also carries the element's data attributes (SVGElementData.h)
// and, for a hidden element, display="none".
QStringList serializeElement(const VectorElement& element, const QString& indent);

class SVGMarkup;
// The same lines written at the end of `out`, each ended by a line feed.
void writeElement(SVGMarkup& out, const VectorElement& element, QStringView indent);

// The "points" text of the filled head at the `to` end of a segment: the tip,
// then the two back corners.
QString arrowHeadSVGPoints(const VectorPoint& from, const VectorPoint& to, double length);

}  // namespace SVGCodec

}  // namespace zelvane
