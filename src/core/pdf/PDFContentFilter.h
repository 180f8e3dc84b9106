#pragma once

#include "pdf/PDFImageMasking.h"

#include <QList>

#include <map>
#include <memory>

#define POINTERHOLDER_TRANSITION 4
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFObjectHandle.hh>

namespace zelvane {

class PDFFontMetrics;

// The fonts of one PDF measured by the filter, by object: kept from page to
// page of that PDF (never across PDFs, whose objects share numbers).
struct PDFMeasuredFonts {
    std::map<QPDFObjGen, std::shared_ptr<const PDFFontMetrics>> byObject;
};

// Removes from a page's content what lies under mask rectangles, so that a
// written file holds only what the page shows:
// - every glyph whose box has its centre under a mask, in every text
//   rendering mode (invisible text included); the glyphs that stay keep
//   their exact places (the shown strings are split and the removed glyphs'
//   advances written as positioning between them). A glyph's box is its
//   font's real extent (never a descriptor's claim beyond a sane range).
//   Under a mask over a printed line, a glyph goes when it lies on that
//   line (its centre under the mask, or its baseline on the line's), and
//   stays when it belongs to one of `keptLines` (the lines left as they
//   were) rather than to the masked one;
// - what marked content states of its glyphs (/ActualText, /Alt, /E, given
//   in place or through the resources' /Properties) when any of its glyphs
//   or images goes, in every marked content around them;
// - the pixels of images (XObjects and inline images) under a mask, painted
//   in the mask's colour and written back without loss, with their soft
//   masks and stencil masks;
// - the same inside the soft-mask groups of graphics states;
// - the same inside the forms the content draws, each changed form copied
//   for this content only (other pages that share it keep theirs).
// Vector drawing stays. The masks are in the form's own space (for a page's
// form XObject, the page's user space).
//
// `form` is a form XObject (a page as a form, or any form) of `pdf`. The
// result is a new form when anything changed, and `form` itself otherwise.
// Throws PDFUnfilterableContent when the content cannot be read well enough
// to be sure (a damaged stream, a font whose glyphs cannot be measured, an
// image that cannot be decoded): nothing is then changed. `fonts`, when
// given, keeps the fonts measured for other forms of `pdf`.
QPDFObjectHandle removeContentUnderMasks(QPDF& pdf, QPDFObjectHandle form, const QList<PDFMaskRect>& masks,
                                         const QList<PDFPrintedLine>& keptLines = {},
                                         PDFMeasuredFonts* fonts = nullptr);

}  // namespace zelvane
