#include "pdf/PDFFontProgramMetrics.h"

#include "pdf/PDFStandardFontMetrics.h"

#include <qpdf/Buffer.hh>

#include <ft2build.h>
#include FT_FREETYPE_H

#include <exception>
#include <memory>
#include <string>

namespace zelvane {

namespace {

// The glyph of `code` through the program's character maps, as readers
// look a code up when no glyph name leads to one.
FT_UInt glyphByCharacterMaps(FT_Face face, unsigned code, bool symbolic)
{
    const auto lookUp = [&](FT_UShort platform, FT_UShort encoding, FT_ULong character) -> FT_UInt {
        for (int i = 0; i < face->num_charmaps; ++i) {
            FT_CharMap map = face->charmaps[i];
            if (map->platform_id == platform && map->encoding_id == encoding && FT_Set_Charmap(face, map) == 0) {
                return FT_Get_Char_Index(face, character);
            }
        }
        return 0;
    };
    FT_UInt glyph = 0;
    if (symbolic) {
        glyph = lookUp(3, 0, 0xF000 + code);
        if (!glyph) {
            glyph = lookUp(3, 0, code);
        }
    }
    if (!glyph) {
        glyph = lookUp(1, 0, code);
    }
    if (!glyph) {
        glyph = lookUp(3, 1, code);
    }
    // A Type 1 or compact font's own encoding.
    for (const FT_Encoding own : {FT_ENCODING_ADOBE_CUSTOM, FT_ENCODING_ADOBE_STANDARD}) {
        if (!glyph && FT_Select_Charmap(face, own) == 0) {
            glyph = FT_Get_Char_Index(face, code);
        }
    }
    return glyph;
}

struct Library {
    FT_Library library = nullptr;
    Library() { FT_Init_FreeType(&library); }
    ~Library()
    {
        if (library) {
            FT_Done_FreeType(library);
        }
    }
};

// The font program embedded with a font descriptor (Type 1, TrueType or
// compact font), opened by FreeType; no face when there is none or it
// cannot be read. Throws what reading the stream throws.
class EmbeddedProgram {
public:
    explicit EmbeddedProgram(QPDFObjectHandle descriptor)
    {
        if (!descriptor.isDictionary()) {
            return;
        }
        QPDFObjectHandle program;
        for (const char* key : {"/FontFile", "/FontFile2", "/FontFile3"}) {
            if (descriptor.getKey(key).isStream()) {
                program = descriptor.getKey(key);
                break;
            }
        }
        if (!program.isStream()) {
            return;
        }
        m_data = program.getStreamData(qpdf_dl_generalized);
        if (!m_library.library
            || FT_New_Memory_Face(m_library.library, m_data->getBuffer(), FT_Long(m_data->getSize()), 0, &m_face)
                   != 0) {
            m_face = nullptr;
            return;
        }
        if (m_face->units_per_EM == 0) {
            FT_Done_Face(m_face);
            m_face = nullptr;
        }
    }

    ~EmbeddedProgram()
    {
        if (m_face) {
            FT_Done_Face(m_face);
        }
    }

    EmbeddedProgram(const EmbeddedProgram&) = delete;
    EmbeddedProgram& operator=(const EmbeddedProgram&) = delete;

    // Its face, with at least one unit per em; null when not read.
    FT_Face face() const { return m_face; }

private:
    // The face reads from these bytes as long as it lives.
    std::shared_ptr<Buffer> m_data;
    Library m_library;
    FT_Face m_face = nullptr;
};

}  // namespace

std::optional<std::vector<double>> embeddedFontWidths(QPDFObjectHandle font)
{
    try {
        QPDFObjectHandle descriptor = font.getKey("/FontDescriptor");
        const EmbeddedProgram program(descriptor);
        FT_Face face = program.face();
        if (!face) {
            return std::nullopt;
        }
        QPDFObjectHandle flags = descriptor.getKey("/Flags");
        const bool symbolic = flags.isInteger() && (flags.getIntValue() & 4) != 0;
        QPDFObjectHandle encoding = font.getKey("/Encoding");
        const std::array<std::string, 256> names =
            glyphNamesOf(encoding, {}, !symbolic || !encoding.isNull());
        std::vector<double> widths(256, 0);
        for (unsigned code = 0; code < 256; ++code) {
            FT_UInt glyph = 0;
            if (FT_HAS_GLYPH_NAMES(face) && !names[code].empty()) {
                glyph = FT_Get_Name_Index(face, names[code].c_str());
            }
            if (!glyph) {
                glyph = glyphByCharacterMaps(face, code, symbolic);
            }
            if (glyph && FT_Load_Glyph(face, glyph, FT_LOAD_NO_SCALE | FT_LOAD_NO_HINTING) == 0) {
                widths[code] = double(face->glyph->metrics.horiAdvance) / face->units_per_EM;
            }
        }
        return widths;
    } catch (const std::exception&) {
        return std::nullopt;
    }
}

std::optional<std::pair<double, double>> embeddedFontReach(QPDFObjectHandle descriptor)
{
    try {
        const EmbeddedProgram program(descriptor);
        FT_Face face = program.face();
        if (!face || face->units_per_EM < 16 || face->bbox.yMax <= face->bbox.yMin) {
            return std::nullopt;
        }
        const double unitsPerEm = face->units_per_EM;
        return std::make_pair(face->bbox.yMin / unitsPerEm, face->bbox.yMax / unitsPerEm);
    } catch (const std::exception&) {
        return std::nullopt;
    }
}

}  // namespace zelvane
