// Runs every TrueType repair and the family renaming on arbitrary bytes: none may crash, read out of
// bounds or take long, and the repairs' own output must read back.

#include "FuzzInput.h"

#include "fonts/CharacterMap.h"
#include "fonts/FontFamilyRenaming.h"
#include "fonts/SfntReader.h"
#include "fonts/TrueTypeRepair.h"

#include <cstdlib>

using namespace zelvane::truetype;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const RepairFuzzInput input = splitFuzzInput(data, size);

    const Bytes stripped = stripSubsetPrefixFromTTF(input.font);
    // Stripping changes record fields only, never the size.
    if (stripped.size() != input.font.size())
        std::abort();

    const CodeMap toUnicode = parseToUnicode(input.cmapText);
    const Bytes patched = patchTrueTypeCmapIfNeeded(ByteSpan(stripped), toUnicode, input.isCIDFont);
    if (patched.size() < stripped.size())
        std::abort();
    if (patched != stripped) {
        // A patched font has a readable character map that keeps the old mappings.
        const auto glyphs = glyphCount(ByteSpan(patched));
        if (!glyphs || !readCharacterMap(ByteSpan(patched), *glyphs))
            std::abort();
    }

    // Renaming works on sfnt, CFF and Type 1 programs; an sfnt keeps a
    // readable table directory.
    const Bytes renamed = withFamilyName(input.font, "Zelvane Fuzz");
    if (readTableDirectory(input.font) && !readTableDirectory(ByteSpan(renamed)))
        std::abort();

    (void)buildFormat4CmapTable(toUnicode);
    (void)postScriptName(input.font);
    (void)familyName(input.font);
    return 0;
}
