#pragma once

#define POINTERHOLDER_TRANSITION 4
#include <qpdf/QPDFObjectHandle.hh>

#include <optional>
#include <utility>
#include <vector>

namespace zelvane {

// The widths of codes 0..255, per unit of font size, of a simple font
// without /Widths, taken from the font program embedded in its descriptor
// (Type 1, TrueType or compact font): each code's glyph found as a reader
// finds it (by the glyph name its encoding gives, else through the
// program's character maps) and measured by its advance. A code without a
// glyph is 0 wide. Nothing when the font embeds no program or it cannot be
// read.
std::optional<std::vector<double>> embeddedFontWidths(QPDFObjectHandle font);

// How far the glyphs of the font program embedded with `descriptor` reach
// below and above the baseline, per unit of font size: the program's own
// box. Nothing when there is no program or it cannot be read.
std::optional<std::pair<double, double>> embeddedFontReach(QPDFObjectHandle descriptor);

}  // namespace zelvane
