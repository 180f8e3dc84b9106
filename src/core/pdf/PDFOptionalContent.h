#pragma once

#define POINTERHOLDER_TRANSITION 4
#include <qpdf/QPDF.hh>

#include <vector>

namespace zelvane {

// Gives `output`, whose pages draw content copied from `sources` (with
// QPDF::copyForeignObject), the optional content (layers) of those sources
// as their readers show it: a single source's /OCProperties is copied whole,
// its default state included; the layers of several sources are gathered
// into one set whose default configuration turns off exactly the layers
// that are off in their own file. Sources without layers add nothing. Never
// throws: layers that cannot be read are left out (their content then
// shows, as in a reader that cannot read them).
void copyOptionalContent(QPDF& output, const std::vector<QPDF*>& sources);

}  // namespace zelvane
