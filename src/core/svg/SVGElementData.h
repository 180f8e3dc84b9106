#pragma once

#include "model/VectorDocument.h"
#include "svg/SVGAttributes.h"

#include <QString>
#include <QUuid>
#include <optional>

namespace zelvane {

// The data- attributes that let the program read its own SVG back. The
// plain SVG markup is for viewers and keeps only what a drawing needs
// (numbers to two decimals, no ids, names, hidden elements or PDF text
// details); the attributes below carry the rest where the plain markup does
// not already give a value back exactly. Point lists are read from the plain
// markup (page points to two decimals) wherever it holds them.
//
// Root <svg>:             data-document-title (for other readers: the
//                         program names an opened document after its file),
//                         data-dialect="2" (values the plain markup holds
//                         exactly are left out; files without it carry
//                         every value in the attributes below)
// Page-background <rect>: data-page-id, data-page-title, data-page-size ("w h")
// Every element, on its outermost tag (a hidden one also gets display="none"):
//   data-id, data-frame ("x y w h") always; data-rotation, data-stroke-color,
//   data-fill-color, data-no-fill (a text without a fill colour),
//   data-stroke-width, data-opacity, data-dashed, data-locked when not the
//   default and not in the plain markup
// Text:      data-font-size, data-postscript-font, data-baseline-offset,
//            data-letter-spacing when set. Family, weight, slant, alignment
//            and content come from the plain markup. Element names and what
//            a PDF line was (data-name, data-pdf-text, data-original-*,
//            data-mask-color) are no longer written, only read from older
//            files.
// Shape:     data-shape for an arrow; data-corner-radius, data-start-arrow,
//            data-end-arrow when set. The head drawn after a line or an arrow
//            is marked data-arrow-head and is not an element of its own.
// Path:      data-subpaths where the path data cannot hold the points (an
//            empty point list, a frame under 16 points either way); data-start-arrow,
//            data-end-arrow, data-smooth-curves when set.
// Signature: data-date-label, data-caption, data-strokes (where artwork
//            takes the strokes' place or their paths cannot hold them),
//            data-asset (Base64 of the original bytes), data-asset-extension,
//            data-remove-white-background when set; the signer is data-signer.
// Stamp:     data-title, data-subtitle and the three asset attributes when
//            set; the kind is data-kind.
//
// An element is read this way when its tag carries a valid data-id and
// data-frame; a value whose attribute is missing takes what the plain
// markup says (in files marked with data-dialect) or its default (no
// colour, 0, false, empty). Anything else is read as foreign SVG.
namespace SVGCodec {

// Attributes for the outermost tag of an element, each preceded by a space,
// written at the end of `out`.
void appendOwnElementAttributes(QByteArray& out, const VectorElement& element);
// The mark of the polygon that draws the head of a line or an arrow.
void appendArrowHeadAttributes(QByteArray& out, const VectorElement& element);
void appendOwnPageAttributes(QByteArray& out, const VectorPage& page);
void appendOwnDocumentAttributes(QByteArray& out, const QString& documentTitle);

// The value of data-dialect on the root of files whose elements leave out
// what their plain markup holds exactly.
inline constexpr char kCompactDialect[] = "2";

// The element written on a tag ("rect", "ellipse", "polygon", "line", "path",
// "text", or "g" for signatures and stamps), or nothing when the tag does not
// carry the program's element data; `compact` for a file marked with
// data-dialect. A text comes back without its content, which the caller
// collects from the character data, and without a name unless the file gave
// it one (hasOwnName; else textDefaultName of the content). A signature
// whose strokesFollowAsPaths takes them from the paths inside its group
// (relativePoints of each path's data).
std::optional<VectorElement> readOwnElement(const QString& tag, const SVGAttributeTable& attributes, bool compact);
bool hasOwnName(const SVGAttributeTable& attributes);
QString textDefaultName(const QString& text);
bool strokesFollowAsPaths(const SVGAttributeTable& attributes, bool compact);
QList<VectorPoint> relativePoints(QStringView pathData, const VectorRect& frame);
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
void appendSubpaths(QByteArray& out, const QList<VectorSubpath>& subpaths);
QList<VectorSubpath> readSubpaths(QStringView text);

}  // namespace SVGCodec

}  // namespace zelvane
