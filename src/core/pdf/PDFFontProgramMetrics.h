#pragma once

#define POINTERHOLDER_TRANSITION 4
#include <qpdf/QPDFObjectHandle.hh>

#include <optional>
#include <utility>
#include <vector>

namespace zelvane {

// How far the glyphs of the font program embedded with `descriptor` reach
// below and above the baseline, per unit of font size: the program's own
// box. Nothing when there is no program or it cannot be read.
std::optional<std::pair<double, double>> embeddedFontReach(QPDFObjectHandle descriptor);

}  // namespace zelvane
