#include "fonts/SfntReader.h"

namespace zelvane::truetype {

bool inBounds(ByteSpan data, std::uint64_t offset, std::uint64_t length)
{
    const std::uint64_t size = data.size();
    return offset <= size && length <= size - offset;
}

std::optional<std::uint8_t> readU8(ByteSpan data, std::uint64_t offset)
{
    if (!inBounds(data, offset, 1))
        return std::nullopt;
    return data[offset];
}

std::optional<std::uint16_t> readU16(ByteSpan data, std::uint64_t offset)
{
    if (!inBounds(data, offset, 2))
        return std::nullopt;
    return std::uint16_t((std::uint16_t(data[offset]) << 8) | data[offset + 1]);
}

std::optional<std::uint32_t> readU32(ByteSpan data, std::uint64_t offset)
{
    if (!inBounds(data, offset, 4))
        return std::nullopt;
    return (std::uint32_t(data[offset]) << 24) | (std::uint32_t(data[offset + 1]) << 16)
           | (std::uint32_t(data[offset + 2]) << 8) | std::uint32_t(data[offset + 3]);
}

bool writeU16(Bytes& data, std::uint64_t offset, std::uint16_t value)
{
    if (!inBounds(data, offset, 2))
        return false;
    data[offset] = std::uint8_t(value >> 8);
    data[offset + 1] = std::uint8_t(value);
    return true;
}

bool writeU32(Bytes& data, std::uint64_t offset, std::uint32_t value)
{
    if (!inBounds(data, offset, 4))
        return false;
    data[offset] = std::uint8_t(value >> 24);
    data[offset + 1] = std::uint8_t(value >> 16);
    data[offset + 2] = std::uint8_t(value >> 8);
    data[offset + 3] = std::uint8_t(value);
    return true;
}

void appendU16(Bytes& out, std::uint16_t value)
{
    out.push_back(std::uint8_t(value >> 8));
    out.push_back(std::uint8_t(value));
}

void appendU32(Bytes& out, std::uint32_t value)
{
    out.push_back(std::uint8_t(value >> 24));
    out.push_back(std::uint8_t(value >> 16));
    out.push_back(std::uint8_t(value >> 8));
    out.push_back(std::uint8_t(value));
}

std::optional<Bytes> withTableAppended(ByteSpan font, const TableRecord& record, const Bytes& table)
{
    Bytes work(font.begin(), font.end());
    while (work.size() % 4 != 0)
        work.push_back(0);
    const std::uint64_t newOffset = work.size();
    if (newOffset + table.size() > 0xFFFFFFFFull)
        return std::nullopt;
    work.insert(work.end(), table.begin(), table.end());
    writeU32(work, record.recordOffset + 8, std::uint32_t(newOffset));
    writeU32(work, record.recordOffset + 12, std::uint32_t(table.size()));
    return work;
}

std::optional<std::vector<TableRecord>> readTableDirectory(ByteSpan font)
{
    const auto count = readU16(font, 4);
    if (!count || *count < 1 || *count > kMaxTableCount)
        return std::nullopt;
    if (!inBounds(font, 0, 12 + 16 * std::uint64_t(*count)))
        return std::nullopt;
    std::vector<TableRecord> records;
    records.reserve(*count);
    for (std::uint64_t i = 0; i < *count; ++i) {
        const std::uint64_t at = 12 + 16 * i;
        records.push_back({*readU32(font, at), *readU32(font, at + 8), *readU32(font, at + 12), at});
    }
    return records;
}

std::optional<TableRecord> findTable(ByteSpan font, std::uint32_t tag)
{
    const auto records = readTableDirectory(font);
    if (!records)
        return std::nullopt;
    for (const TableRecord& record : *records) {
        if (record.tag == tag)
            return record;
    }
    return std::nullopt;
}

std::optional<ByteSpan> tableData(ByteSpan font, std::uint32_t tag)
{
    const auto record = findTable(font, tag);
    if (!record || !inBounds(font, record->offset, record->length))
        return std::nullopt;
    return font.subspan(record->offset, record->length);
}

std::optional<std::uint16_t> glyphCount(ByteSpan font)
{
    const auto maxp = tableData(font, makeTag("maxp"));
    if (!maxp)
        return std::nullopt;
    return readU16(*maxp, 4);
}

namespace {

void appendUtf8(std::string& out, char32_t c)
{
    if (c < 0x80) {
        out.push_back(char(c));
    } else if (c < 0x800) {
        out.push_back(char(0xC0 | (c >> 6)));
        out.push_back(char(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
        out.push_back(char(0xE0 | (c >> 12)));
        out.push_back(char(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(char(0x80 | (c & 0x3F)));
    } else {
        out.push_back(char(0xF0 | (c >> 18)));
        out.push_back(char(0x80 | ((c >> 12) & 0x3F)));
        out.push_back(char(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(char(0x80 | (c & 0x3F)));
    }
}

std::string decodeUtf16BE(ByteSpan bytes)
{
    std::string out;
    for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
        char32_t unit = (char32_t(bytes[i]) << 8) | bytes[i + 1];
        if (unit >= 0xD800 && unit < 0xDC00 && i + 3 < bytes.size()) {
            const char32_t low = (char32_t(bytes[i + 2]) << 8) | bytes[i + 3];
            if (low >= 0xDC00 && low < 0xE000) {
                unit = 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00);
                i += 2;
            }
        }
        if (unit >= 0xD800 && unit < 0xE000)
            unit = 0xFFFD;
        appendUtf8(out, unit);
    }
    return out;
}

std::string decodeSingleByte(ByteSpan bytes)
{
    std::string out;
    for (std::uint8_t byte : bytes)
        appendUtf8(out, byte < 0x80 ? char32_t(byte) : char32_t(0xFFFD));
    return out;
}

}  // namespace

std::string nameTableString(ByteSpan table, std::uint16_t nameID)
{
    const auto count = readU16(table, 2);
    const auto stringOffset = readU16(table, 4);
    if (!count || !stringOffset)
        return {};
    // Lower rank wins: Windows Unicode English, Windows Unicode, Unicode
    // platform, Macintosh English, Macintosh.
    int bestRank = 100;
    std::string best;
    for (std::uint64_t i = 0; i < *count; ++i) {
        const std::uint64_t at = 6 + 12 * i;
        if (!inBounds(table, at, 12))
            break;
        if (*readU16(table, at + 6) != nameID)
            continue;
        const std::uint16_t platform = *readU16(table, at);
        const std::uint16_t encoding = *readU16(table, at + 2);
        const std::uint16_t language = *readU16(table, at + 4);
        const std::uint16_t length = *readU16(table, at + 8);
        const std::uint64_t start = std::uint64_t(*stringOffset) + *readU16(table, at + 10);
        if (!inBounds(table, start, length) || length == 0)
            continue;
        int rank = 100;
        if (platform == 3 && (encoding == 1 || encoding == 10 || encoding == 0))
            rank = language == 0x0409 ? 0 : 1;
        else if (platform == 0)
            rank = 2;
        else if (platform == 1 && encoding == 0)
            rank = language == 0 ? 3 : 4;
        if (rank >= bestRank)
            continue;
        const ByteSpan text = table.subspan(start, length);
        best = platform == 1 ? decodeSingleByte(text) : decodeUtf16BE(text);
        bestRank = rank;
    }
    return best;
}

std::string postScriptName(ByteSpan font)
{
    const auto name = tableData(font, makeTag("name"));
    return name ? nameTableString(*name, 6) : std::string();
}

std::string familyName(ByteSpan font)
{
    const auto name = tableData(font, makeTag("name"));
    if (!name)
        return {};
    std::string family = nameTableString(*name, 16);
    return family.empty() ? nameTableString(*name, 1) : family;
}

}  // namespace zelvane::truetype
