#include "TestFonts.h"

#include "fonts/FontSubstitutions.h"
#include "fonts/PDFEmbeddedFontRegistry.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

#include <atomic>
#include <thread>

using zelvane::PDFEmbeddedFontRegistry;

TEST(FontNames, StripsSubsetPrefixes)
{
    EXPECT_EQ(PDFEmbeddedFontRegistry::stripSubsetPrefix("ABCDEF+Arial-BoldMT"), "Arial-BoldMT");
    EXPECT_EQ(PDFEmbeddedFontRegistry::stripSubsetPrefix("ABCDE+Arial"), "ABCDE+Arial");
    EXPECT_EQ(PDFEmbeddedFontRegistry::stripSubsetPrefix("abcdef+Arial"), "abcdef+Arial");
    EXPECT_EQ(PDFEmbeddedFontRegistry::stripSubsetPrefix("ABCDEF+"), "ABCDEF+");
    EXPECT_EQ(PDFEmbeddedFontRegistry::stripSubsetPrefix("  ABCDEF+Foo\n"), "Foo");
    EXPECT_EQ(PDFEmbeddedFontRegistry::stripSubsetPrefix("ABCDÉF+Foo"), "ABCDÉF+Foo");
    EXPECT_EQ(PDFEmbeddedFontRegistry::stripSubsetPrefix(""), "");
}

TEST(FontNames, ReadsFamilyWeightAndSlantFromPostScriptNames)
{
    auto parsed = PDFEmbeddedFontRegistry::parsePostScriptFontName("ABCDEF+OpenSans-SemiBoldItalic");
    EXPECT_EQ(parsed.family, "Open Sans");
    EXPECT_EQ(parsed.weight, 600);
    EXPECT_TRUE(parsed.italic);
    parsed = PDFEmbeddedFontRegistry::parsePostScriptFontName("Roboto");
    EXPECT_EQ(parsed.family, "Roboto");
    EXPECT_EQ(parsed.weight, 400);
    EXPECT_FALSE(parsed.italic);
    EXPECT_EQ(PDFEmbeddedFontRegistry::parsePostScriptFontName("Lato-Hairline").weight, 100);
    EXPECT_EQ(PDFEmbeddedFontRegistry::parsePostScriptFontName("TimesNewRomanPSMT").family, "Times New Roman PSMT");
    EXPECT_EQ(PDFEmbeddedFontRegistry::parsePostScriptFontName("ABCSans-Bold").family, "ABC Sans");
    EXPECT_EQ(PDFEmbeddedFontRegistry::parsePostScriptFontName("Font3D2-Bold").family, "Font3D2");
    EXPECT_EQ(PDFEmbeddedFontRegistry::parsePostScriptFontName("Foo-ExtraBold").weight, 800);
    EXPECT_EQ(PDFEmbeddedFontRegistry::parsePostScriptFontName("Foo-Black").weight, 900);
    EXPECT_EQ(PDFEmbeddedFontRegistry::parsePostScriptFontName("Foo-UltraLight").weight, 200);
    EXPECT_EQ(PDFEmbeddedFontRegistry::parsePostScriptFontName("Foo-LightOblique").weight, 300);
    EXPECT_TRUE(PDFEmbeddedFontRegistry::parsePostScriptFontName("Foo-LightOblique").italic);
    EXPECT_EQ(PDFEmbeddedFontRegistry::parsePostScriptFontName("Foo-Medium").weight, 500);
    // Split at the first "-" only; leading ones are dropped.
    EXPECT_EQ(PDFEmbeddedFontRegistry::parsePostScriptFontName("--Foo-Bold-Italic").family, "Foo");
    EXPECT_TRUE(PDFEmbeddedFontRegistry::parsePostScriptFontName("--Foo-Bold-Italic").italic);
    EXPECT_EQ(PDFEmbeddedFontRegistry::parsePostScriptFontName("---").family, "");
    EXPECT_EQ(PDFEmbeddedFontRegistry::parsePostScriptFontName("").family, "");
}

TEST(FontNames, ChoosesTheFallbackFace)
{
    EXPECT_EQ(PDFEmbeddedFontRegistry::cascadeFallbackFaceName("TimesNewRomanPS-BoldMT", true, false), "Georgia-Bold");
    EXPECT_EQ(PDFEmbeddedFontRegistry::cascadeFallbackFaceName("Helvetica-Light", false, false), "AvenirNext-Regular");
    EXPECT_EQ(PDFEmbeddedFontRegistry::cascadeFallbackFaceName("Montserrat-SemiBold", true, true),
              "AvenirNext-DemiBoldItalic");
    EXPECT_EQ(PDFEmbeddedFontRegistry::cascadeFallbackFaceName("Montserrat-SemiBold", false, false),
              "AvenirNext-DemiBold");
    EXPECT_EQ(PDFEmbeddedFontRegistry::cascadeFallbackFaceName("Foo-Medium", false, true), "AvenirNext-MediumItalic");
    EXPECT_EQ(PDFEmbeddedFontRegistry::cascadeFallbackFaceName("NotoSerif", true, true), "Georgia-BoldItalic");
    EXPECT_EQ(PDFEmbeddedFontRegistry::cascadeFallbackFaceName("", false, true), "AvenirNext-Italic");
}

TEST(FontSubstitutions, OffersFreeFamiliesForNonFreeOnes)
{
    using zelvane::fonts::substituteFamilies;
    EXPECT_EQ(substituteFamilies("Arial").first(), "Arial");
    EXPECT_EQ(substituteFamilies("Arial").at(1), "Liberation Sans");
    EXPECT_EQ(substituteFamilies("times new roman").at(1), "Liberation Serif");
    EXPECT_EQ(substituteFamilies("Courier New").at(1), "Liberation Mono");
    EXPECT_EQ(substituteFamilies("Helvetica Neue").at(1), "Nimbus Sans");
    EXPECT_EQ(substituteFamilies("Courier").at(1), "Nimbus Mono PS");
    EXPECT_TRUE(substituteFamilies("Georgia").contains("DejaVu Serif"));
    EXPECT_TRUE(substituteFamilies("Avenir Next").contains("DejaVu Sans"));
    EXPECT_EQ(substituteFamilies("Zelvane Unknown"), QStringList{"Zelvane Unknown"});
}

namespace {

class RegistryThreadsTest : public zelvane::testing::FontTestBase {};

}  // namespace

TEST_F(RegistryThreadsTest, AnswersLookupsWhileRegistering)
{
    QTemporaryDir folders;
    PDFEmbeddedFontRegistry::Configuration c;
    c.persistentCacheDir = folders.filePath("cache");
    c.subsetTempDir = folders.filePath("tmp");
    PDFEmbeddedFontRegistry registry(c);
    std::atomic<bool> done{false};
    std::atomic<int> lookups{0};
    std::vector<std::thread> readers;
    for (int i = 0; i < 3; ++i) {
        readers.emplace_back([&] {
            while (!done) {
                (void)registry.hasRegisteredFont(QString("ZelvaneThreads0"), QString("Zelvane Threads"));
                (void)registry.registeredFamilyNames();
                ++lookups;
            }
        });
    }
    for (int i = 0; i < 4; ++i) {
        zelvane::testing::TestFontOptions options;
        options.family = "Zelvane Threads";
        options.postScriptName = QString("ZelvaneThreads%1").arg(i);
        options.characters = QString("abc");
        EXPECT_TRUE(registry.registerFontBinary(
            zelvane::testing::makeTestFont(zelvane::testing::liberationSansRegular(), options), options.postScriptName,
            "ttf", false));
    }
    done = true;
    for (std::thread& reader : readers)
        reader.join();
    EXPECT_GT(lookups.load(), 0);
    EXPECT_TRUE(registry.hasRegisteredFont(QString("ZelvaneThreads3"), std::nullopt));
    EXPECT_EQ(registry.registeredFamilyNames(), QStringList{"Zelvane Threads"});
}
