#include "FakeWebFontTransport.h"
#include "TestFonts.h"

#include "fonts/FontFamilyRenaming.h"
#include "fonts/FontLookup.h"
#include "fonts/PDFEmbeddedFontRegistry.h"
#include "fonts/PDFFontCollector.h"

#include <QFile>
#include <QRawFont>
#include <QTemporaryDir>
#include <QTextLayout>

using namespace zelvane;
using namespace zelvane::testing;

namespace {

class FontIdentityTest : public FontTestBase {
protected:
    void SetUp() override
    {
        FontTestBase::SetUp();
        if (IsSkipped())
            return;
        PDFEmbeddedFontRegistry::Configuration c;
        c.persistentCacheDir = folders.filePath("cache");
        c.subsetTempDir = folders.filePath("subsets");
        c.webFontTransport = std::make_shared<FakeWebFontTransport>();
        registry = std::make_unique<PDFEmbeddedFontRegistry>(c);
    }

    static QByteArray fixture(const char* name)
    {
        return readBinaryFile(QStringLiteral(ZELVANE_TEST_PDF_DIR "/") + QLatin1String(name));
    }

    // How many characters of `text` each program draws, by family.
    static std::map<QString, qsizetype> drawingFamilies(const QFont& font, const QString& text)
    {
        QTextLayout layout(text, font);
        layout.beginLayout();
        layout.createLine();
        layout.endLayout();
        std::map<QString, qsizetype> families;
        for (const QGlyphRun& run : layout.glyphRuns())
            families[run.rawFont().familyName()] += run.glyphIndexes().size();
        return families;
    }

    std::optional<QFont> fontOf(const QString& postScriptName)
    {
        return registry->makeFont(postScriptName, std::nullopt, 12, false, false);
    }

    QTemporaryDir folders;
    std::unique_ptr<PDFEmbeddedFontRegistry> registry;
};

}  // namespace

TEST_F(FontIdentityTest, ProgramsSharingAFamilyAndStyleEachKeepTheirOwnName)
{
    TestFontOptions one;
    one.family = QStringLiteral("Zelvane Shared Design");
    one.postScriptName = QStringLiteral("ZelvaneSharedDesign-Roman");
    TestFontOptions two = one;
    two.postScriptName = QStringLiteral("ZelvaneSharedDesign-Typewriter");
    ASSERT_TRUE(registry->registerFontBinary(makeTestFont(liberationSansRegular(), one), one.postScriptName, "ttf",
                                             false));
    ASSERT_TRUE(registry->registerFontBinary(makeTestFont(liberationSansBold(), two), two.postScriptName, "ttf",
                                             false));
    for (const QString& name : {one.postScriptName, two.postScriptName}) {
        const auto font = fontOf(name);
        ASSERT_TRUE(font);
        EXPECT_EQ(fonts::postScriptNameOf(*font), name);
        EXPECT_EQ(registry->designFamily(name), one.family);
    }
    EXPECT_TRUE(registry->registeredFamilyNames().contains(one.family));
}

TEST_F(FontIdentityTest, ComputerModernProgramsOfPdfTeXAreNotConfused)
{
    const fonts::ExtractedPDFFonts entries = fonts::collectEmbeddedFonts(fixture("pdftex-paper.pdf"));
    ASSERT_EQ(entries.size(), 4u);
    for (const auto& [name, entry] : entries) {
        ASSERT_TRUE(entry.fontStreamData);
        ASSERT_TRUE(registry->registerFontBinary(*entry.fontStreamData, name, entry.fontStreamExt, false)) << qPrintable(name);
        EXPECT_EQ(registry->designFamily(name), QStringLiteral("Computer Modern")) << qPrintable(name);
    }
    // The typewriter program is the only one whose letters all advance alike.
    const auto monospaced = [&](const QString& name) {
        const QRawFont raw = QRawFont::fromFont(*fontOf(name));
        const QList<QPointF> advances = raw.advancesForGlyphIndexes(raw.glyphIndexesForString("im"));
        return advances.size() == 2 && qFuzzyCompare(advances[0].x(), advances[1].x());
    };
    EXPECT_TRUE(monospaced("CMTT10"));
    EXPECT_FALSE(monospaced("CMR10"));
    EXPECT_FALSE(monospaced("CMBX10"));
    EXPECT_FALSE(monospaced("CMTI10"));
    EXPECT_TRUE(QRawFont::fromFont(*fontOf("CMBX10")).weight() > QRawFont::fromFont(*fontOf("CMR10")).weight());
}

TEST_F(FontIdentityTest, ASubsetTakesMissingCharactersFromTheCompleteDesignAndShadowsNothing)
{
    // A subset of Liberation Sans as a PDF embeds it, under the installed
    // family's own names.
    TestFontOptions options;
    options.family = QStringLiteral("Liberation Sans");
    options.postScriptName = QStringLiteral("LiberationSans");
    options.characters = QStringLiteral("abc");
    ASSERT_TRUE(registry->registerFontBinary(makeTestFont(liberationSansRegular(), options), "LiberationSans",
                                             "ttf", false));
    const auto font = fontOf("LiberationSans");
    ASSERT_TRUE(font);
    // "ab" from the subset itself, "xyz" from the installed program.
    const auto families = drawingFamilies(*font, QStringLiteral("abxyz"));
    ASSERT_EQ(families.size(), 2u);
    EXPECT_EQ(families.at(QStringLiteral("Liberation Sans")), 3);
    EXPECT_EQ(families.begin()->first == QStringLiteral("Liberation Sans") ? families.rbegin()->second
                                                                           : families.begin()->second,
              2);
    // The installed family still draws everything itself.
    QFont installed(QStringLiteral("Liberation Sans"));
    EXPECT_TRUE(fonts::hasCharacters(QRawFont::fromFont(installed), QStringLiteral("xyz")));
}

TEST(FontFamilyRenamingTest, ReadsBackAndLeavesOtherFormatsAlone)
{
    const QByteArray font = liberationSansRegular();
    if (font.isEmpty())
        GTEST_SKIP() << "Liberation Sans is not installed";
    const truetype::ByteSpan bytes(reinterpret_cast<const std::uint8_t*>(font.constData()), size_t(font.size()));
    const truetype::Bytes renamed = truetype::withFamilyName(bytes, "Zelvane Renamed 1");
    EXPECT_EQ(truetype::familyName(renamed), "Zelvane Renamed 1");
    EXPECT_EQ(truetype::postScriptName(renamed), "LiberationSans");
    const std::string junk = "not a font at all";
    const truetype::ByteSpan junkBytes(reinterpret_cast<const std::uint8_t*>(junk.data()), junk.size());
    EXPECT_EQ(truetype::withFamilyName(junkBytes, "X"), truetype::Bytes(junk.begin(), junk.end()));
}
