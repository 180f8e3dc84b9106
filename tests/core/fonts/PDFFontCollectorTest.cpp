#include "TestFonts.h"
#include "core/support/FontTestPDF.h"
#include "core/support/TestPDF.h"

#include "fonts/PDFFontCollector.h"

#include <gtest/gtest.h>

#define POINTERHOLDER_TRANSITION 4
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>

using namespace zelvane::testing;
using zelvane::fonts::collectEmbeddedFonts;

namespace {

QByteArray bytesOfSize(qsizetype size, char fill)
{
    return QByteArray(size, fill);
}

}  // namespace

TEST(PDFFontCollector, FindsPageFontsUnderTheirCleanNames)
{
    const QByteArray pdf = makeFontTestPDF({{{
        {"ABCDEF+Arial-BoldMT", "TrueType", bytesOfSize(500, 'a'), "/FontFile2", makeToUnicodeCMap({{1, 0x41}})},
        {"Helvetica", "Type1"},
    }}});
    const auto fonts = collectEmbeddedFonts(pdf);
    ASSERT_EQ(fonts.size(), 2u);
    const auto& arial = fonts.at("Arial-BoldMT");
    EXPECT_EQ(arial.cleanPSName, "Arial-BoldMT");
    EXPECT_EQ(arial.subtype, "TrueType");
    ASSERT_TRUE(arial.fontStreamData);
    EXPECT_EQ(*arial.fontStreamData, bytesOfSize(500, 'a'));
    EXPECT_EQ(arial.fontStreamExt, "ttf");
    ASSERT_EQ(arial.toUnicodeStrings.size(), 1);
    EXPECT_TRUE(arial.toUnicodeStrings.first().contains("beginbfchar"));
    const auto& helvetica = fonts.at("Helvetica");
    EXPECT_FALSE(helvetica.fontStreamData);
    EXPECT_EQ(helvetica.fontStreamExt, "ttf");
    EXPECT_TRUE(helvetica.toUnicodeStrings.isEmpty());
}

TEST(PDFFontCollector, NamesTheProgramKinds)
{
    const QByteArray pdf = makeFontTestPDF({{{
        {"CFFFont", "Type1", bytesOfSize(100, 'c'), "/FontFile3"},
        {"TypeOne", "Type1", bytesOfSize(100, 't'), "/FontFile"},
        {"", "Type3", bytesOfSize(100, 'x')},
    }}});
    const auto fonts = collectEmbeddedFonts(pdf);
    ASSERT_EQ(fonts.size(), 2u);
    EXPECT_EQ(fonts.at("CFFFont").fontStreamExt, "otf");
    EXPECT_EQ(fonts.at("TypeOne").fontStreamExt, "pfb");
}

TEST(PDFFontCollector, ReadsCompositeFontsThroughTheirDescendant)
{
    const QByteArray pdf =
        makeFontTestPDF({{{{"QRSTUV+NotoSansCJK-Regular", "Type0", bytesOfSize(300, 'n'), "/FontFile2",
                            makeToUnicodeCMap({{3, 0x4E00}})}}}});
    const auto fonts = collectEmbeddedFonts(pdf);
    ASSERT_EQ(fonts.size(), 1u);
    const auto& entry = fonts.at("NotoSansCJK-Regular");
    EXPECT_EQ(entry.subtype, "Type0");
    ASSERT_TRUE(entry.fontStreamData);
    EXPECT_EQ(entry.fontStreamData->size(), 300);
}

TEST(PDFFontCollector, KeepsTheLargestProgramOfAName)
{
    const QByteArray pdf = makeFontTestPDF({
        {{{"ABCDEF+Foo", "TrueType", bytesOfSize(10000, 'a'), "/FontFile2", makeToUnicodeCMap({{1, 0x41}})}}},
        {{{"GHIJKL+Foo", "TrueType", bytesOfSize(12000, 'b'), "/FontFile2", makeToUnicodeCMap({{2, 0x42}})}}},
        {{{"MNOPQR+Foo", "TrueType", bytesOfSize(12000, 'c')}}},
        {{{"Bar", "TrueType", bytesOfSize(700, 'd')}}},
        {{{"Bar", "TrueType", bytesOfSize(700, 'e')}}},
    });
    const auto fonts = collectEmbeddedFonts(pdf);
    ASSERT_EQ(fonts.size(), 2u);
    EXPECT_EQ(*fonts.at("Foo").fontStreamData, bytesOfSize(12000, 'b'));
    EXPECT_EQ(fonts.at("Foo").toUnicodeStrings.size(), 2);
    EXPECT_TRUE(fonts.at("Foo").toUnicodeStrings.at(1).contains("<0042>"));
    EXPECT_EQ(*fonts.at("Bar").fontStreamData, bytesOfSize(700, 'd'));
}

TEST(PDFFontCollector, FindsFontsInheritedFromThePageTree)
{
    const QByteArray pdf = makeFontTestPDF(
        {{{{"ABCDEF+Inherited", "TrueType", bytesOfSize(64, 'i')}}, FontTestPlacement::inherited}});
    // The page itself has no resources.
    QPDF check;
    check.processMemoryFile("check", pdf.constData(), size_t(pdf.size()));
    auto pages = QPDFPageDocumentHelper(check).getAllPages();
    ASSERT_EQ(pages.size(), 1u);
    EXPECT_FALSE(pages.front().getObjectHandle().hasKey("/Resources"));
    EXPECT_EQ(collectEmbeddedFonts(pdf).count("Inherited"), 1u);
}

TEST(PDFFontCollector, SearchesFormsFourLevelsDeep)
{
    for (int depth = 1; depth <= 6; ++depth) {
        const QByteArray pdf = makeFontTestPDF(
            {{{{"ABCDEF+Nested", "TrueType", bytesOfSize(64, 'n')}}, FontTestPlacement::form, depth}});
        EXPECT_EQ(collectEmbeddedFonts(pdf).count("Nested"), depth <= 4 ? 1u : 0u) << "depth " << depth;
    }
}

TEST(PDFFontCollector, GoesOnPastBrokenStreams)
{
    FontTestPDFFont broken{"Broken", "TrueType", bytesOfSize(200, 'b')};
    broken.damage = FontStreamDamage::brokenFlate;
    FontTestPDFFont unknown{"Unknown", "TrueType", bytesOfSize(200, 'u')};
    unknown.damage = FontStreamDamage::unknownFilter;
    FontTestPDFFont crypt{"Crypt", "TrueType", bytesOfSize(200, 'c')};
    crypt.damage = FontStreamDamage::unknownCryptFilter;
    const QByteArray pdf = makeFontTestPDF({{{broken, unknown, crypt, {"Good", "TrueType", bytesOfSize(200, 'g')}}}});
    const auto fonts = collectEmbeddedFonts(pdf);
    ASSERT_EQ(fonts.count("Good"), 1u);
    EXPECT_EQ(*fonts.at("Good").fontStreamData, bytesOfSize(200, 'g'));
    // qpdf passes the stream of an unknown crypt filter through undecoded in a
    // file without encryption: that program is garbage, which the registry
    // then refuses to register (see PDFEmbeddedFontRegistry tests).
    for (const char* name : {"Broken", "Unknown"}) {
        if (fonts.count(name)) {
            EXPECT_FALSE(fonts.at(name).fontStreamData) << name;
        }
    }
}

TEST(PDFFontCollector, RefusesAbsurdlyLargePrograms)
{
    // Deflates to a few kilobytes, inflates past the registry's limit.
    const QByteArray huge(40 * 1024 * 1024, '\0');
    const QByteArray pdf =
        makeFontTestPDF({{{{"Bomb", "TrueType", huge}, {"After", "TrueType", bytesOfSize(100, 'a')}}}});
    ASSERT_LT(pdf.size(), 1024 * 1024);
    const auto fonts = collectEmbeddedFonts(pdf);
    ASSERT_EQ(fonts.count("Bomb"), 1u);
    EXPECT_FALSE(fonts.at("Bomb").fontStreamData);
    EXPECT_TRUE(fonts.at("After").fontStreamData);
}

TEST(PDFFontCollector, ReadsEncryptedFilesThatOpenWithoutPassword)
{
    const QByteArray pdf = makeFontTestPDF({{{{"ABCDEF+Secret", "TrueType", bytesOfSize(300, 's')}}}});
    const auto open = collectEmbeddedFonts(encryptTestPDF(pdf, "", "owner"));
    ASSERT_EQ(open.count("Secret"), 1u);
    EXPECT_EQ(*open.at("Secret").fontStreamData, bytesOfSize(300, 's'));
    EXPECT_TRUE(collectEmbeddedFonts(encryptTestPDF(pdf, "user", "owner")).empty());
}

TEST(PDFFontCollector, GivesNothingForWhatIsNotAPDF)
{
    EXPECT_TRUE(collectEmbeddedFonts(QByteArray()).empty());
    EXPECT_TRUE(collectEmbeddedFonts("not a pdf at all").empty());
    const QByteArray pdf = makeFontTestPDF({{{{"ABCDEF+Cut", "TrueType", bytesOfSize(300, 's')}}}});
    for (qsizetype length = 0; length < pdf.size(); length += 97)
        (void)collectEmbeddedFonts(pdf.left(length));
}
