// Standard fonts without widths: which names stand for them and the widths
// their glyphs take in each encoding.

#include "pdf/PDFFontMetrics.h"
#include "pdf/PDFStandardFontMetrics.h"

#include <gtest/gtest.h>

#include <QFile>

using namespace zelvane;

namespace {

bool metricsInstalled()
{
    return QFile::exists(QStringLiteral("/usr/share/fonts/type1/urw-base35/NimbusRoman-Regular.afm"));
}

QPDFObjectHandle parsed(const std::string& text)
{
    return QPDFObjectHandle::parse(text);
}

}  // namespace

TEST(PDFStandardFontMetricsTest, NamesAndAliasesOfTheStandardFonts)
{
    const std::vector<std::pair<std::string, std::string>> standard = {
        {"/Helvetica", "Helvetica"},
        {"/ABCDEF+Times-Roman", "Times-Roman"},
        {"/Arial,Bold", "Helvetica-Bold"},
        {"/Arial-BoldItalicMT", "Helvetica-BoldOblique"},
        {"/ArialMT", "Helvetica"},
        {"/TimesNewRomanPS-ItalicMT", "Times-Italic"},
        {"/TimesNewRoman,BoldItalic", "Times-BoldItalic"},
        {"/TimesNewRoman", "Times-Roman"},
        {"/CourierNewPSMT", "Courier"},
        {"/Courier-Oblique", "Courier-Oblique"},
        {"/Symbol", "Symbol"},
        {"/ZapfDingbats", "ZapfDingbats"},
    };
    for (const auto& [name, expected] : standard)
        EXPECT_EQ(standardFontName(name).value_or("none"), expected) << name;
    for (const char* other : {"/ArialNarrow", "/Arial-Black", "/Calibri", "/Helvetica-Light", "/abcdef+Helvetica"})
        EXPECT_FALSE(standardFontName(other)) << other;
}

TEST(PDFStandardFontMetricsTest, GlyphsTakeTheWidthsTheirEncodingNames)
{
    if (!metricsInstalled())
        GTEST_SKIP() << "fonts-urw-base35 is not installed";
    const auto widthOf = [](const std::string& font, const std::string& encoding, int code) {
        const std::optional<std::vector<double>> widths = standardFontWidths(font, parsed(encoding));
        return widths ? widths->at(size_t(code)) : -1.0;
    };
    EXPECT_DOUBLE_EQ(widthOf("/Helvetica", "null", 'A'), 0.667);
    // The straight quote of WinAnsi, the curly one of the standard encoding.
    EXPECT_DOUBLE_EQ(widthOf("/Times-Roman", "/WinAnsiEncoding", 0x27), 0.180);
    EXPECT_DOUBLE_EQ(widthOf("/Times-Roman", "null", 0x27), 0.333);
    EXPECT_DOUBLE_EQ(widthOf("/Times-Roman", "/WinAnsiEncoding", 0x80), 0.5);  // Euro
    EXPECT_DOUBLE_EQ(widthOf("/Times-Roman", "<< /BaseEncoding /WinAnsiEncoding /Differences [1 /W /quoteright] >>", 1),
                     0.944);
    EXPECT_DOUBLE_EQ(widthOf("/Times-Roman", "<< /Differences [1 /W /quoteright] >>", 2), 0.333);
    // A code naming no glyph of the font is drawn 0 wide.
    EXPECT_DOUBLE_EQ(widthOf("/Times-Roman", "<< /Differences [1 /nosuchglyph] >>", 1), 0);
    EXPECT_DOUBLE_EQ(widthOf("/CourierNewPS-BoldMT", "/WinAnsiEncoding", 'i'), 0.6);
    // Symbol keeps its own encoding under a named one.
    EXPECT_DOUBLE_EQ(widthOf("/Symbol", "/WinAnsiEncoding", 'a'), 0.631);
    EXPECT_DOUBLE_EQ(widthOf("/ZapfDingbats", "null", 52), 0.846);
    EXPECT_FALSE(standardFontWidths("/Calibri", parsed("/WinAnsiEncoding")));

    // A font dictionary without widths is measured by them.
    const PDFFontMetrics metrics(parsed("<< /Type /Font /Subtype /Type1 /BaseFont /Arial,Bold /Encoding "
                                        "/WinAnsiEncoding >>"));
    const std::vector<PDFGlyph> glyphs = metrics.glyphs("W");
    ASSERT_EQ(glyphs.size(), 1u);
    EXPECT_DOUBLE_EQ(glyphs[0].advance, standardFontWidths("/Helvetica-Bold", parsed("null"))->at('W'));
    EXPECT_THROW(PDFFontMetrics(parsed("<< /Type /Font /Subtype /TrueType /BaseFont /MysteryFont >>")),
                 PDFUnmeasurableFont);
}
