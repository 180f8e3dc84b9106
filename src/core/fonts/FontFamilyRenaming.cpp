#include "fonts/FontFamilyRenaming.h"

#include <algorithm>
#include <cstring>
#include <optional>
#include <string_view>
#include <tuple>

namespace zelvane::truetype {

namespace {

// --- sfnt: a new 'name' table appended, the record pointed at it ---

bool isSfnt(ByteSpan font)
{
    const auto version = readU32(font, 0);
    return version && (*version == 0x00010000u || *version == makeTag("OTTO") || *version == makeTag("true"));
}

struct NameRecord {
    std::uint16_t platform, encoding, language, nameID;
    Bytes string;
};

Bytes utf16BE(const std::string& ascii)
{
    Bytes out;
    for (const char c : ascii) {
        out.push_back(0);
        out.push_back(std::uint8_t(c));
    }
    return out;
}

Bytes sfntWithFamily(ByteSpan font, const std::string& family)
{
    const Bytes unchanged(font.begin(), font.end());
    const auto record = findTable(font, makeTag("name"));
    const auto table = tableData(font, makeTag("name"));
    if (!record || !table)
        return unchanged;
    const ByteSpan name = *table;
    const auto count = readU16(name, 2);
    const auto storage = readU16(name, 4);
    if (!count || !storage)
        return unchanged;

    std::vector<NameRecord> records;
    for (std::uint16_t i = 0; i < *count; ++i) {
        const std::uint64_t at = 6 + 12ull * i;
        const auto platform = readU16(name, at);
        const auto encoding = readU16(name, at + 2);
        const auto language = readU16(name, at + 4);
        const auto nameID = readU16(name, at + 6);
        const auto length = readU16(name, at + 8);
        const auto offset = readU16(name, at + 10);
        if (!platform || !encoding || !language || !nameID || !length || !offset)
            return unchanged;
        // Typographic and WWS families would name the old family again.
        if (*nameID == 16 || *nameID == 21)
            continue;
        const std::uint64_t start = std::uint64_t(*storage) + *offset;
        if (!inBounds(name, start, *length))
            continue;
        NameRecord entry{*platform, *encoding, *language, *nameID, Bytes(name.begin() + start,
                                                                            name.begin() + start + *length)};
        if (*nameID == 1) {
            const bool wide = *platform == 0 || *platform == 3;
            entry.string = wide ? utf16BE(family) : Bytes(family.begin(), family.end());
        }
        records.push_back(std::move(entry));
    }
    const bool hasFamily = std::any_of(records.begin(), records.end(), [](const NameRecord& r) { return r.nameID == 1; });
    if (!hasFamily)
        records.push_back({3, 1, 0x409, 1, utf16BE(family)});
    std::sort(records.begin(), records.end(), [](const NameRecord& a, const NameRecord& b) {
        return std::tie(a.platform, a.encoding, a.language, a.nameID)
               < std::tie(b.platform, b.encoding, b.language, b.nameID);
    });

    Bytes out;
    appendU16(out, 0);
    appendU16(out, std::uint16_t(records.size()));
    appendU16(out, std::uint16_t(6 + 12 * records.size()));
    Bytes strings;
    for (const NameRecord& r : records) {
        if (strings.size() + r.string.size() > 0xFFFF)
            return unchanged;
        appendU16(out, r.platform);
        appendU16(out, r.encoding);
        appendU16(out, r.language);
        appendU16(out, r.nameID);
        appendU16(out, std::uint16_t(r.string.size()));
        appendU16(out, std::uint16_t(strings.size()));
        strings.insert(strings.end(), r.string.begin(), r.string.end());
    }
    out.insert(out.end(), strings.begin(), strings.end());

    return withTableAppended(font, *record, out).value_or(unchanged);
}

// --- Type 1: the /FamilyName string of the clear-text part ---

Bytes type1WithFamily(ByteSpan font, const std::string& family)
{
    const Bytes unchanged(font.begin(), font.end());
    const std::string_view text(reinterpret_cast<const char*>(font.data()), font.size());
    if (font[0] == 0x80 && font.size() < 6)
        return unchanged;
    const std::size_t eexec = text.find("eexec");
    const std::size_t key = text.substr(0, eexec).find("/FamilyName");
    if (eexec == std::string_view::npos || key == std::string_view::npos)
        return unchanged;
    const std::size_t open = text.find('(', key);
    const std::size_t close = open == std::string_view::npos ? open : text.find(')', open);
    if (close == std::string_view::npos || close > eexec || text.substr(key, open - key).find('/', 1) != std::string_view::npos)
        return unchanged;
    Bytes work(font.begin(), font.begin() + std::ptrdiff_t(open + 1));
    work.insert(work.end(), family.begin(), family.end());
    work.insert(work.end(), font.begin() + std::ptrdiff_t(close), font.end());
    // A PFB file's first segment (the clear text) tells its length.
    if (font[0] == 0x80) {
        const std::int64_t delta = std::int64_t(family.size()) - std::int64_t(close - open - 1);
        const std::uint32_t length = std::uint32_t(font[2]) | (std::uint32_t(font[3]) << 8)
                                     | (std::uint32_t(font[4]) << 16) | (std::uint32_t(font[5]) << 24);
        const auto updated = std::uint32_t(std::int64_t(length) + delta);
        for (int i = 0; i < 4; ++i)
            work[2 + std::size_t(i)] = std::uint8_t(updated >> (8 * i));
    }
    return work;
}

// --- bare CFF: a string added, the top DICT rewritten, the rest shifted ---

struct Index {
    std::uint64_t start = 0;
    std::uint64_t end = 0;
    std::vector<std::pair<std::uint64_t, std::uint64_t>> items;  // [begin, end) in the font
};

std::optional<Index> readIndex(ByteSpan data, std::uint64_t at)
{
    Index index;
    index.start = at;
    const auto count = readU16(data, at);
    if (!count)
        return std::nullopt;
    if (*count == 0) {
        index.end = at + 2;
        return index;
    }
    const auto offSize = readU8(data, at + 2);
    if (!offSize || *offSize < 1 || *offSize > 4)
        return std::nullopt;
    const std::uint64_t offsets = at + 3;
    const std::uint64_t base = offsets + std::uint64_t(*count + 1) * *offSize - 1;
    std::uint64_t previous = 0;
    for (std::uint32_t i = 0; i <= *count; ++i) {
        std::uint64_t value = 0;
        for (std::uint8_t b = 0; b < *offSize; ++b) {
            const auto byte = readU8(data, offsets + std::uint64_t(i) * *offSize + b);
            if (!byte)
                return std::nullopt;
            value = (value << 8) | *byte;
        }
        if (value < 1 || (i > 0 && value < previous))
            return std::nullopt;
        if (i > 0)
            index.items.emplace_back(base + previous, base + value);
        previous = value;
    }
    index.end = base + previous;
    if (!inBounds(data, at, index.end - at))
        return std::nullopt;
    return index;
}

void appendIndex(Bytes& out, const std::vector<Bytes>& items)
{
    appendU16(out, std::uint16_t(items.size()));
    if (items.empty())
        return;
    out.push_back(4);
    std::uint32_t offset = 1;
    appendU32(out, offset);
    for (const Bytes& item : items) {
        offset += std::uint32_t(item.size());
        appendU32(out, offset);
    }
    for (const Bytes& item : items)
        out.insert(out.end(), item.begin(), item.end());
}

struct DictEntry {
    int op = 0;  // 0...21, or 1200 + second byte
    std::vector<Bytes> operands;  // each as encoded
};

std::optional<std::vector<DictEntry>> readDict(ByteSpan data, std::uint64_t begin, std::uint64_t end)
{
    std::vector<DictEntry> entries;
    DictEntry current;
    std::uint64_t at = begin;
    while (at < end) {
        const std::uint8_t b = data[at];
        std::uint64_t size = 0;
        if (b <= 21) {
            if (b == 12) {
                if (at + 1 >= end)
                    return std::nullopt;
                current.op = 1200 + data[at + 1];
                at += 2;
            } else {
                current.op = b;
                at += 1;
            }
            entries.push_back(std::move(current));
            current = DictEntry();
            continue;
        }
        if (b == 28)
            size = 3;
        else if (b == 29)
            size = 5;
        else if (b == 30) {
            size = 1;
            while (true) {
                if (at + size >= end)
                    return std::nullopt;
                const std::uint8_t nibbles = data[at + size];
                ++size;
                if ((nibbles & 0x0F) == 0x0F || (nibbles & 0xF0) == 0xF0)
                    break;
            }
        } else if (b >= 32 && b <= 246)
            size = 1;
        else if (b >= 247 && b <= 254)
            size = 2;
        else
            return std::nullopt;
        if (at + size > end)
            return std::nullopt;
        current.operands.emplace_back(data.begin() + std::ptrdiff_t(at), data.begin() + std::ptrdiff_t(at + size));
        at += size;
    }
    return entries;
}

std::optional<std::int64_t> integerOperand(const Bytes& encoded)
{
    const std::uint8_t b = encoded[0];
    if (b >= 32 && b <= 246)
        return b - 139;
    if (b >= 247 && b <= 250)
        return (b - 247) * 256 + encoded[1] + 108;
    if (b >= 251 && b <= 254)
        return -(b - 251) * 256 - encoded[1] - 108;
    if (b == 28)
        return std::int16_t((encoded[1] << 8) | encoded[2]);
    if (b == 29)
        return std::int32_t((std::uint32_t(encoded[1]) << 24) | (std::uint32_t(encoded[2]) << 16)
                            | (std::uint32_t(encoded[3]) << 8) | encoded[4]);
    return std::nullopt;
}

Bytes fiveByteInteger(std::int64_t value)
{
    const auto v = std::uint32_t(std::int32_t(value));
    return {29, std::uint8_t(v >> 24), std::uint8_t(v >> 16), std::uint8_t(v >> 8), std::uint8_t(v)};
}

Bytes encodeDict(const std::vector<DictEntry>& dict)
{
    Bytes out;
    for (const DictEntry& entry : dict) {
        for (const Bytes& operand : entry.operands)
            out.insert(out.end(), operand.begin(), operand.end());
        if (entry.op >= 1200) {
            out.push_back(12);
            out.push_back(std::uint8_t(entry.op - 1200));
        } else {
            out.push_back(std::uint8_t(entry.op));
        }
    }
    return out;
}

constexpr int kFamilyNameOp = 3;
constexpr int kStandardStrings = 391;

Bytes cffWithFamily(ByteSpan font, const std::string& family)
{
    const Bytes unchanged(font.begin(), font.end());
    const auto major = readU8(font, 0);
    const auto headerSize = readU8(font, 2);
    if (!major || *major != 1 || !headerSize || *headerSize < 4)
        return unchanged;
    const auto names = readIndex(font, *headerSize);
    const auto top = names ? readIndex(font, names->end) : std::nullopt;
    const auto strings = top ? readIndex(font, top->end) : std::nullopt;
    const auto globals = strings ? readIndex(font, strings->end) : std::nullopt;
    if (!globals || top->items.size() != 1 || strings->items.size() + kStandardStrings > 64999)
        return unchanged;
    auto dict = readDict(font, top->items[0].first, top->items[0].second);
    if (!dict)
        return unchanged;
    // A CID-keyed font's font DICTs point at their private DICTs: they are
    // written anew at the end, their pointers shifted with the rest.
    const bool cidKeyed = std::any_of(dict->begin(), dict->end(), [](const DictEntry& e) { return e.op == 1230; });

    std::vector<Bytes> stringItems;
    for (const auto& [begin, end] : strings->items)
        stringItems.emplace_back(font.begin() + std::ptrdiff_t(begin), font.begin() + std::ptrdiff_t(end));
    const std::int64_t familySID = kStandardStrings + std::int64_t(stringItems.size());
    stringItems.emplace_back(family.begin(), family.end());

    const bool hasFamily = std::any_of(dict->begin(), dict->end(), [](const DictEntry& e) {
        return e.op == kFamilyNameOp && e.operands.size() == 1;
    });
    // Added before any pointer into the list is taken.
    if (!hasFamily)
        dict->insert(dict->begin(), DictEntry{kFamilyNameOp, {fiveByteInteger(familySID)}});
    std::vector<std::pair<DictEntry*, std::size_t>> offsets;  // operands that point into the font
    for (DictEntry& entry : *dict) {
        if (entry.op == kFamilyNameOp && entry.operands.size() == 1)
            entry.operands[0] = fiveByteInteger(familySID);
        const bool pointer = entry.op == 15 || entry.op == 16 || entry.op == 17 || entry.op == 1237
                             || (entry.op == 1236 && !cidKeyed);
        if (pointer && entry.operands.size() == 1) {
            const auto value = integerOperand(entry.operands[0]);
            // charset 0...2 and encoding 0...1 name built-in tables.
            const bool builtIn = (entry.op == 15 && value && *value <= 2) || (entry.op == 16 && value && *value <= 1);
            if (!value)
                return unchanged;
            if (!builtIn)
                offsets.emplace_back(&entry, 0);
        }
        if (entry.op == 18 && entry.operands.size() == 2)
            offsets.emplace_back(&entry, 1);
    }
    // Every pointer written with five bytes, so the DICT's size does not
    // depend on the values.
    for (auto& [entry, which] : offsets) {
        const auto value = integerOperand(entry->operands[which]);
        if (!value)
            return unchanged;
        entry->operands[which] = fiveByteInteger(*value);
    }
    for (DictEntry& entry : *dict) {
        if (entry.op == 1236 && cidKeyed && entry.operands.size() == 1) {
            const auto value = integerOperand(entry.operands[0]);
            if (!value)
                return unchanged;
            entry.operands[0] = fiveByteInteger(*value);
        }
    }
    Bytes head(font.begin(), font.begin() + std::ptrdiff_t(top->start));
    Bytes layout;
    appendIndex(layout, {encodeDict(*dict)});
    appendIndex(layout, stringItems);
    const std::int64_t delta =
        std::int64_t(head.size() + layout.size()) - std::int64_t(strings->end);
    for (auto& [entry, which] : offsets)
        entry->operands[which] = fiveByteInteger(*integerOperand(entry->operands[which]) + delta);

    Bytes fontDicts;
    if (cidKeyed) {
        DictEntry* fdArray = nullptr;
        for (DictEntry& entry : *dict) {
            if (entry.op == 1236 && entry.operands.size() == 1)
                fdArray = &entry;
        }
        const auto at = fdArray ? integerOperand(fdArray->operands[0]) : std::nullopt;
        const auto index = at && *at > 0 ? readIndex(font, std::uint64_t(*at)) : std::nullopt;
        if (!index)
            return unchanged;
        std::vector<Bytes> items;
        for (const auto& [begin, end] : index->items) {
            auto fd = readDict(font, begin, end);
            if (!fd)
                return unchanged;
            for (DictEntry& entry : *fd) {
                if (entry.op == 18 && entry.operands.size() == 2) {
                    const auto offset = integerOperand(entry.operands[1]);
                    if (!offset)
                        return unchanged;
                    entry.operands[1] = fiveByteInteger(*offset + delta);
                }
            }
            items.push_back(encodeDict(*fd));
        }
        appendIndex(fontDicts, items);
        fdArray->operands[0] =
            fiveByteInteger(std::int64_t(head.size() + layout.size() + (font.size() - strings->end)));
    }

    Bytes out = head;
    appendIndex(out, {encodeDict(*dict)});
    appendIndex(out, stringItems);
    out.insert(out.end(), font.begin() + std::ptrdiff_t(strings->end), font.end());
    out.insert(out.end(), fontDicts.begin(), fontDicts.end());
    return out;
}

}  // namespace

Bytes withFamilyName(ByteSpan font, const std::string& family)
{
    if (family.empty() || family.size() > 63)
        return Bytes(font.begin(), font.end());
    if (isSfnt(font))
        return sfntWithFamily(font, family);
    if (font.size() > 2 && (font[0] == '%' || (font[0] == 0x80 && font[1] == 1)))
        return type1WithFamily(font, family);
    return cffWithFamily(font, family);
}

}  // namespace zelvane::truetype
