#include "fonts/TrueTypeRepair.h"

#include <vector>

namespace zelvane::truetype {

namespace {

bool isCapital(std::uint8_t byte)
{
    return byte >= 0x41 && byte <= 0x5A;
}

// The string at [start, start + length) of data begins with a UTF-16BE
// subset prefix ("ABCDEF+").
bool hasWidePrefix(ByteSpan data, std::uint64_t start)
{
    if (data[start + 12] != 0x00 || data[start + 13] != 0x2B)
        return false;
    for (std::uint64_t k = 0; k < 6; ++k) {
        if (data[start + 2 * k] != 0x00 || !isCapital(data[start + 2 * k + 1]))
            return false;
    }
    return true;
}

bool hasNarrowPrefix(ByteSpan data, std::uint64_t start)
{
    if (data[start + 6] != 0x2B)
        return false;
    for (std::uint64_t k = 0; k < 6; ++k) {
        if (!isCapital(data[start + k]))
            return false;
    }
    return true;
}

bool isLineBreak(std::string_view text, std::size_t i, std::size_t* width)
{
    const auto byte = std::uint8_t(text[i]);
    *width = 1;
    if (byte == '\n' || byte == '\r' || byte == 0x0B || byte == 0x0C)
        return true;
    // U+0085, U+2028 and U+2029 in UTF-8.
    if (byte == 0xC2 && i + 1 < text.size() && std::uint8_t(text[i + 1]) == 0x85) {
        *width = 2;
        return true;
    }
    if (byte == 0xE2 && i + 2 < text.size() && std::uint8_t(text[i + 1]) == 0x80
        && (std::uint8_t(text[i + 2]) == 0xA8 || std::uint8_t(text[i + 2]) == 0xA9)) {
        *width = 3;
        return true;
    }
    return false;
}

std::vector<std::string_view> splitLines(std::string_view text)
{
    std::vector<std::string_view> lines;
    std::size_t start = 0;
    std::size_t i = 0;
    while (i < text.size()) {
        std::size_t width = 1;
        if (isLineBreak(text, i, &width)) {
            lines.push_back(text.substr(start, i - start));
            // A carriage return followed by a line feed is one break.
            if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
                width = 2;
            i += width;
            start = i;
        } else {
            ++i;
        }
    }
    lines.push_back(text.substr(start));
    return lines;
}

std::string_view trimBlanks(std::string_view line)
{
    while (!line.empty() && (line.front() == ' ' || line.front() == '\t'))
        line.remove_prefix(1);
    while (!line.empty() && (line.back() == ' ' || line.back() == '\t'))
        line.remove_suffix(1);
    return line;
}

int hexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// The values of the hexadecimal strings in angle brackets, in order; a
// string whose value does not fit in 16 bits is left out.
std::vector<std::uint16_t> hexTokens(std::string_view line)
{
    std::vector<std::uint16_t> values;
    std::size_t i = 0;
    while (i < line.size()) {
        if (line[i] != '<') {
            ++i;
            continue;
        }
        std::size_t j = i + 1;
        std::uint32_t value = 0;
        bool fits = true;
        while (j < line.size() && hexValue(line[j]) >= 0) {
            value = (value << 4) | std::uint32_t(hexValue(line[j]));
            if (value > 0xFFFF) {
                fits = false;
                value &= 0xFFFF;  // keeps the accumulator small; the token is dropped anyway
            }
            ++j;
        }
        if (j > i + 1 && j < line.size() && line[j] == '>') {
            if (fits)
                values.push_back(std::uint16_t(value));
            i = j + 1;
        } else {
            ++i;
        }
    }
    return values;
}

bool endsWith(std::string_view text, std::string_view suffix)
{
    return text.size() >= suffix.size() && text.substr(text.size() - suffix.size()) == suffix;
}

bool startsWith(std::string_view text, std::string_view prefix)
{
    return text.substr(0, prefix.size()) == prefix;
}

// A run of consecutive Unicode values with one glyph delta.
struct Segment {
    std::uint16_t start;
    std::uint16_t end;
    std::uint16_t delta;
};

std::vector<Segment> format4Segments(const CodeMap& mapping)
{
    std::vector<Segment> segments;
    for (const auto& [unicode, glyph] : mapping) {
        if (glyph == 0 || unicode == 0xFFFF)
            continue;
        const auto delta = std::uint16_t(glyph - unicode);
        if (!segments.empty() && segments.back().end + 1 == unicode && segments.back().delta == delta)
            segments.back().end = unicode;
        else
            segments.push_back({unicode, unicode, delta});
    }
    segments.push_back({0xFFFF, 0xFFFF, 1});
    return segments;
}

Bytes format4Subtable(const std::vector<Segment>& segments)
{
    const auto n = std::uint16_t(segments.size());
    std::uint16_t power = 1;
    std::uint16_t log2 = 0;
    while (power * 2 <= n) {
        power = std::uint16_t(power * 2);
        ++log2;
    }
    const auto searchRange = std::uint16_t(2 * power);
    Bytes sub;
    sub.reserve(16 + 8 * std::size_t(n));
    appendU16(sub, 4);
    appendU16(sub, std::uint16_t(16 + 8 * n));
    appendU16(sub, 0);
    appendU16(sub, std::uint16_t(2 * n));
    appendU16(sub, searchRange);
    appendU16(sub, log2);
    appendU16(sub, std::uint16_t(2 * n - searchRange));
    for (const Segment& s : segments)
        appendU16(sub, s.end);
    appendU16(sub, 0);
    for (const Segment& s : segments)
        appendU16(sub, s.start);
    for (const Segment& s : segments)
        appendU16(sub, s.delta);
    for (std::size_t i = 0; i < segments.size(); ++i)
        appendU16(sub, 0);
    return sub;
}

// A format 12 subtable for mappings that include characters beyond the BMP.
Bytes format12Subtable(const GlyphMap& glyphs)
{
    struct Group {
        std::uint32_t start;
        std::uint32_t end;
        std::uint32_t glyph;
    };
    std::vector<Group> groups;
    for (const auto& [code, glyph] : glyphs) {
        if (!groups.empty() && groups.back().end + 1 == code
            && groups.back().glyph + (code - groups.back().start) == glyph)
            groups.back().end = code;
        else
            groups.push_back({std::uint32_t(code), std::uint32_t(code), glyph});
    }
    Bytes sub;
    appendU16(sub, 12);
    appendU16(sub, 0);
    appendU32(sub, std::uint32_t(16 + 12 * groups.size()));
    appendU32(sub, 0);
    appendU32(sub, std::uint32_t(groups.size()));
    for (const Group& g : groups) {
        appendU32(sub, g.start);
        appendU32(sub, g.end);
        appendU32(sub, g.glyph);
    }
    return sub;
}

// The new table for the patched font: the format 4 table alone, or, when the
// font also maps characters beyond the BMP, a third record (Windows UCS-4)
// for a format 12 subtable holding every mapping. Empty when it cannot be built.
Bytes buildPatchedCmapTable(const GlyphMap& glyphs)
{
    CodeMap bmp;
    bool beyondBMP = false;
    for (const auto& [code, glyph] : glyphs) {
        if (code <= 0xFFFF)
            bmp[std::uint16_t(code)] = glyph;
        else
            beyondBMP = true;
    }
    if (!beyondBMP)
        return buildFormat4CmapTable(bmp);
    const std::vector<Segment> segments = format4Segments(bmp);
    if (segments.size() > kMaxFormat4Segments)
        return {};
    const Bytes sub4 = format4Subtable(segments);
    const Bytes sub12 = format12Subtable(glyphs);
    constexpr std::uint32_t headerSize = 4 + 3 * 8;
    Bytes table;
    appendU16(table, 0);
    appendU16(table, 3);
    appendU16(table, 0);
    appendU16(table, 3);
    appendU32(table, headerSize);
    appendU16(table, 3);
    appendU16(table, 1);
    appendU32(table, headerSize);
    appendU16(table, 3);
    appendU16(table, 10);
    appendU32(table, headerSize + std::uint32_t(sub4.size()));
    table.insert(table.end(), sub4.begin(), sub4.end());
    table.insert(table.end(), sub12.begin(), sub12.end());
    return table;
}

}  // namespace

Bytes stripSubsetPrefixFromTTF(ByteSpan data)
{
    const Bytes unchanged(data.begin(), data.end());
    if (data.size() < 13)
        return unchanged;
    const auto name = findTable(data, makeTag("name"));
    if (!name)
        return unchanged;
    const std::uint64_t T = name->offset;
    const std::uint64_t L = name->length;
    if (T == 0 || L < 6 || !inBounds(data, T, L))
        return unchanged;
    const std::uint16_t count = *readU16(data, T + 2);
    const std::uint16_t stringOffset = *readU16(data, T + 4);
    if (count == 0 || L < 18)
        return unchanged;

    Bytes work = unchanged;
    for (std::uint64_t i = 0; i < count; ++i) {
        // The whole record must lie inside the table's length.
        if (6 + 12 * i + 12 > L)
            break;
        const std::uint64_t R = T + 6 + 12 * i;
        const std::uint16_t platform = *readU16(data, R);
        const std::uint16_t length = *readU16(data, R + 8);
        const std::uint16_t offset = *readU16(data, R + 10);
        const std::uint64_t S = T + stringOffset + offset;
        if (S + length > T + L)
            continue;
        if (platform == 0 || platform == 3) {
            // The new offset must still fit its 16-bit field.
            if (length < 15 || offset + 14u > 0xFFFF || !hasWidePrefix(data, S))
                continue;
            writeU16(work, R + 8, std::uint16_t(length - 14));
            writeU16(work, R + 10, std::uint16_t(offset + 14));
        } else if (platform == 1) {
            if (length < 8 || offset + 7u > 0xFFFF || !hasNarrowPrefix(data, S))
                continue;
            writeU16(work, R + 8, std::uint16_t(length - 7));
            writeU16(work, R + 10, std::uint16_t(offset + 7));
        }
    }
    return work;
}

CodeMap parseToUnicode(std::string_view text)
{
    enum class Mode { none, chars, ranges };
    CodeMap map;
    Mode mode = Mode::none;
    for (std::string_view raw : splitLines(text)) {
        const std::string_view line = trimBlanks(raw);
        if (endsWith(line, "beginbfchar")) {
            mode = Mode::chars;
            continue;
        }
        if (endsWith(line, "beginbfrange")) {
            mode = Mode::ranges;
            continue;
        }
        if (startsWith(line, "endbfchar") || startsWith(line, "endbfrange")) {
            mode = Mode::none;
            continue;
        }
        if (mode == Mode::none)
            continue;
        const std::vector<std::uint16_t> values = hexTokens(line);
        if (mode == Mode::chars) {
            if (values.size() >= 2)
                map[values[1]] = values[0];
            continue;
        }
        if (values.size() < 3)
            continue;
        const std::uint32_t lo = values[0];
        const std::uint32_t hi = values[1];
        const std::uint32_t dst = values[2];
        if (lo > hi || hi - lo > 512)
            continue;
        for (std::uint32_t k = 0; k <= hi - lo; ++k)
            map[std::uint16_t((dst + k) & 0xFFFF)] = std::uint16_t(lo + k);
    }
    return map;
}

Bytes buildFormat4CmapTable(const CodeMap& mapping)
{
    const std::vector<Segment> segments = format4Segments(mapping);
    if (segments.size() > kMaxFormat4Segments)
        return {};
    Bytes table;
    table.reserve(36 + 8 * segments.size());
    appendU16(table, 0);
    appendU16(table, 2);
    appendU16(table, 0);
    appendU16(table, 3);
    appendU32(table, 20);
    appendU16(table, 3);
    appendU16(table, 1);
    appendU32(table, 20);
    const Bytes sub = format4Subtable(segments);
    table.insert(table.end(), sub.begin(), sub.end());
    return table;
}

Bytes patchTrueTypeCmapIfNeeded(ByteSpan data, const CodeMap& toUnicode, bool isCIDFont)
{
    const Bytes unchanged(data.begin(), data.end());
    if (data.size() <= 12)
        return unchanged;
    // The font must be one the repair can read: a table directory, a glyph
    // count and a character map.
    const auto numGlyphs = glyphCount(data);
    if (!numGlyphs || *numGlyphs == 0)
        return unchanged;
    auto present = readCharacterMap(data, *numGlyphs);
    if (!present)
        return unchanged;

    GlyphMap glyphs = std::move(*present);
    std::size_t added = 0;
    for (const auto& [unicode, code] : toUnicode) {
        if (glyphs.count(unicode) != 0)
            continue;  // the font already shows it
        if (!isCIDFont) {
            if (code >= 0x100)
                continue;
            const auto symbol = glyphs.find(char32_t(0xF000 + code));
            if (symbol != glyphs.end()) {
                glyphs[unicode] = symbol->second;
                ++added;
            }
        } else if (code != 0 && code < *numGlyphs) {
            glyphs[unicode] = code;
            ++added;
        }
    }
    if (added == 0)
        return unchanged;

    const auto cmap = findTable(data, makeTag("cmap"));
    if (!cmap)
        return unchanged;
    const Bytes table = buildPatchedCmapTable(glyphs);
    if (table.empty())
        return unchanged;

    return withTableAppended(data, *cmap, table).value_or(unchanged);
}

}  // namespace zelvane::truetype
