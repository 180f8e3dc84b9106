#pragma once

#include "fonts/PDFTextOverlay.h"

#include <QByteArray>

#define POINTERHOLDER_TRANSITION 4
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFPageObjectHelper.hh>

#include <functional>
#include <memory>
#include <vector>

namespace zelvane::PDFCodec {

// One PDF drawn by Qt holding the masks and elements of some pages, one
// page each, in the order of `pages`.
struct OverlayPart {
    QByteArray pdf;
    std::vector<qsizetype> pages;
    // Lines written as PDF text over what Qt drew.
    PDFTextOverlay text;
    // qpdf's reading of `pdf`, made ahead by the thread that drew it (null
    // when not made or when reading failed there), and its pages.
    std::unique_ptr<QPDF> read;
    std::vector<QPDFPageObjectHelper> readPages;
};

// What is added to every fresh reading of a part (its pages as the reading
// holds them) before its pages are copied.
using OverlayPartCompletion =
    std::function<void(QPDF&, const std::vector<QPDFPageObjectHelper>&, const OverlayPart&)>;

// Reads the part with qpdf, as far as copying its pages later reads it:
// its pages, with what `complete` adds and what they inherit, every object
// parsed, and every stream that has no filter compressed, as the PDF writer
// would compress it (the same bytes once inflated). Never throws: when any
// of it fails, the part is left unread. Meant for the thread that drew the
// part, so that the thread copying its pages mostly copies; the part is
// then handed over whole (never used by two threads at once).
void readOverlayPartAhead(OverlayPart& part, const OverlayPartCompletion& complete) noexcept;

// The part's reading, with its pages in `pages`: the one made ahead (taken
// from the part, which is left unread), else read now and completed with
// `complete`, throwing what reading or completing throws.
std::unique_ptr<QPDF> takeOverlayPartReading(OverlayPart& part, std::vector<QPDFPageObjectHelper>& pages,
                                             const OverlayPartCompletion& complete);

}  // namespace zelvane::PDFCodec
