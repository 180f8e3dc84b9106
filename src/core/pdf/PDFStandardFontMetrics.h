#pragma once

#define POINTERHOLDER_TRANSITION 4
#include <qpdf/QPDFObjectHandle.hh>

#include <array>
#include <optional>
#include <string>
#include <vector>

namespace zelvane {

// The name of the standard font (one of the 14 every PDF reader knows, such
// as "Times-Roman" or "ZapfDingbats") that a base font name stands for: the
// standard names themselves and the common aliases poppler knows
// ("Arial,Bold", "TimesNewRomanPS-BoldItalicMT", "CourierNewPSMT"), spaces
// aside. Nothing for any other name, a subset prefix included: poppler then
// takes the widths of a font the descriptor's flags choose.
std::optional<std::string> standardFontName(const std::string& baseFont);

// The widths of codes 0..255, per unit of font size, of a simple font named
// `baseFont` that has no /Widths, when it is a standard font: its glyphs
// named by `encoding` (a name, a dictionary with /BaseEncoding and
// /Differences, or null for the font's own encoding) take the standard
// metrics, read from the metric-compatible URW faces' metrics files. A code
// whose glyph the font lacks is 0 wide, as readers draw it. Nothing when the
// font is not a standard one or its metrics file is not installed.
std::optional<std::vector<double>> standardFontWidths(const std::string& baseFont, QPDFObjectHandle encoding);

// The glyph names of codes 0..255 under a simple font's /Encoding (a name,
// a dictionary with /BaseEncoding and /Differences, or null) over the
// font's own encoding `builtin`. With `namedBases` false the named
// encodings are not applied (symbolic fonts keep their own), only the
// differences.
std::array<std::string, 256> glyphNamesOf(QPDFObjectHandle encoding, const std::array<std::string, 256>& builtin,
                                          bool namedBases = true);

}  // namespace zelvane
