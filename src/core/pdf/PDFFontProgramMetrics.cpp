#include "pdf/PDFFontProgramMetrics.h"


#include <qpdf/Buffer.hh>

#include <ft2build.h>
#include FT_FREETYPE_H

#include <exception>
#include <memory>
#include <string>

namespace zelvane {

namespace {

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
