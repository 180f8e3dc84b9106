#include "TestFonts.h"

#include "fonts/CharacterMap.h"
#include "fonts/SfntReader.h"
#include "fonts/TrueTypeRepair.h"

#include <gtest/gtest.h>

#include <QByteArray>

#include <chrono>
#include <random>

using namespace zelvane::truetype;
using zelvane::testing::rebuildFont;

namespace {

ByteSpan spanOf(const QByteArray& data)
{
    return {reinterpret_cast<const std::uint8_t*>(data.constData()), std::size_t(data.size())};
}

QByteArray q(const Bytes& bytes)
{
    return QByteArray(reinterpret_cast<const char*>(bytes.data()), qsizetype(bytes.size()));
}

Bytes b(const QByteArray& data)
{
    return Bytes(data.begin(), data.end());
}

QByteArray u16(unsigned value)
{
    QByteArray out;
    out.append(char(value >> 8));
    out.append(char(value & 0xFF));
    return out;
}

QByteArray u32(unsigned value)
{
    return u16(value >> 16) + u16(value & 0xFFFF);
}

QByteArray utf16BE(const QString& text)
{
    QByteArray out;
    for (const QChar c : text)
        out += u16(c.unicode());
    return out;
}

struct NameRecord {
    unsigned platform;
    QByteArray text;
};

// A 'name' table whose records hold the given strings one after the other.
QByteArray nameTable(const std::vector<NameRecord>& records)
{
    QByteArray table = u16(0) + u16(unsigned(records.size())) + u16(unsigned(6 + 12 * records.size()));
    QByteArray storage;
    for (const NameRecord& r : records) {
        table += u16(r.platform) + u16(r.platform == 1 ? 0 : 1) + u16(r.platform == 1 ? 0 : 0x409) + u16(4)
                 + u16(unsigned(r.text.size())) + u16(unsigned(storage.size()));
        storage += r.text;
    }
    return table + storage;
}

QByteArray fontWithTables(const std::map<std::string, QByteArray>& tables)
{
    return rebuildFont(QByteArray(), tables);
}

// Length and offset of name record i.
std::pair<unsigned, unsigned> nameRecord(const QByteArray& font, unsigned i)
{
    const auto name = findTable(spanOf(font), makeTag("name"));
    const std::uint64_t at = name->offset + 6 + 12 * i;
    return {*readU16(spanOf(font), at + 8), *readU16(spanOf(font), at + 10)};
}

QByteArray maxp(unsigned glyphs)
{
    return u32(0x00005000) + u16(glyphs);
}

// A 'cmap' table holding the given (platform, encoding, subtable) records.
QByteArray cmapTable(const std::vector<std::tuple<unsigned, unsigned, QByteArray>>& subtables)
{
    QByteArray header = u16(0) + u16(unsigned(subtables.size()));
    QByteArray body;
    const unsigned start = 4 + 8 * unsigned(subtables.size());
    for (const auto& [platform, encoding, data] : subtables) {
        header += u16(platform) + u16(encoding) + u32(start + unsigned(body.size()));
        body += data;
    }
    return header + body;
}

QByteArray format4(const CodeMap& map)
{
    return q(buildFormat4CmapTable(map)).mid(20);
}

QByteArray format12(const std::vector<std::tuple<unsigned, unsigned, unsigned>>& groups)
{
    QByteArray out = u16(12) + u16(0) + u32(unsigned(16 + 12 * groups.size())) + u32(0) + u32(unsigned(groups.size()));
    for (const auto& [start, end, glyph] : groups)
        out += u32(start) + u32(end) + u32(glyph);
    return out;
}

GlyphMap mapOf(const Bytes& font, std::uint32_t glyphs = 0xFFFF)
{
    return readCharacterMap(ByteSpan(font), glyphs).value_or(GlyphMap{});
}

}  // namespace

// --- Subset prefixes in the 'name' table -----------------------------------

TEST(TrueTypeRepair, StripsTheWindowsAndMacintoshSubsetPrefix)
{
    const QByteArray font = fontWithTables(
        {{"name", nameTable({{3, utf16BE("ABCDEF+Arial")}, {1, QByteArray("ABCDEF+Arial")}})}});
    const QByteArray out = q(stripSubsetPrefixFromTTF(spanOf(font)));
    ASSERT_EQ(out.size(), font.size());
    EXPECT_EQ(nameRecord(font, 0), std::make_pair(24u, 0u));
    EXPECT_EQ(nameRecord(out, 0), std::make_pair(10u, 14u));
    EXPECT_EQ(nameRecord(out, 1), std::make_pair(5u, 24u + 7u));
    // The string bytes themselves stay.
    const auto name = findTable(spanOf(font), makeTag("name"));
    EXPECT_EQ(out.mid(name->offset + 30), font.mid(name->offset + 30));
    EXPECT_EQ(postScriptName(spanOf(rebuildFont(QByteArray(), {{"name", nameTable({})}}))), "");
}

TEST(TrueTypeRepair, LeavesPrefixOnlyNamesAlone)
{
    const QByteArray font =
        fontWithTables({{"name", nameTable({{3, utf16BE("ABCDEF+")}, {1, QByteArray("ABCDEF+")}})}});
    EXPECT_EQ(q(stripSubsetPrefixFromTTF(spanOf(font))), font);
}

TEST(TrueTypeRepair, KeepsPrefixesThatAreNotSixCapitals)
{
    for (const QString& name : {QStringLiteral("ABCdEF+Arial"), QStringLiteral("ABC1EF+Arial"),
                                QStringLiteral("ABCÉEF+Arial"), QStringLiteral("ABCDEF-Arial")}) {
        const QByteArray font =
            fontWithTables({{"name", nameTable({{3, utf16BE(name)}, {1, name.toLatin1()}})}});
        EXPECT_EQ(q(stripSubsetPrefixFromTTF(spanOf(font))), font) << name.toStdString();
    }
}

TEST(TrueTypeRepair, LeavesFontsWithOddDirectoriesUnchanged)
{
    std::map<std::string, QByteArray> tables{{"name", nameTable({{3, utf16BE("ABCDEF+Arial")}})}};
    for (int i = 0; i < 63; ++i)
        tables["t" + std::to_string(100 + i)] = QByteArray(4, 'x');
    const QByteArray sixtyFour = fontWithTables(tables);
    EXPECT_EQ(*readU16(spanOf(sixtyFour), 4), 64);
    EXPECT_EQ(q(stripSubsetPrefixFromTTF(spanOf(sixtyFour))), sixtyFour);

    QByteArray zeroOffset = fontWithTables({{"name", nameTable({{3, utf16BE("ABCDEF+Arial")}})}});
    const auto record = findTable(spanOf(zeroOffset), makeTag("name"));
    zeroOffset.replace(qsizetype(record->recordOffset + 8), 4, u32(0));
    EXPECT_EQ(q(stripSubsetPrefixFromTTF(spanOf(zeroOffset))), zeroOffset);

    EXPECT_TRUE(stripSubsetPrefixFromTTF({}).empty());
    const QByteArray tiny("0123456789AB");
    EXPECT_EQ(q(stripSubsetPrefixFromTTF(spanOf(tiny))), tiny);
}

TEST(TrueTypeRepair, SkipsRecordsAndStringsOutsideTheTable)
{
    QByteArray table = nameTable({{3, utf16BE("ABCDEF+Arial")}, {3, utf16BE("ABCDEF+Bold")}});
    // The second record's string claims to run past the end of the table.
    table.replace(6 + 12 + 8, 2, u16(400));
    QByteArray font = fontWithTables({{"name", table}});
    QByteArray out = q(stripSubsetPrefixFromTTF(spanOf(font)));
    EXPECT_EQ(nameRecord(out, 0), std::make_pair(10u, 14u));
    EXPECT_EQ(nameRecord(out, 1), nameRecord(font, 1));

    // A count larger than the records the table holds: only whole records are read.
    table = nameTable({{3, utf16BE("ABCDEF+Arial")}});
    table.replace(2, 2, u16(60000));
    font = fontWithTables({{"name", table}});
    out = q(stripSubsetPrefixFromTTF(spanOf(font)));
    EXPECT_EQ(nameRecord(out, 0), std::make_pair(10u, 14u));
}

TEST(TrueTypeRepair, NeverWritesAnOffsetThatOverflowsItsField)
{
    // One record whose string sits 0xFFF8 bytes into the storage: offset + 14
    // would no longer fit in 16 bits, so the record is left alone.
    QByteArray table = u16(0) + u16(1) + u16(18);
    table += u16(3) + u16(1) + u16(0x409) + u16(4) + u16(24) + u16(0xFFF8);
    table += QByteArray(0xFFF8, '\0') + utf16BE("ABCDEF+Arial");
    const QByteArray font = fontWithTables({{"name", table}});
    EXPECT_EQ(q(stripSubsetPrefixFromTTF(spanOf(font))), font);
}

TEST(TrueTypeRepair, TruncatedFontsComeBackUnchanged)
{
    const QByteArray font = fontWithTables(
        {{"name", nameTable({{3, utf16BE("ABCDEF+Arial")}, {1, QByteArray("ABCDEF+Arial")}})},
         {"maxp", maxp(20)},
         {"cmap", cmapTable({{3, 0, format4({{0xF041, 3}})}})}});
    auto tableEnd = [&font](const char (&tag)[5]) {
        const auto record = findTable(spanOf(font), makeTag(tag));
        return qsizetype(record->offset + record->length);
    };
    const qsizetype nameEnd = tableEnd("name");
    const qsizetype patchNeeds = std::max(tableEnd("maxp"), tableEnd("cmap"));
    const CodeMap toUnicode{{0x41, 0x41}};
    for (qsizetype length = 0; length <= font.size(); ++length) {
        const QByteArray cut = font.left(length);
        const Bytes stripped = stripSubsetPrefixFromTTF(spanOf(cut));
        const Bytes patched = patchTrueTypeCmapIfNeeded(spanOf(cut), toUnicode, false);
        if (length < nameEnd)
            EXPECT_EQ(stripped, b(cut)) << "length " << length;
        else
            EXPECT_NE(stripped, b(cut)) << "length " << length;
        if (length < patchNeeds)
            EXPECT_EQ(patched, b(cut)) << "length " << length;
        else
            EXPECT_NE(patched, b(cut)) << "length " << length;
    }
}

// --- ToUnicode CMaps ---------------------------------------------------------

TEST(TrueTypeRepair, ReadsSingleCharacters)
{
    EXPECT_EQ(parseToUnicode("1 beginbfchar\n<0003> <0041>\nendbfchar\n"), (CodeMap{{0x41, 0x03}}));
    // Outside a section nothing counts; later lines win.
    EXPECT_EQ(parseToUnicode("<0001> <0042>\r\n2 beginbfchar\r\n<01> <0042>\r\n  <02>\t<0042>  \r\nendbfchar"),
              (CodeMap{{0x42, 0x02}}));
}

TEST(TrueTypeRepair, ReadsRanges)
{
    EXPECT_EQ(parseToUnicode("beginbfrange\n<0010> <0012> <0061>\nendbfrange"),
              (CodeMap{{0x61, 0x10}, {0x62, 0x11}, {0x63, 0x12}}));
    EXPECT_EQ(parseToUnicode("beginbfrange\n<0000> <0200> <1000>\nendbfrange").size(), 513u);
    EXPECT_TRUE(parseToUnicode("beginbfrange\n<0000> <0201> <1000>\nendbfrange").empty());
    EXPECT_TRUE(parseToUnicode("beginbfrange\n<0012> <0010> <0061>\nendbfrange").empty());
    // Wraps past 0xFFFF.
    EXPECT_EQ(parseToUnicode("beginbfrange\n<0001> <0002> <FFFF>\nendbfrange"),
              (CodeMap{{0xFFFF, 0x01}, {0x0000, 0x02}}));
    // An array destination: its first value starts the run.
    EXPECT_EQ(parseToUnicode("beginbfrange\n<0005> <0006> [<0041> <0058>]\nendbfrange"),
              (CodeMap{{0x41, 0x05}, {0x42, 0x06}}));
}

TEST(TrueTypeRepair, LeavesOutValuesWiderThanSixteenBits)
{
    EXPECT_TRUE(parseToUnicode("beginbfchar\n<0001> <00660069>\nendbfchar").empty());
    EXPECT_EQ(parseToUnicode("beginbfchar\n<0001> <00660069> <0042>\nendbfchar"), (CodeMap{{0x42, 0x01}}));
    // Leading zeros do not make a value wide; a huge token does not overflow.
    EXPECT_EQ(parseToUnicode("beginbfchar\n<0001> <00000043>\nendbfchar"), (CodeMap{{0x43, 0x01}}));
    EXPECT_TRUE(
        parseToUnicode("beginbfchar\n<0001> <FFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFF>\nendbfchar").empty());
    EXPECT_TRUE(parseToUnicode("").empty());
    EXPECT_TRUE(parseToUnicode("beginbfchar\n<> <0041>\n<0001 <0041\nendbfchar").empty());
}

// --- Building a format 4 table ----------------------------------------------

TEST(TrueTypeRepair, BuildsSegmentsOfConsecutiveValues)
{
    const Bytes table = buildFormat4CmapTable({{0x41, 5}, {0x42, 6}, {0x43, 7}, {0x45, 9}});
    const ByteSpan t(table);
    ASSERT_EQ(table.size(), 36u + 8 * 3);
    EXPECT_EQ(*readU16(t, 0), 0);
    EXPECT_EQ(*readU16(t, 2), 2);
    EXPECT_EQ(*readU16(t, 4), 0);
    EXPECT_EQ(*readU16(t, 6), 3);
    EXPECT_EQ(*readU32(t, 8), 20u);
    EXPECT_EQ(*readU16(t, 12), 3);
    EXPECT_EQ(*readU16(t, 14), 1);
    EXPECT_EQ(*readU32(t, 16), 20u);
    EXPECT_EQ(*readU16(t, 20), 4);
    EXPECT_EQ(*readU16(t, 22), 40);
    EXPECT_EQ(*readU16(t, 26), 6);
    EXPECT_EQ(*readU16(t, 28), 4);
    EXPECT_EQ(*readU16(t, 30), 1);
    EXPECT_EQ(*readU16(t, 32), 2);
    // endCode, reservedPad, startCode, idDelta, idRangeOffset.
    EXPECT_EQ(*readU16(t, 34), 0x43);
    EXPECT_EQ(*readU16(t, 36), 0x45);
    EXPECT_EQ(*readU16(t, 38), 0xFFFF);
    EXPECT_EQ(*readU16(t, 40), 0);
    EXPECT_EQ(*readU16(t, 42), 0x41);
    EXPECT_EQ(*readU16(t, 44), 0x45);
    EXPECT_EQ(*readU16(t, 46), 0xFFFF);
    EXPECT_EQ(*readU16(t, 48), 0xFFC4);
    EXPECT_EQ(*readU16(t, 50), 0xFFC4);
    EXPECT_EQ(*readU16(t, 52), 1);
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(*readU16(t, 54 + 2 * i), 0);
}

TEST(TrueTypeRepair, BuildsTheTerminalSegmentAlone)
{
    const Bytes table = buildFormat4CmapTable({});
    ASSERT_EQ(table.size(), 44u);
    EXPECT_EQ(*readU16(ByteSpan(table), 28), 2);
    EXPECT_EQ(*readU16(ByteSpan(table), 30), 0);
    EXPECT_EQ(*readU16(ByteSpan(table), 32), 0);
    // Glyph 0 and U+FFFF are skipped.
    EXPECT_EQ(buildFormat4CmapTable({{0x41, 0}, {0xFFFF, 3}}), table);
}

TEST(TrueTypeRepair, RefusesMapsTooLargeForTheLengthField)
{
    CodeMap map;
    for (std::uint16_t i = 0; i < kMaxFormat4Segments - 1; ++i)
        map[std::uint16_t(2 * i)] = 1;  // every entry its own segment
    const Bytes largest = buildFormat4CmapTable(map);
    ASSERT_FALSE(largest.empty());
    EXPECT_EQ(*readU16(ByteSpan(largest), 22), 16 + 8 * kMaxFormat4Segments);
    map[std::uint16_t(2 * kMaxFormat4Segments)] = 1;
    EXPECT_TRUE(buildFormat4CmapTable(map).empty());
}

TEST(TrueTypeRepair, ReadsTheTableItBuilds)
{
    CodeMap map{{0x20, 3}, {0x41, 36}, {0x42, 37}, {0xE9, 120}, {0x20AC, 300}};
    const Bytes font = b(fontWithTables({{"maxp", maxp(400)}, {"cmap", q(buildFormat4CmapTable(map))}}));
    const GlyphMap read = mapOf(font, 400);
    ASSERT_EQ(read.size(), map.size());
    for (const auto& [code, glyph] : map)
        EXPECT_EQ(read.at(code), glyph);
}

// --- Patching the character map ---------------------------------------------

TEST(TrueTypeRepair, MapsSymbolCodesToUnicode)
{
    const QByteArray font =
        fontWithTables({{"maxp", maxp(10)}, {"cmap", cmapTable({{3, 0, format4({{0xF0E9, 7}, {0xF041, 2}})}})}});
    const Bytes patched = patchTrueTypeCmapIfNeeded(spanOf(font), {{0x00E9, 0xE9}}, false);
    ASSERT_NE(patched, b(font));
    const GlyphMap map = mapOf(patched, 10);
    EXPECT_EQ(map.at(0xE9), 7);
    // The font's own mappings stay.
    EXPECT_EQ(map.at(0xF0E9), 7);
    EXPECT_EQ(map.at(0xF041), 2);
    // Codes from 0x100 up add nothing.
    EXPECT_EQ(patchTrueTypeCmapIfNeeded(spanOf(font), {{0x00E9, 0x0101}}, false), b(font));
}

TEST(TrueTypeRepair, TakesCIDsAsGlyphIndexes)
{
    const QByteArray font = fontWithTables({{"maxp", maxp(10)}, {"cmap", cmapTable({{3, 1, format4({{0x20, 1}})}})}});
    EXPECT_EQ(patchTrueTypeCmapIfNeeded(spanOf(font), {{0x41, 10}}, true), b(font));
    EXPECT_EQ(patchTrueTypeCmapIfNeeded(spanOf(font), {{0x41, 0}}, true), b(font));
    const Bytes patched = patchTrueTypeCmapIfNeeded(spanOf(font), {{0x41, 9}}, true);
    ASSERT_NE(patched, b(font));
    EXPECT_EQ(mapOf(patched, 10), (GlyphMap{{0x20, 1}, {0x41, 9}}));
}

TEST(TrueTypeRepair, LeavesFontsThatShowEverythingAlone)
{
    const QByteArray font =
        fontWithTables({{"maxp", maxp(10)}, {"cmap", cmapTable({{3, 1, format4({{0x41, 3}, {0x42, 4}})}})}});
    EXPECT_EQ(patchTrueTypeCmapIfNeeded(spanOf(font), {{0x41, 1}, {0x42, 2}}, true), b(font));
    // No 'cmap' record: nothing is added.
    const QByteArray withoutCmap = fontWithTables({{"maxp", maxp(10)}, {"glyf", QByteArray(8, '\0')}});
    EXPECT_EQ(patchTrueTypeCmapIfNeeded(spanOf(withoutCmap), {{0x41, 1}}, true), b(withoutCmap));
}

TEST(TrueTypeRepair, KeepsEveryExistingMappingAndOnlyAdds)
{
    // Mappings far outside Latin, in the BMP and beyond it.
    const QByteArray font = fontWithTables(
        {{"maxp", maxp(50)},
         {"cmap", cmapTable({{3, 1, format4({{0x4E00, 3}, {0x41, 8}})},
                             {3, 10, format12({{0x4E00, 0x4E00, 3}, {0x41, 0x41, 8}, {0x1F600, 0x1F601, 4}})}})}});
    const Bytes patched = patchTrueTypeCmapIfNeeded(spanOf(font), {{0x41, 30}, {0x263A, 40}}, true);
    ASSERT_NE(patched, b(font));
    const GlyphMap map = mapOf(patched, 50);
    EXPECT_EQ(map, (GlyphMap{{0x41, 8}, {0x263A, 40}, {0x4E00, 3}, {0x1F600, 4}, {0x1F601, 5}}));
    // The new table's records: Unicode BMP, Windows BMP and Windows UCS-4.
    const auto cmap = tableData(ByteSpan(patched), makeTag("cmap"));
    ASSERT_TRUE(cmap);
    EXPECT_EQ(*readU16(*cmap, 2), 3);
    EXPECT_EQ(*readU16(*cmap, 20), 3);
    EXPECT_EQ(*readU16(*cmap, 22), 10);
}

TEST(TrueTypeRepair, AlignsTheNewTableOnFourBytes)
{
    QByteArray font = fontWithTables({{"maxp", maxp(10)},
                                      {"cmap", cmapTable({{3, 0, format4({{0xF041, 2}})}})},
                                      {"zzzz", QByteArray()}});
    font += QByteArray(1001 - font.size(), '\0');
    ASSERT_EQ(font.size(), 1001);
    const Bytes patched = patchTrueTypeCmapIfNeeded(spanOf(font), {{0x41, 0x41}}, false);
    const auto record = findTable(ByteSpan(patched), makeTag("cmap"));
    ASSERT_TRUE(record);
    EXPECT_EQ(record->offset, 1004u);
    EXPECT_EQ(record->length, patched.size() - 1004);
    EXPECT_EQ(Bytes(patched.begin() + 1001, patched.begin() + 1004), Bytes(3, 0));
    // Everything before the old end is as it was, but for the record's offset and length.
    Bytes head(patched.begin(), patched.begin() + 1001);
    writeU32(head, record->recordOffset + 8, *readU32(spanOf(font), record->recordOffset + 8));
    writeU32(head, record->recordOffset + 12, *readU32(spanOf(font), record->recordOffset + 12));
    EXPECT_EQ(head, b(font));
}

TEST(TrueTypeRepair, SurvivesHostileCharacterMaps)
{
    // A format 12 group over all of Unicode, many times, and format 4
    // segments pointing outside the table: read quickly and safely.
    std::vector<std::tuple<unsigned, unsigned, unsigned>> groups(2000, {0, 0xFFFFFFFF, 1});
    QByteArray segments = u16(4) + u16(0) + u16(0) + u16(4) + u16(4) + u16(1) + u16(0);
    segments += u16(0xFFFF) + u16(0xFFFF) + u16(0) + u16(0) + u16(0) + u16(1) + u16(1) + u16(0xFFF0) + u16(0);
    const QByteArray font = fontWithTables(
        {{"maxp", maxp(0xFFFF)}, {"cmap", cmapTable({{3, 10, format12(groups)}, {3, 1, segments}})}});
    // A hundredth of the groups, read the same way, costs a hundredth as
    // much when reading is linear.
    std::vector<std::tuple<unsigned, unsigned, unsigned>> few(20, {0, 0xFFFFFFFF, 1});
    const QByteArray fewer = fontWithTables(
        {{"maxp", maxp(0xFFFF)}, {"cmap", cmapTable({{3, 10, format12(few)}, {3, 1, segments}})}});
    auto start = std::chrono::steady_clock::now();
    patchTrueTypeCmapIfNeeded(spanOf(fewer), {{0x41, 5}}, true);
    const auto hundredth = std::max<std::chrono::steady_clock::duration>(std::chrono::steady_clock::now() - start,
                                                                          std::chrono::milliseconds(1));
    start = std::chrono::steady_clock::now();
    const Bytes patched = patchTrueTypeCmapIfNeeded(spanOf(font), {{0x41, 5}}, true);
    EXPECT_LT(std::chrono::steady_clock::now() - start, hundredth * 100 * 4);
    EXPECT_EQ(patched, b(font));  // U+0041 is already mapped by the group

    std::mt19937 random(42);
    for (int round = 0; round < 300; ++round) {
        QByteArray noise = font.left(12 + 16 * 2);
        noise.resize(qsizetype(random() % 600) + 12);
        for (qsizetype i = 12; i < noise.size(); ++i)
            noise[i] = char(random());
        (void)stripSubsetPrefixFromTTF(spanOf(noise));
        (void)patchTrueTypeCmapIfNeeded(spanOf(noise), {{0x41, 5}, {0x42, 0x42}}, round % 2 == 0);
        (void)readCharacterMap(spanOf(noise), 0xFFFF);
        (void)postScriptName(spanOf(noise));
    }
}

TEST(SfntReader, ChecksEveryRead)
{
    const QByteArray data("\x01\x02\x03", 3);
    EXPECT_EQ(readU16(spanOf(data), 1), std::optional<std::uint16_t>(0x0203));
    EXPECT_FALSE(readU16(spanOf(data), 2));
    EXPECT_FALSE(readU32(spanOf(data), 0));
    EXPECT_FALSE(readU16(spanOf(data), 0xFFFFFFFFFFFFFFFFull));
    EXPECT_FALSE(inBounds(spanOf(data), 2, 0xFFFFFFFFFFFFFFFFull));
    Bytes out(3);
    EXPECT_FALSE(writeU32(out, 0, 1));
    EXPECT_TRUE(writeU16(out, 1, 0xABCD));
    EXPECT_EQ(out, (Bytes{0, 0xAB, 0xCD}));
    // A table record pointing past the end gives no table data.
    QByteArray font = fontWithTables({{"maxp", maxp(3)}});
    font.replace(12 + 8, 4, u32(0xFFFFFFF0));
    EXPECT_FALSE(tableData(spanOf(font), makeTag("maxp")));
    EXPECT_FALSE(glyphCount(spanOf(font)));
}

TEST(SfntReader, ReadsNames)
{
    const QByteArray font = fontWithTables(
        {{"name", zelvane::testing::makeNameTable("Test Family", "Bold", "TestFamily-Bold")}});
    EXPECT_EQ(postScriptName(spanOf(font)), "TestFamily-Bold");
    EXPECT_EQ(familyName(spanOf(font)), "Test Family");
}
