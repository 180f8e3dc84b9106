#pragma once

// Reading a font's own character map ('cmap' table), as the repairs need to
// know which characters a font can already show.

#include "fonts/SfntReader.h"

#include <map>
#include <optional>

namespace zelvane::truetype {

// Character value to glyph index.
using GlyphMap = std::map<char32_t, std::uint16_t>;

// Every mapping of the font's Unicode subtables (platform 0, and platform 3
// encodings 1 and 10) and of its Windows symbol subtable (platform 3
// encoding 0, whose codes are kept as they are, usually U+F020 to U+F0FF).
// Formats 0, 4, 6 and 12 are read; a value met in several subtables keeps
// the first one (full-repertoire subtables are read first). Glyph 0 and
// glyphs at or beyond glyphLimit are left out. Nothing when the font has no
// readable 'cmap' table. Damaged subtables contribute what can be read
// inside the table's bounds; huge or overlapping ranges are cut short.
std::optional<GlyphMap> readCharacterMap(ByteSpan font, std::uint32_t glyphLimit);

}  // namespace zelvane::truetype
