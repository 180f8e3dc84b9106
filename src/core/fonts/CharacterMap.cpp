#include "fonts/CharacterMap.h"

#include <algorithm>
#include <array>
#include <vector>

namespace zelvane::truetype {

namespace {

// No subtable may produce more mappings than this; a real font maps far
// fewer, and a hostile one cannot make the reading slow.
constexpr std::uint64_t kMaxVisitedCodes = 0x30000;

struct SubtableReader {
    ByteSpan table;  // the whole 'cmap' table
    std::uint32_t glyphLimit = 0;
    GlyphMap* map = nullptr;
    std::uint64_t visited = 0;

    bool spend()
    {
        return ++visited <= kMaxVisitedCodes;
    }

    void add(char32_t code, std::uint32_t glyph)
    {
        if (glyph == 0 || glyph >= glyphLimit || code > 0x10FFFF)
            return;
        map->emplace(code, std::uint16_t(glyph));
    }

    void format0(std::uint64_t at)
    {
        if (!inBounds(table, at + 6, 256))
            return;
        for (std::uint32_t code = 0; code < 256; ++code)
            add(code, table[at + 6 + code]);
    }

    void format4(std::uint64_t at)
    {
        const auto segCountX2 = readU16(table, at + 6);
        if (!segCountX2)
            return;
        const std::uint64_t segCount = *segCountX2 / 2;
        const std::uint64_t ends = at + 14;
        const std::uint64_t starts = ends + 2 * segCount + 2;
        const std::uint64_t deltas = starts + 2 * segCount;
        const std::uint64_t rangeOffsets = deltas + 2 * segCount;
        if (!inBounds(table, ends, 8 * segCount + 2))
            return;
        for (std::uint64_t i = 0; i < segCount; ++i) {
            const std::uint32_t end = *readU16(table, ends + 2 * i);
            const std::uint32_t start = *readU16(table, starts + 2 * i);
            const std::uint16_t delta = *readU16(table, deltas + 2 * i);
            const std::uint16_t rangeOffset = *readU16(table, rangeOffsets + 2 * i);
            for (std::uint32_t code = start; code <= end; ++code) {
                if (!spend())
                    return;
                std::uint32_t glyph = 0;
                if (rangeOffset == 0) {
                    glyph = (code + delta) & 0xFFFF;
                } else {
                    const std::uint64_t address = rangeOffsets + 2 * i + rangeOffset + 2 * std::uint64_t(code - start);
                    const auto stored = readU16(table, address);
                    if (!stored)
                        break;
                    glyph = *stored == 0 ? 0 : (*stored + delta) & 0xFFFF;
                }
                add(code, glyph);
            }
        }
    }

    void format6(std::uint64_t at)
    {
        const auto first = readU16(table, at + 6);
        const auto count = readU16(table, at + 8);
        if (!first || !count)
            return;
        for (std::uint32_t i = 0; i < *count; ++i) {
            const auto glyph = readU16(table, at + 10 + 2 * std::uint64_t(i));
            if (!glyph)
                return;
            add(*first + i, *glyph);
        }
    }

    void format12(std::uint64_t at)
    {
        const auto groups = readU32(table, at + 12);
        if (!groups)
            return;
        for (std::uint64_t i = 0; i < *groups; ++i) {
            const std::uint64_t group = at + 16 + 12 * i;
            if (!inBounds(table, group, 12))
                return;
            const std::uint32_t start = *readU32(table, group);
            const std::uint32_t end = std::min<std::uint32_t>(*readU32(table, group + 4), 0x10FFFF);
            const std::uint32_t startGlyph = *readU32(table, group + 8);
            for (std::uint64_t code = start; code <= end; ++code) {
                if (!spend())
                    return;
                const std::uint64_t glyph = std::uint64_t(startGlyph) + (code - start);
                if (glyph >= glyphLimit)
                    break;
                add(char32_t(code), std::uint32_t(glyph));
            }
        }
    }

    void read(std::uint64_t at)
    {
        visited = 0;
        const auto format = readU16(table, at);
        if (!format)
            return;
        switch (*format) {
        case 0: format0(at); break;
        case 4: format4(at); break;
        case 6: format6(at); break;
        case 12: format12(at); break;
        default: break;
        }
    }
};

// Reading order of the subtables: lower first.
int subtablePriority(std::uint16_t platform, std::uint16_t encoding)
{
    if (platform == 3 && encoding == 10)
        return 0;
    if (platform == 0 && (encoding == 4 || encoding == 6))
        return 1;
    if (platform == 3 && encoding == 1)
        return 2;
    if (platform == 0 && encoding != 5)
        return 3;
    if (platform == 3 && encoding == 0)
        return 4;
    return -1;
}

}  // namespace

std::optional<GlyphMap> readCharacterMap(ByteSpan font, std::uint32_t glyphLimit)
{
    const auto table = tableData(font, makeTag("cmap"));
    if (!table)
        return std::nullopt;
    const auto count = readU16(*table, 2);
    if (!count)
        return std::nullopt;
    struct Candidate {
        int priority;
        std::uint32_t offset;
    };
    std::vector<Candidate> candidates;
    for (std::uint64_t i = 0; i < *count; ++i) {
        const std::uint64_t at = 4 + 8 * i;
        if (!inBounds(*table, at, 8))
            break;
        const int priority = subtablePriority(*readU16(*table, at), *readU16(*table, at + 2));
        if (priority >= 0)
            candidates.push_back({priority, *readU32(*table, at + 4)});
    }
    std::stable_sort(candidates.begin(), candidates.end(),
                     [](const Candidate& a, const Candidate& b) { return a.priority < b.priority; });
    GlyphMap map;
    SubtableReader reader{*table, glyphLimit, &map};
    std::vector<std::uint32_t> seen;
    for (const Candidate& candidate : candidates) {
        // Several records often share one subtable.
        if (std::find(seen.begin(), seen.end(), candidate.offset) != seen.end())
            continue;
        seen.push_back(candidate.offset);
        reader.read(candidate.offset);
    }
    return map;
}

}  // namespace zelvane::truetype
