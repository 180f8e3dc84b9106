#pragma once

// Which fonts of a page only ever print invisible text: the text layer that
// scanners and OCR programs lay over a page picture (render mode 3, no fill
// and no stroke), or text used only as a clipping path that nothing is
// painted through (mode 7).

#define POINTERHOLDER_TRANSITION 4
#include <qpdf/QPDFPageObjectHelper.hh>

#include <set>
#include <string>

namespace zelvane {

// The /BaseFont names (as the file spells them, subset prefix included) of
// the fonts that show text on the page's own content only in an invisible
// render mode. A font that also prints visible text is not listed. Content
// that cannot be parsed gives what was read up to the fault.
std::set<std::string> invisiblyPrintedFonts(QPDFPageObjectHelper& page);

// The same for a content stream held in memory, with the page's /Font
// resource dictionary naming the fonts (tests).
std::set<std::string> invisiblyPrintedFonts(const std::string& content, QPDFObjectHandle fontResources);

}  // namespace zelvane
