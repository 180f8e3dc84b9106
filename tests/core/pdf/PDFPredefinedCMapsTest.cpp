// Composite fonts whose codes go through a predefined character-code map
// (not embedded in the file, installed by poppler-data) are measured by the
// CIDs the map gives.

#include "pdf/PDFFontMetrics.h"
#include "pdf/PDFPredefinedCMaps.h"

#include <gtest/gtest.h>

#include <QFile>

using namespace zelvane;

namespace {

bool mapsInstalled()
{
    return QFile::exists(QStringLiteral("/usr/share/poppler/cMap/Adobe-Japan1/UniJIS-UCS2-H"));
}

QPDFObjectHandle japaneseFont(const std::string& encoding)
{
    return QPDFObjectHandle::parse("<< /Type /Font /Subtype /Type0 /BaseFont /Mincho /Encoding " + encoding
                                   + " /DescendantFonts [<< /Type /Font /Subtype /CIDFontType0 /BaseFont /Mincho "
                                     "/DW 1000 /W [34 [600] 843 [900]] >>] >>");
}

}  // namespace

TEST(PDFPredefinedCMapsTest, CodesOfAPredefinedMapTakeTheWidthsOfTheirCIDs)
{
    if (!mapsInstalled())
        GTEST_SKIP() << "poppler-data is not installed";
    const std::optional<std::string> vertical = predefinedCMapText("UniJIS-UCS2-V");
    ASSERT_TRUE(vertical);
    EXPECT_EQ(vertical->find("usecmap"), std::string::npos);
    // Its own vertical entries, then those of the horizontal map it is based on.
    EXPECT_NE(vertical->find("UniJIS-UCS2-H"), std::string::npos);
    EXPECT_FALSE(predefinedCMapText("NoSuchMap-H"));
    EXPECT_FALSE(predefinedCMapText("../../../etc/passwd"));

    const PDFFontMetrics horizontal(japaneseFont("/UniJIS-UCS2-H"));
    EXPECT_FALSE(horizontal.vertical());
    // "A" is CID 34, hiragana a CID 843, the ideograph for one an unlisted CID (default width).
    const std::vector<PDFGlyph> glyphs = horizontal.glyphs(std::string("\x00\x41\x30\x42\x4e\x00", 6));
    ASSERT_EQ(glyphs.size(), 3u);
    EXPECT_DOUBLE_EQ(glyphs[0].advance, 0.6);
    EXPECT_DOUBLE_EQ(glyphs[1].advance, 0.9);
    EXPECT_DOUBLE_EQ(glyphs[2].advance, 1.0);
    EXPECT_THROW(horizontal.glyphs(std::string("\x00", 1)), PDFUnmeasurableFont);

    EXPECT_TRUE(PDFFontMetrics(japaneseFont("/UniJIS-UCS2-V")).vertical());
    EXPECT_THROW(PDFFontMetrics(japaneseFont("/NoSuchMap-H")), PDFUnmeasurableFont);
}
