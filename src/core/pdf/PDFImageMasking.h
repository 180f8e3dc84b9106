#pragma once

#include "pdf/PDFPrintedCharacter.h"

#include <QColor>
#include <QLineF>
#include <QList>
#include <QRectF>
#include <QTransform>

#define POINTERHOLDER_TRANSITION 4
#include <qpdf/QPDFObjectHandle.hh>

#include <optional>
#include <stdexcept>
#include <string>

namespace zelvane {

// A line of text as the page printed it, in a page's user space (points,
// y up): its baseline from where its first glyph starts to where its last
// ends, its font size, the rectangle its glyphs fill and, when the page's
// text was read, the box of each of its characters as the reader lays them
// out (its glyphs are then found by those places).
struct PDFPrintedLine {
    QLineF baseline;
    double size = 0;
    QRectF box;
    QList<PDFPrintedCharacter> characters;
};

// A rectangle of a page's user space whose content is to go, and the colour
// it is painted. A mask over one printed line (a changed line of text) names
// that line: the glyphs under it then go by the line they belong to, so a
// neighbouring line that reaches into the rectangle keeps its glyphs. A mask
// without a line (a redacted area) takes every glyph whose centre it covers.
struct PDFMaskRect {
    QRectF rect;
    QColor color;
    std::optional<PDFPrintedLine> line;
};

// Thrown when part of a page under a mask cannot be read or rewritten
// safely; `what()` is a short English reason.
class PDFUnfilterableContent : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The samples of an image, decoded, with what is needed to paint some of its
// pixels in a given colour and write them back without loss.
struct PDFImageSamples {
    int width = 0;
    int height = 0;
    int bitsPerComponent = 8;
    int components = 1;
    std::string data;
};

// Paints with the masks' colours every pixel of `image` (a stream drawn
// through `imageToUser`, the current transformation matrix when it was
// drawn) that lies under a mask, in a copy of the image; its soft mask, if
// any, is made opaque there. Returns the copy, or nothing when no pixel lies
// under a mask. `resources` resolves named colour spaces. Throws
// PDFUnfilterableContent when the image cannot be decoded or its colours
// cannot be written.
std::optional<QPDFObjectHandle> paintImageUnderMasks(QPDFObjectHandle image, const QTransform& imageToUser,
                                                     const QList<PDFMaskRect>& masks, QPDFObjectHandle resources);

// The same for an inline image given by its dictionary (abbreviations
// allowed) and raw data: the operators that draw the painted image in its
// place (BI ... EI, its samples in hexadecimal), or nothing when no pixel
// lies under a mask.
std::optional<std::string> paintInlineImageUnderMasks(QPDF& pdf, QPDFObjectHandle dictionary,
                                                      const std::string& data, const QTransform& imageToUser,
                                                      const QList<PDFMaskRect>& masks,
                                                      QPDFObjectHandle resources);

}  // namespace zelvane
