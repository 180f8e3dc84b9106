#pragma once

#include <QString>

#define POINTERHOLDER_TRANSITION 4
#include <qpdf/QPDFObjectHandle.hh>

#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace zelvane {

// Thrown when a font's glyphs cannot be measured well enough to know where
// each one lies (no widths, an unknown character-code map, codes outside the
// font's code space). `what()` is a short English reason for the debug log.
class PDFUnmeasurableFont : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// One glyph of a shown string: the bytes of its code and its metrics in text
// space units per unit of font size (glyph widths already divided by 1000,
// or mapped through a Type 3 font's matrix).
struct PDFGlyph {
    std::string code;
    // Horizontal displacement (horizontal writing) or vertical displacement,
    // negative downwards (vertical writing).
    double advance = 0;
    // Vertical writing: from the glyph's origin to the point the text
    // position marks (the position vector, usually half the width across
    // and the ascent up).
    double originX = 0;
    double originY = 0;
    // The glyph's width across, used for its box in vertical writing.
    double width = 0;
    // A single-byte code 32, which word spacing applies to.
    bool wordSpace = false;
};

// Glyph widths and extents of one PDF font dictionary, enough to place every
// glyph of a shown string: simple fonts by /Widths (the standard 14 fonts
// without widths by their metric-compatible installed faces), Type 3 fonts
// through their font matrix, and composite fonts by their CID widths
// (/W, /DW, and /W2, /DW2 in vertical writing) with Identity, embedded or
// installed predefined character-code maps.
class PDFFontMetrics {
public:
    // Throws PDFUnmeasurableFont.
    explicit PDFFontMetrics(QPDFObjectHandle font);

    bool vertical() const { return m_vertical; }
    // Extent of the glyphs above and below the baseline, per unit of size
    // (descent negative).
    double ascent() const { return m_ascent; }
    double descent() const { return m_descent; }

    // The glyphs of a string in showing order. Throws PDFUnmeasurableFont
    // when the bytes end in the middle of a code.
    std::vector<PDFGlyph> glyphs(const std::string& bytes) const;

private:
    struct CodeSpace {
        std::string low;
        std::string high;
    };
    struct CIDRange {
        unsigned low = 0;
        unsigned high = 0;
        int bytes = 0;
        unsigned firstCID = 0;
    };
    struct VerticalMetrics {
        double advance = 0;
        double originX = 0;
        double originY = 0;
    };

    void readSimpleFont(QPDFObjectHandle font, bool type3);
    void readCompositeFont(QPDFObjectHandle font);
    void readEmbeddedCMap(QPDFObjectHandle stream);
    void readCMapText(const std::string& text);
    void readExtents(QPDFObjectHandle descriptor, double unitsPerText);
    unsigned cidOf(unsigned code, int bytes) const;
    double cidWidth(unsigned cid) const;
    VerticalMetrics cidVertical(unsigned cid) const;

    bool m_composite = false;
    bool m_vertical = false;
    double m_ascent = 0.8;
    double m_descent = -0.2;

    // Simple fonts: widths by code, per unit of size.
    std::vector<double> m_simpleWidths;

    // Composite fonts.
    bool m_identity = false;
    std::vector<CodeSpace> m_codeSpaces;
    std::vector<CIDRange> m_cidRanges;
    std::map<unsigned, double> m_cidWidths;
    double m_defaultWidth = 1.0;
    std::map<unsigned, VerticalMetrics> m_cidVertical;
    double m_defaultVerticalY = 0.88;
    double m_defaultVerticalAdvance = -1.0;
};

}  // namespace zelvane
