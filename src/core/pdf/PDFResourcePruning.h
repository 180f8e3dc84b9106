#pragma once

#define POINTERHOLDER_TRANSITION 4
#include <qpdf/QPDFObjectHandle.hh>

namespace zelvane {

// Gives `form` (a form XObject: a page as a form, or any form) resources
// holding only the entries its content names (fonts, XObjects, graphics
// states, shadings, patterns, colour spaces, property lists), so that a file
// written from it carries nothing else of the resources it shared with other
// pages. The forms it draws that have resources of their own get the same;
// forms without resources of their own name entries of the resources they
// are drawn with. The resource dictionaries themselves are never changed
// (other pages may share them): trimmed copies replace them on the forms.
// Where the content cannot be read, or a Type 3 font or a pattern draws
// with the resources it is used with, the resources stay as they are.
// Returns true when the content of `form` and of every form it draws was
// read whole and its names known (false when any was not read, or `form`
// is no stream).
bool dropUnnamedResources(QPDFObjectHandle form);

// Takes from `stream`, a changed copy of a form or an image, what it kept of
// the original's drawing besides its content: a producer's private data
// (/PieceInfo, where illustration programs keep their whole artwork), its
// metadata, prepress proxies (/OPI), the pages it stands in for (/Ref) and
// the alternate versions of an image (/Alternates, such as one for print).
void dropPrivateData(QPDFObjectHandle stream);

}  // namespace zelvane
