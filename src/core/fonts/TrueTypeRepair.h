#pragma once

// Repairs of font programs taken out of PDF files, on raw bytes: hiding the
// six-letter subset prefix in the 'name' table, reading a ToUnicode CMap,
// and giving a font a new character map when the PDF's codes name
// characters the font cannot show yet. None of them fails: whatever does not
// fit the expected layout comes back unchanged. Plain C++ without Qt.

#include "fonts/CharacterMap.h"
#include "fonts/SfntReader.h"

#include <map>
#include <string_view>

namespace zelvane::truetype {

// Unicode value (a BMP code unit) to a 16-bit value: a character code for a
// ToUnicode map, a glyph index for a glyph map.
using CodeMap = std::map<std::uint16_t, std::uint16_t>;

// The largest number of segments (the terminal one included) whose format 4
// subtable still fits its 16-bit length field.
inline constexpr std::size_t kMaxFormat4Segments = 8189;

// Every 'name' record whose string starts with six capitals and "+" is made
// to skip them; the string bytes stay where they are.
Bytes stripSubsetPrefixFromTTF(ByteSpan font);

// The bfchar and bfrange sections of a ToUnicode CMap (UTF-8 text) as a map
// from Unicode value to character code. Later lines win.
CodeMap parseToUnicode(std::string_view cmapText);

// When the ToUnicode map names characters the font lacks and the font can
// show them by the symbol-font convention (one-byte codes under U+F000 +
// code) or, for a CID font, by taking the code as the glyph index, appends a
// new 'cmap' table that keeps every mapping of the font's own character map
// and adds those, and points the 'cmap' record at it. Unchanged otherwise.
Bytes patchTrueTypeCmapIfNeeded(ByteSpan font, const CodeMap& toUnicode, bool isCIDFont);

// A whole 'cmap' table with one format 4 subtable shared by the Unicode BMP
// and Windows Unicode BMP records. Empty when the map needs more than
// kMaxFormat4Segments segments.
Bytes buildFormat4CmapTable(const CodeMap& mapping);

}  // namespace zelvane::truetype
