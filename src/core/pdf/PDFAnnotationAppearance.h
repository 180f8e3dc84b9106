#pragma once

#include <QPointF>

#define POINTERHOLDER_TRANSITION 4
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFAnnotationObjectHelper.hh>
#include <qpdf/QPDFObjectHandle.hh>

#include <optional>
#include <string>

namespace zelvane {

// The appearance poppler makes for display of a comment that has none, and
// where it goes on the page: its form XObject (a box from the origin of its
// own space) and the page point that origin is drawn at, unscaled.
struct PDFAnnotationAppearance {
    QPDFObjectHandle form;
    QPointF origin;
};

// A colour array (/C, /IC, /MK's /BG and /BC) as fill or stroke operators;
// empty when it gives no colour (no components: transparent).
std::string colourOperators(QPDFObjectHandle components, bool stroke);

// For a free-text comment without a normal appearance: its box (border in
// the text's colour, filled with /C), and /Contents laid out in lines in the
// font and colour of /DA, aligned by /Q, from the top. For a note (/Text):
// its icon (/Name, a note when none) on a 24-point square filled with /C,
// at the top-left corner of its rectangle. Squares and circles, lines, ink,
// polygons and polylines are stroked in /C with their border's line and
// filled with /IC; highlights, underlines, strike-outs and squiggly lines
// drawn over their quadrilaterals in /C. Nothing for other annotations
// (stamps and file attachments among them), for those with an appearance,
// or when the annotation cannot be read. Never throws.
std::optional<PDFAnnotationAppearance> madeAnnotationAppearance(QPDF& pdf, QPDFAnnotationObjectHelper& annotation);

}  // namespace zelvane
