#pragma once

// PDF files with embedded fonts, made with qpdf for the font tests.

#include <QByteArray>

#include <string>
#include <vector>

namespace zelvane::testing {

enum class FontStreamDamage {
    none,
    // FlateDecode over bytes that are not zlib data.
    brokenFlate,
    // A filter no reader knows.
    unknownFilter,
    // The Crypt filter with a crypt filter the file does not define.
    unknownCryptFilter,
};

struct FontTestPDFFont {
    // Without a leading "/"; empty leaves /BaseFont out.
    std::string baseFont;
    // "TrueType", "Type1", ...; "Type0" makes a composite font whose
    // CIDFontType2 descendant holds the descriptor.
    std::string subtype = "TrueType";
    // Empty: no descriptor program.
    QByteArray program;
    std::string programKey = "/FontFile2";
    // Empty: no /ToUnicode.
    QByteArray toUnicode;
    FontStreamDamage damage = FontStreamDamage::none;
};

enum class FontTestPlacement {
    // In the page's own /Resources.
    page,
    // Only in the /Resources of the page tree's root, inherited by the page.
    inherited,
    // In a chain of form XObjects below the page, `formDepth` forms deep.
    form,
};

struct FontTestPDFPage {
    std::vector<FontTestPDFFont> fonts;
    FontTestPlacement placement = FontTestPlacement::page;
    int formDepth = 1;
};

QByteArray makeFontTestPDF(const std::vector<FontTestPDFPage>& pages);

// A ToUnicode CMap with one bfchar section mapping each code to a Unicode
// value (both written with four hexadecimal digits).
QByteArray makeToUnicodeCMap(const std::vector<std::pair<unsigned, unsigned>>& codeToUnicode);

}  // namespace zelvane::testing
