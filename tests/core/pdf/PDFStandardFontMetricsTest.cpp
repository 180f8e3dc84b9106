// Standard fonts without widths: which names stand for them and the widths
// their glyphs take in each encoding.

#include "core/fonts/TestFonts.h"
#include "pdf/PDFFontMetrics.h"
#include "pdf/PDFStandardFontMetrics.h"

#include <gtest/gtest.h>

#include <QFile>

#include <qpdf/QPDF.hh>

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
        {"/Times New Roman", "Times-Roman"},
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
    // Names poppler draws with the widths of a font the descriptor's flags
    // choose: a subset prefix, other styles, aliases it does not list.
    for (const char* other : {"/ArialNarrow", "/Arial-Black", "/Calibri", "/Helvetica-Light", "/abcdef+Helvetica",
                              "/ABCDEF+Times-Roman", "/ABCDEF+Helvetica", "/ArialMT,Bold", "/Times", "/Arial-Regular",
                              "/Courier-BoldItalic"})
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
    // Any other name without a descriptor is drawn by poppler with the
    // widths of Times-Roman.
    const PDFFontMetrics mystery(parsed("<< /Type /Font /Subtype /TrueType /BaseFont /MysteryFont >>"));
    EXPECT_DOUBLE_EQ(mystery.glyphs("W").at(0).advance, standardFontWidths("/Times-Roman", parsed("null"))->at('W'));
}

TEST(PDFStandardFontMetricsTest, OtherFontsWithoutWidthsAreMeasuredAsPopplerDrawsThem)
{
    if (!metricsInstalled())
        GTEST_SKIP() << "fonts-urw-base35 is not installed";
    // Poppler gives them the widths of the standard face their descriptor's
    // flags choose, whatever program they embed: here DejaVu Sans, whose
    // own advances (A 1401 of 2048) are none of the standard faces'.
    const QByteArray program =
        zelvane::testing::readBinaryFile(QStringLiteral("/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf"));
    if (program.isEmpty())
        GTEST_SKIP() << "DejaVu Sans is not installed";
    QPDF pdf;
    pdf.emptyPDF();
    const auto widthOfA = [&](const std::string& flags, bool embedded, const std::string& encoding) {
        QPDFObjectHandle font = parsed("<< /Type /Font /Subtype /TrueType /BaseFont /ABCDEF+SomeSans " + encoding +
                                       " /FontDescriptor << " + flags + " >> >>");
        if (embedded)
            font.getKey("/FontDescriptor").replaceKey("/FontFile2", QPDFObjectHandle::newStream(&pdf, program.toStdString()));
        return PDFFontMetrics(font).glyphs("A").at(0).advance;
    };
    const auto standardA = [](const char* face) { return standardFontWidths(face, parsed("null"))->at('A'); };
    EXPECT_DOUBLE_EQ(widthOfA("/Flags 32", true, "/Encoding /WinAnsiEncoding"), standardA("/Helvetica"));
    EXPECT_DOUBLE_EQ(widthOfA("/Flags 34", true, "/Encoding /WinAnsiEncoding"), standardA("/Times-Roman"));
    EXPECT_DOUBLE_EQ(widthOfA("/Flags 33", false, ""), standardA("/Courier"));
    EXPECT_DOUBLE_EQ(widthOfA("/Flags 262178", false, ""), standardA("/Times-Bold"));
    EXPECT_DOUBLE_EQ(widthOfA("/Flags 98", false, ""), standardA("/Times-Italic"));
    EXPECT_DOUBLE_EQ(widthOfA("", false, ""), standardA("/Times-Roman"));

    // An embedded program without an encoding of the font's names its
    // codes itself: left unmeasured.
    EXPECT_THROW(widthOfA("/Flags 32", true, ""), PDFUnmeasurableFont);
}

TEST(PDFStandardFontMetricsTest, EmbeddedProgramsBoxBoundsWhatTheDescriptorClaims)
{
    // The descriptor claims three ems above and below the baseline; the
    // program's own box says how far its glyphs reach.
    struct Program {
        QByteArray bytes;
        const char* key;
        double descent;
        double ascent;
    };
    const std::vector<Program> programs = {
        // Liberation Sans: 'head' box -621 ... 2007 of 2048 units.
        {zelvane::testing::liberationSansRegular(), "/FontFile2", -621.0 / 2048, 2007.0 / 2048},
        // Nimbus Sans (Type 1): /FontBBox {-210 -299 1032 1075}.
        {zelvane::testing::readBinaryFile(QStringLiteral("/usr/share/fonts/type1/urw-base35/NimbusSans-Regular.t1")),
         "/FontFile", -0.299, 1.075},
    };
    for (const Program& program : programs) {
        SCOPED_TRACE(program.key);
        if (program.bytes.isEmpty())
            GTEST_SKIP() << "the font program is not installed";
        QPDF pdf;
        pdf.emptyPDF();
        QPDFObjectHandle font = parsed(
            "<< /Type /Font /Subtype /TrueType /BaseFont /ABCDEF+Claims /FirstChar 32 /LastChar 32 /Widths [500] "
            "/FontDescriptor << /Flags 32 /Ascent 3000 /Descent -3000 /FontBBox [0 -3000 1000 3000] >> >>");
        font.getKey("/FontDescriptor")
            .replaceKey(program.key, QPDFObjectHandle::newStream(&pdf, program.bytes.toStdString()));
        const PDFFontMetrics metrics(font);
        EXPECT_NEAR(metrics.ascent(), program.ascent, 1e-9);
        EXPECT_NEAR(metrics.descent(), program.descent, 1e-9);
    }
}
