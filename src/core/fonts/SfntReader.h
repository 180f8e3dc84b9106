#pragma once

// Bounds-checked reading of TrueType/OpenType ('sfnt') font files. Every
// read checks its whole extent against the bytes at hand with 64-bit
// arithmetic, so damaged or truncated fonts are answered with "nothing"
// instead of reads past the end. Plain C++ without Qt, so the repairs built
// on it can be run on raw bytes (the fuzz target does).

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace zelvane::truetype {

using ByteSpan = std::span<const std::uint8_t>;
using Bytes = std::vector<std::uint8_t>;

// Big-endian reads at an offset; nothing when any byte lies outside.
std::optional<std::uint8_t> readU8(ByteSpan data, std::uint64_t offset);
std::optional<std::uint16_t> readU16(ByteSpan data, std::uint64_t offset);
std::optional<std::uint32_t> readU32(ByteSpan data, std::uint64_t offset);
// True when [offset, offset + length) lies inside data.
bool inBounds(ByteSpan data, std::uint64_t offset, std::uint64_t length);

// Big-endian writes into a buffer that must already hold the bytes (a
// write outside does nothing and returns false).
bool writeU16(Bytes& data, std::uint64_t offset, std::uint16_t value);
bool writeU32(Bytes& data, std::uint64_t offset, std::uint32_t value);
void appendU16(Bytes& out, std::uint16_t value);
void appendU32(Bytes& out, std::uint32_t value);

// A table record of the font's directory.
struct TableRecord {
    std::uint32_t tag = 0;
    std::uint32_t offset = 0;  // from the start of the file
    std::uint32_t length = 0;
    std::uint64_t recordOffset = 0;  // where the 16-byte record itself starts
};

// Fonts with more tables than this are not touched.
inline constexpr std::uint16_t kMaxTableCount = 63;

constexpr std::uint32_t makeTag(const char (&text)[5])
{
    return (std::uint32_t(std::uint8_t(text[0])) << 24) | (std::uint32_t(std::uint8_t(text[1])) << 16)
           | (std::uint32_t(std::uint8_t(text[2])) << 8) | std::uint32_t(std::uint8_t(text[3]));
}

// The table directory: numTables from 1 to 63 and every record present.
// Nothing otherwise. The tables' own extents are not checked here.
std::optional<std::vector<TableRecord>> readTableDirectory(ByteSpan font);
// The first record with the tag, when the directory is readable.
std::optional<TableRecord> findTable(ByteSpan font, std::uint32_t tag);
// The bytes of the first table with the tag, when it lies wholly inside the font.
std::optional<ByteSpan> tableData(ByteSpan font, std::uint32_t tag);

// The font with `table` appended (4-byte aligned) and `record` pointed at
// it; the old table's bytes stay where they were. Nothing when the result
// would outgrow 32-bit offsets.
std::optional<Bytes> withTableAppended(ByteSpan font, const TableRecord& record, const Bytes& table);

// Number of glyphs from the 'maxp' table.
std::optional<std::uint16_t> glyphCount(ByteSpan font);

// A string of a 'name' table (the table's bytes, not the whole font):
// Windows Unicode records first, then Unicode-platform ones, then
// Macintosh Roman ones, English records preferred. UTF-8; empty when absent.
std::string nameTableString(ByteSpan nameTable, std::uint16_t nameID);
// The PostScript name (name ID 6) and the family (ID 16, else ID 1) of a font file.
std::string postScriptName(ByteSpan font);
std::string familyName(ByteSpan font);

}  // namespace zelvane::truetype
