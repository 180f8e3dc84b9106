// Writes a few small fonts as a starting corpus for truetype_repair_fuzzer:
// name tables with subset prefixes, symbol and Unicode character maps, and
// ToUnicode texts that add characters.

#include "FuzzInput.h"

#include "fonts/SfntReader.h"
#include "fonts/TrueTypeRepair.h"

#include <fstream>
#include <map>
#include <string>

using namespace zelvane::truetype;

namespace {

Bytes sfnt(const std::map<std::string, Bytes>& tables)
{
    Bytes out;
    appendU32(out, 0x00010000);
    appendU16(out, std::uint16_t(tables.size()));
    appendU16(out, 16);
    appendU16(out, 0);
    appendU16(out, 0);
    std::uint32_t offset = 12 + 16 * std::uint32_t(tables.size());
    Bytes body;
    for (const auto& [tag, data] : tables) {
        out.insert(out.end(), tag.begin(), tag.end());
        appendU32(out, 0);
        appendU32(out, offset);
        appendU32(out, std::uint32_t(data.size()));
        body.insert(body.end(), data.begin(), data.end());
        while (body.size() % 4 != 0)
            body.push_back(0);
        offset = 12 + 16 * std::uint32_t(tables.size()) + std::uint32_t(body.size());
    }
    out.insert(out.end(), body.begin(), body.end());
    return out;
}

Bytes nameTable()
{
    const std::string mac = "ABCDEF+Seed";
    Bytes wide;
    for (char c : mac) {
        wide.push_back(0);
        wide.push_back(std::uint8_t(c));
    }
    Bytes table;
    appendU16(table, 0);
    appendU16(table, 2);
    appendU16(table, 6 + 24);
    for (auto [platform, length, offset] :
         {std::tuple{1, mac.size(), 0ul}, std::tuple{3, wide.size(), mac.size()}}) {
        appendU16(table, std::uint16_t(platform));
        appendU16(table, std::uint16_t(platform == 1 ? 0 : 1));
        appendU16(table, std::uint16_t(platform == 1 ? 0 : 0x409));
        appendU16(table, 6);
        appendU16(table, std::uint16_t(length));
        appendU16(table, std::uint16_t(offset));
    }
    table.insert(table.end(), mac.begin(), mac.end());
    table.insert(table.end(), wide.begin(), wide.end());
    return table;
}

Bytes maxp(std::uint16_t glyphs)
{
    Bytes table;
    appendU32(table, 0x00005000);
    appendU16(table, glyphs);
    return table;
}

Bytes symbolCmap()
{
    Bytes table = buildFormat4CmapTable({{0xF041, 2}, {0xF042, 3}, {0xF0E9, 4}});
    // Turn the two records into one Windows symbol record.
    Bytes out;
    appendU16(out, 0);
    appendU16(out, 1);
    appendU16(out, 3);
    appendU16(out, 0);
    appendU32(out, 12);
    out.insert(out.end(), table.begin() + 20, table.end());
    return out;
}

void write(const std::string& folder, const std::string& name, const Bytes& bytes)
{
    std::ofstream file(folder + "/" + name, std::ios::binary);
    file.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 2)
        return 2;
    const std::string folder = argv[1];
    const std::string chars = "1 beginbfchar\n<0041> <0041>\n<00E9> <00E9>\nendbfchar\n";
    const std::string ranges = "1 beginbfrange\n<0001> <0005> <0061>\n<0006> <0007> [<0041> <0042>]\nendbfrange\n";
    const Bytes symbolFont = sfnt({{"cmap", symbolCmap()}, {"maxp", maxp(10)}, {"name", nameTable()}});
    const Bytes unicodeFont =
        sfnt({{"cmap", buildFormat4CmapTable({{0x20, 1}, {0x4E00, 5}})}, {"maxp", maxp(40)}, {"name", nameTable()}});
    write(folder, "symbol-chars", joinFuzzInput(false, chars, symbolFont));
    write(folder, "symbol-ranges", joinFuzzInput(false, ranges, symbolFont));
    write(folder, "cid-ranges", joinFuzzInput(true, ranges, unicodeFont));
    write(folder, "cid-chars", joinFuzzInput(true, chars, unicodeFont));
    write(folder, "names-only", joinFuzzInput(false, "", sfnt({{"name", nameTable()}})));
    return 0;
}
