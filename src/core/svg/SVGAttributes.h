#pragma once

#include "model/VectorGeometry.h"
#include "model/VectorStyle.h"

#include <QHash>
#include <QString>
#include <optional>

namespace zelvane {

// The attributes of one start tag, by name as the XML reader reports it
// (namespace prefixes included).
using SVGAttributeTable = QHash<QString, QString>;

// The translate and scale parts of a group's transform.
struct SVGTransform {
    double translateX = 0;
    double translateY = 0;
    double scaleX = 1;
    double scaleY = 1;

    bool operator==(const SVGTransform&) const = default;
};

// Maps element coordinates to page coordinates: (offset + scale * p).
struct SVGCurrentTransform {
    VectorPoint offset{0, 0};
    VectorPoint scale{1, 1};

    VectorPoint apply(double x, double y) const { return {offset.x + scale.x * x, offset.y + scale.y * y}; }
    // This transform followed by a group's own: its translation, then its scale.
    SVGCurrentTransform then(const SVGTransform& group) const;
};

// The presentation a group hands down to its content.
struct SVGInheritedStyle {
    std::optional<QString> strokeHex;
    std::optional<QString> fillHex;
    std::optional<double> strokeWidth;
    double opacity = 1;
};

namespace SVGCodec {

// The table with the declarations of its "style" attribute merged in (keys
// lower-cased; a declaration wins over a plain attribute of the same name).
SVGAttributeTable mergedAttributes(const SVGAttributeTable& attributes);

// A length in points: px and pt count as points, mm are converted; other
// units, percentages, non-finite values and unreadable texts give nothing.
std::optional<double> parseDimension(const std::optional<QString>& text);
std::optional<double> parseDimension(const SVGAttributeTable& attributes, const QString& name);

// The first translate(...) and the first scale(...) of a transform text;
// every other transform function is ignored.
SVGTransform parseTransform(const QString& text);

// Stroke and fill colours, stroke width, opacity and dash flag of an element,
// falling back on the enclosing group's values and then on `defaultFill`.
VectorStyle buildStyle(const SVGAttributeTable& attributes, const std::optional<QString>& defaultFill,
                       const SVGInheritedStyle& parent);

// A colour text read and written back in the model's form ("#RRGGBB"), or
// nothing when it is not a colour.
std::optional<QString> normalizedColor(const QString& text);

}  // namespace SVGCodec

}  // namespace zelvane
