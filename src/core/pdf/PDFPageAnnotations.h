#pragma once

#define POINTERHOLDER_TRANSITION 4
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFObjectHandle.hh>
#include <qpdf/QPDFPageObjectHelper.hh>

namespace zelvane {

// The annotations a page shows on screen, drawn into its content: the
// appearance streams (normal appearance, in the annotation's appearance
// state) of every annotation but links and pop-ups that is neither hidden
// nor kept from view, each at its place on the page and inside the optional
// content it belongs to. Form fields without an appearance (or all of them
// when their form asks for appearances to be made) get one made first, as
// readers make it for display: text and choice fields from their value,
// checkboxes and radio buttons from their state. Comments without one get
// the one poppler makes for display (free text, notes, shapes, lines, ink
// and text mark-ups). A single normal appearance is drawn whatever
// appearance state the annotation names, as readers draw it.
//
// `pageForm` is the page as a form XObject of `pdf` (the unrotated page in
// its user space). The result is a new form that draws `pageForm` and the
// annotations over it, or `pageForm` itself when the page shows none. Never
// throws: an annotation that cannot be read is left out.
QPDFObjectHandle formWithAnnotations(QPDF& pdf, QPDFPageObjectHelper& page, QPDFObjectHandle pageForm);

}  // namespace zelvane
