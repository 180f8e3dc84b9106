#pragma once

#include "model/VectorDocument.h"
#include "svg/SVGAttributes.h"

#include <QString>
#include <QUuid>
#include <optional>

namespace zelvane {

// The data- attributes that let the program read its own SVG back without
// loss. The plain SVG markup is for viewers and keeps only what a drawing
// needs (numbers to two decimals, no ids, names, hidden elements or PDF text
// details); the attributes below carry the rest, each value exactly.
//
// Root <svg>:             data-document-title (for other readers: the
//                         program names an opened document after its file)
// Page-background <rect>: data-page-id, data-page-title, data-page-size ("w h")
// Every element, on its outermost tag (a hidden one also gets display="none"):
//   data-id, data-frame ("x y w h") always; data-name, data-rotation,
//   data-stroke-color, data-fill-color, data-stroke-width, data-opacity,
//   data-dashed, data-locked when not the default
// Text:      data-font-size always; data-postscript-font, data-baseline-offset,
//            data-letter-spacing, data-pdf-text, data-original-text,
//            data-original-rect, data-original-font-size, data-original-bold,
//            data-original-italic, data-original-color, data-mask-color when
//            set. Family, weight, slant, alignment and content come from the
//            plain markup, which holds them exactly.
// Shape:     data-shape always; data-corner-radius, data-start-arrow,
//            data-end-arrow when set. The head drawn after a line or an arrow
//            is marked data-arrow-head and is not an element of its own.
// Path:      data-subpaths always; data-start-arrow, data-end-arrow,
//            data-smooth-curves when set.
// Signature: data-date-label, data-caption, data-strokes, data-asset (Base64
//            of the original bytes), data-asset-extension,
//            data-remove-white-background when set; the signer is data-signer.
// Stamp:     data-title, data-subtitle and the three asset attributes when
//            set; the kind is data-kind.
//
// An element is read this way when its tag carries a valid data-id and
// data-frame; a value whose attribute is missing takes its default (no
// colour, 0, false, empty). Anything else is read as foreign SVG.
namespace SVGCodec {

// Attributes for the outermost tag of an element, each preceded by a space,
// written at the end of `out`.
void appendOwnElementAttributes(QString& out, const VectorElement& element);
// The mark of the polygon that draws the head of a line or an arrow.
void appendArrowHeadAttributes(QString& out, const VectorElement& element);
void appendOwnPageAttributes(QString& out, const VectorPage& page);
void appendOwnDocumentAttributes(QString& out, const QString& documentTitle);

// The element written on a tag ("rect", "ellipse", "polygon", "line", "path",
// "text", or "g" for signatures and stamps), or nothing when the tag does not
// carry the program's element data. A text comes back without its content,
// which the caller collects from the character data.
std::optional<VectorElement> readOwnElement(const QString& tag, const SVGAttributeTable& attributes);
bool isArrowHead(const SVGAttributeTable& attributes);

struct OwnPageData {
    QUuid id;
    std::optional<QString> title;
    std::optional<double> width;
    std::optional<double> height;
};
// The page identity carried by a page-background rectangle, when it has one.
std::optional<OwnPageData> readOwnPage(const SVGAttributeTable& attributes);

// Point lists as "M x,y x,y ... [Z]" per list, numbers exact.
void appendSubpaths(QString& out, const QList<VectorSubpath>& subpaths);
QList<VectorSubpath> readSubpaths(QStringView text);

}  // namespace SVGCodec

}  // namespace zelvane
