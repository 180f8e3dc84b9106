#pragma once

#define POINTERHOLDER_TRANSITION 4
#include <qpdf/QPDFPageObjectHelper.hh>

namespace zelvane {

// Replaces each content stream of `page` whose compressed data breaks off or
// goes bad part of the way (a file cut short, a damaged download) by what
// inflates of it before the damage, up to its last whole operation, which
// is what readers draw of it; the page can then be copied and filtered as
// it shows. A stream that decodes whole, or whose filters are not Flate
// alone, is left as it is. Returns whether a stream was replaced.
bool keepDecodableContent(QPDFPageObjectHelper& page);

}  // namespace zelvane
