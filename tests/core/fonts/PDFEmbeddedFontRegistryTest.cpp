#include "FakeWebFontTransport.h"
#include "TestFonts.h"
#include "core/support/FontTestPDF.h"
#include "core/support/TestPDF.h"

#include "fonts/FontLookup.h"
#include "fonts/PDFEmbeddedFontRegistry.h"
#include "fonts/ScanFaceMatching.h"

#include <QDir>
#include <QFile>
#include <QFontDatabase>
#include <QRawFont>
#include <QTemporaryDir>

using namespace zelvane;
using namespace zelvane::testing;

namespace {

class PDFEmbeddedFontRegistryTest : public FontTestBase {
protected:
    void SetUp() override
    {
        FontTestBase::SetUp();
        if (IsSkipped())
            return;
        ASSERT_TRUE(folders.isValid());
        transport = std::make_shared<FakeWebFontTransport>();
        registry = std::make_unique<PDFEmbeddedFontRegistry>(configuration());
    }

    PDFEmbeddedFontRegistry::Configuration configuration()
    {
        PDFEmbeddedFontRegistry::Configuration c;
        c.persistentCacheDir = folders.filePath("cache/Zelvane/Fonts");
        c.subsetTempDir = folders.filePath("tmp/ZelvaneEmbeddedFonts");
        c.webFontTransport = transport;
        c.webFontHost = "fonts.example.org";
        return c;
    }

    // A subset-like copy of Liberation Sans named after `psName`, family `family`.
    static QByteArray subset(const QString& family, const QString& psName, const QString& characters,
                             const QString& prefix = {})
    {
        TestFontOptions options;
        options.family = family;
        options.postScriptName = psName;
        options.characters = characters;
        options.namePrefix = prefix;
        return makeTestFont(liberationSansRegular(), options);
    }

    static QString psNameOf(const QFont& font) { return fonts::postScriptNameOf(font); }

    static bool fontShows(const QFont& font, const QString& text)
    {
        return fonts::hasCharacters(QRawFont::fromFont(font), text);
    }

    QTemporaryDir folders;
    std::shared_ptr<FakeWebFontTransport> transport;
    std::unique_ptr<PDFEmbeddedFontRegistry> registry;
};

}  // namespace

TEST_F(PDFEmbeddedFontRegistryTest, CreatesItsFolders)
{
    EXPECT_TRUE(QDir(registry->persistentCacheDir()).exists());
    EXPECT_TRUE(QDir(registry->subsetTempDir()).exists());
    EXPECT_TRUE(registry->persistentCacheDir().endsWith("Zelvane/Fonts"));
}

TEST_F(PDFEmbeddedFontRegistryTest, SharedFoldersFollowXDG)
{
    const PDFEmbeddedFontRegistry& shared = PDFEmbeddedFontRegistry::shared();
    EXPECT_EQ(&shared, &PDFEmbeddedFontRegistry::shared());
    EXPECT_TRUE(shared.persistentCacheDir().endsWith("/Zelvane/Fonts"));
    EXPECT_EQ(shared.subsetTempDir(), QDir(QDir::tempPath()).filePath("ZelvaneEmbeddedFonts"));
}

TEST_F(PDFEmbeddedFontRegistryTest, RegistersARepairedTrueTypeSubset)
{
    const QByteArray program = subset("Zelvane Reg Alpha", "ZelvaneRegAlpha-Regular", "Helo wrd", "ABCDEF+");
    const QByteArray pdf = makeFontTestPDF({{{{"ABCDEF+ZelvaneRegAlpha-Regular", "TrueType", program}}}});
    registry->registerFonts(pdf);

    EXPECT_TRUE(registry->hasRegisteredFont(QString("ZelvaneRegAlpha-Regular"), std::nullopt));
    EXPECT_TRUE(registry->hasRegisteredFont(QString("zelvaneregalpha-regular"), std::nullopt));
    // The name table's prefix is hidden, so the family is the clean one.
    EXPECT_TRUE(registry->hasRegisteredFont(std::nullopt, QString("Zelvane Reg Alpha")));
    EXPECT_TRUE(registry->registeredFamilyNames().contains("Zelvane Reg Alpha"));
    EXPECT_TRUE(QFile::exists(QDir(registry->subsetTempDir()).filePath("ZelvaneRegAlpha-Regular.ttf")));
    // Not complete: a subset is not entered as such.
    EXPECT_FALSE(registry->isCompleteSystemOrRegisteredFont("ZelvaneRegAlpha-Regular"));

    const auto font = registry->makeFont(QString("ZelvaneRegAlpha-Regular"), std::nullopt, 20, false, false);
    ASSERT_TRUE(font);
    EXPECT_EQ(psNameOf(*font), "ZelvaneRegAlpha-Regular");
    EXPECT_DOUBLE_EQ(font->pointSizeF(), 20);
    EXPECT_TRUE(fontShows(*font, "Hello world"));
    // The fallback cascade follows the face: a sans face gets Avenir Next's substitutes.
    EXPECT_TRUE(font->families().contains("DejaVu Sans"));
    // The web-font service was asked for the family the PostScript name gives.
    ASSERT_EQ(transport->calls.size(), 1u);
    EXPECT_EQ(transport->calls[0][0].url.query(QUrl::FullyEncoded),
              "family=Zelvane+Reg+Alpha:300,400,500,600,700,800,400i,700i");
}

TEST_F(PDFEmbeddedFontRegistryTest, RegistersEachFileAndEachProgramOnce)
{
    const QByteArray program = subset("Zelvane Reg Once", "ZelvaneRegOnce-Regular", "Helo wrd", "ABCDEF+");
    const FontTestPDFFont font{"ABCDEF+ZelvaneRegOnce-Regular", "TrueType", program};
    const QString written = QDir(registry->subsetTempDir()).filePath("ZelvaneRegOnce-Regular.ttf");
    const QByteArray pdf = makeFontTestPDF({{{font}}});
    registry->registerFonts(pdf);
    ASSERT_TRUE(QFile::remove(written));

    // The same file again, then another file with the same program under
    // the same name: nothing is registered or written again.
    registry->registerFonts(pdf);
    registry->registerFonts(makeFontTestPDF({{{font}}, {{font}, FontTestPlacement::inherited}}));
    EXPECT_FALSE(QFile::exists(written));
    EXPECT_TRUE(registry->hasRegisteredFont(QString("ZelvaneRegOnce-Regular"), std::nullopt));

    // Another program under that name is registered and takes the name;
    // reading the first file again gives the name back to its program.
    const auto shown = [&] {
        const auto made = registry->makeFont(QString("ZelvaneRegOnce-Regular"), std::nullopt, 12, false, false);
        return made && fontShows(*made, "Hello");
    };
    EXPECT_TRUE(shown());
    FontTestPDFFont other = font;
    other.program = subset("Zelvane Reg Once", "ZelvaneRegOnce-Regular", "Other glyphs", "ABCDEF+");
    registry->registerFonts(makeFontTestPDF({{{other}}}));
    EXPECT_TRUE(QFile::exists(written));
    EXPECT_FALSE(shown());
    registry->registerFonts(pdf);
    EXPECT_TRUE(shown());
}

TEST_F(PDFEmbeddedFontRegistryTest, AFileReadAgainGetsItsNamesBackWhateverWasRegisteredInBetween)
{
    const QByteArray program = subset("Zelvane Reg Again", "ZelvaneRegAgain-Regular", "Helo wrd", "ABCDEF+");
    const QByteArray pdf = makeFontTestPDF({{{{"ABCDEF+ZelvaneRegAgain-Regular", "TrueType", program}}}});
    const auto shown = [&] {
        const auto made = registry->makeFont(QString("ZelvaneRegAgain-Regular"), std::nullopt, 12, false, false);
        return made && fontShows(*made, "Hello");
    };
    registry->registerFonts(pdf);
    registry->registerFonts(pdf);
    ASSERT_EQ(transport->calls.size(), 1u);
    ASSERT_TRUE(shown());

    // Another program takes the name outside any file; reading the file
    // again gives the name back to its own program.
    const QByteArray other = subset("Zelvane Reg Again", "ZelvaneRegAgain-Regular", "Other glyphs", "ABCDEF+");
    ASSERT_TRUE(registry->registerFontBinary(other, "ZelvaneRegAgain-Regular", "ttf", false));
    EXPECT_FALSE(shown());
    registry->registerFonts(pdf);
    EXPECT_TRUE(shown());
    registry->registerFonts(pdf);
    EXPECT_TRUE(shown());
    EXPECT_EQ(transport->calls.size(), 1u);
}

TEST_F(PDFEmbeddedFontRegistryTest, RepairsASymbolCharacterMapFromToUnicode)
{
    TestFontOptions options;
    options.family = "Zelvane Reg Symbol";
    options.postScriptName = "ZelvaneRegSymbol";
    options.characters = QStringLiteral("Bonjé");
    options.symbolCharacterMap = true;
    const QByteArray program = makeTestFont(liberationSansRegular(), options);
    const QByteArray toUnicode =
        makeToUnicodeCMap({{'B', 'B'}, {'o', 'o'}, {'n', 'n'}, {'j', 'j'}, {0xE9, 0xE9}});
    registry->registerFonts(makeFontTestPDF({{{{"ABCDEF+ZelvaneRegSymbol", "TrueType", program, "/FontFile2", toUnicode}}}}));

    const auto font = registry->makeFont(QString("ZelvaneRegSymbol"), std::nullopt, 12, false, false);
    ASSERT_TRUE(font);
    EXPECT_TRUE(fontShows(*font, QStringLiteral("Bonjé")));
    EXPECT_FALSE(fontShows(*font, "x"));
}

TEST_F(PDFEmbeddedFontRegistryTest, RepairsACompositeFontByGlyphIndexes)
{
    // The program maps no character at all; the ToUnicode CMap maps CIDs,
    // which are glyph indexes (Identity CIDToGIDMap).
    const QByteArray base = liberationSansRegular();
    TestFontOptions options;
    options.family = "Zelvane Reg CID";
    options.postScriptName = "ZelvaneRegCID-Regular";
    options.characters = QString();
    const QByteArray program = makeTestFont(base, options);
    const auto glyphs = truetype::readCharacterMap(
        {reinterpret_cast<const std::uint8_t*>(base.constData()), std::size_t(base.size())}, 0xFFFF);
    ASSERT_TRUE(glyphs);
    std::vector<std::pair<unsigned, unsigned>> cids;
    for (char16_t c : u"Zelvan")
        if (c)
            cids.push_back({glyphs->at(c), c});
    registry->registerFonts(makeFontTestPDF(
        {{{{"QWERTY+ZelvaneRegCID-Regular", "Type0", program, "/FontFile2", makeToUnicodeCMap(cids)}}}}));

    const auto font = registry->makeFont(QString("ZelvaneRegCID-Regular"), std::nullopt, 12, false, false);
    ASSERT_TRUE(font);
    EXPECT_TRUE(fontShows(*font, "Zelvan"));
    EXPECT_FALSE(fontShows(*font, "Q"));
}

TEST_F(PDFEmbeddedFontRegistryTest, FindsFontsInInheritedResourcesAndNestedForms)
{
    const QByteArray inherited = subset("Zelvane Reg Inherited", "ZelvaneRegInherited", "abc");
    const QByteArray deep = subset("Zelvane Reg Deep", "ZelvaneRegDeep", "abc");
    const QByteArray tooDeep = subset("Zelvane Reg TooDeep", "ZelvaneRegTooDeep", "abc");
    registry->registerFonts(makeFontTestPDF({
        {{{"ABCDEF+ZelvaneRegInherited", "TrueType", inherited}}, FontTestPlacement::inherited},
        {{{"ABCDEF+ZelvaneRegDeep", "TrueType", deep}}, FontTestPlacement::form, 4},
        {{{"ABCDEF+ZelvaneRegTooDeep", "TrueType", tooDeep}}, FontTestPlacement::form, 5},
    }));
    EXPECT_TRUE(registry->hasRegisteredFont(QString("ZelvaneRegInherited"), std::nullopt));
    EXPECT_TRUE(registry->hasRegisteredFont(QString("ZelvaneRegDeep"), std::nullopt));
    EXPECT_FALSE(registry->hasRegisteredFont(QString("ZelvaneRegTooDeep"), std::nullopt));
}

TEST_F(PDFEmbeddedFontRegistryTest, RegistersNothingForBrokenStreamsAndGoesOn)
{
    const QByteArray good = subset("Zelvane Reg Good", "ZelvaneRegGood", "abc");
    FontTestPDFFont broken{"ZelvaneRegBroken", "TrueType", subset("Zelvane Reg Broken", "ZelvaneRegBroken", "abc")};
    broken.damage = FontStreamDamage::brokenFlate;
    FontTestPDFFont unknown{"ZelvaneRegUnknown", "TrueType", subset("Zelvane Reg Unknown", "ZelvaneRegUnknown", "a")};
    unknown.damage = FontStreamDamage::unknownFilter;
    FontTestPDFFont crypt{"ZelvaneRegCrypt", "TrueType", qCompress(subset("Zelvane Reg Crypt", "ZelvaneRegCrypt", "a"))};
    crypt.damage = FontStreamDamage::unknownCryptFilter;
    FontTestPDFFont bomb{"ZelvaneRegBomb", "TrueType", QByteArray(40 * 1024 * 1024, '\0')};
    FontTestPDFFont garbage{"ZelvaneRegGarbage", "TrueType", QByteArray(5000, 'g')};
    FontTestPDFFont tiny{"ZelvaneRegTiny", "TrueType", good.left(32)};
    registry->registerFonts(
        makeFontTestPDF({{{broken, unknown, crypt, bomb, garbage, tiny, {"ZelvaneRegGood", "TrueType", good}}}}));

    EXPECT_TRUE(registry->hasRegisteredFont(QString("ZelvaneRegGood"), std::nullopt));
    for (const char* name : {"ZelvaneRegBroken", "ZelvaneRegUnknown", "ZelvaneRegCrypt", "ZelvaneRegBomb",
                             "ZelvaneRegGarbage", "ZelvaneRegTiny"})
        EXPECT_FALSE(registry->hasRegisteredFont(QString(name), std::nullopt)) << name;
    EXPECT_EQ(registry->registeredFamilyNames(), QStringList{"Zelvane Reg Good"});
}

TEST_F(PDFEmbeddedFontRegistryTest, RegistersFontsOfEncryptedFiles)
{
    const QByteArray program = subset("Zelvane Reg Secret", "ZelvaneRegSecret", "abc");
    const QByteArray pdf = makeFontTestPDF({{{{"ABCDEF+ZelvaneRegSecret", "TrueType", program}}}});
    registry->registerFonts(encryptTestPDF(pdf, "user", "owner"));
    EXPECT_FALSE(registry->hasRegisteredFont(QString("ZelvaneRegSecret"), std::nullopt));
    registry->registerFonts(encryptTestPDF(pdf, "", "owner"));
    EXPECT_TRUE(registry->hasRegisteredFont(QString("ZelvaneRegSecret"), std::nullopt));
}

TEST_F(PDFEmbeddedFontRegistryTest, PrefersInstalledCompleteFaces)
{
    // A subset of an installed face is not registered: the installed one serves.
    const QByteArray program = subset("Liberation Sans", "LiberationSans", "abc");
    registry->registerFonts(makeFontTestPDF({{{{"ABCDEF+LiberationSans", "TrueType", program}}}}));
    EXPECT_FALSE(registry->hasRegisteredFont(QString("LiberationSans"), std::nullopt));
    EXPECT_TRUE(registry->isCompleteSystemOrRegisteredFont("LiberationSans"));
    EXPECT_TRUE(registry->registeredFamilyNames().contains("Liberation Sans"));
    EXPECT_TRUE(transport->calls.empty());
    EXPECT_FALSE(registry->isCompleteSystemOrRegisteredFont("NoSuchFont-Regular"));
    // Families that several foundries install are listed without the foundry.
    if (fonts::installedFamily("Nimbus Sans") == QString("Nimbus Sans")) {
        EXPECT_TRUE(registry->isCompleteSystemOrRegisteredFont("NimbusSans-Bold"));
        EXPECT_TRUE(registry->registeredFamilyNames().contains("Nimbus Sans"));
    }
}

TEST_F(PDFEmbeddedFontRegistryTest, CountsSixtyOfTheProbeGlyphsAsComplete)
{
    const QString probe = QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789éèêàùç");
    for (int count : {59, 60}) {
        const QString family = QStringLiteral("Zelvane Probe %1").arg(count);
        const QString psName = QStringLiteral("ZelvaneProbe%1-Regular").arg(count);
        TestFontOptions options;
        options.family = family;
        options.postScriptName = psName;
        options.characters = probe.left(count);
        ASSERT_FALSE(installTestFont(makeTestFont(liberationSansRegular(), options)).isEmpty());
        EXPECT_EQ(registry->isCompleteSystemOrRegisteredFont(psName), count == 60) << count;
        EXPECT_EQ(registry->registeredFamilyNames().contains(family), count == 60) << count;
    }
}

TEST_F(PDFEmbeddedFontRegistryTest, LoadsCompleteFontsFromTheDiskCache)
{
    const QString cached = QDir(registry->persistentCacheDir()).filePath("ZelvaneRegCached-Regular.ttf");
    TestFontOptions options{"Zelvane Reg Cached", "Regular", "ZelvaneRegCached-Regular"};
    QFile file(cached);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(makeTestFont(liberationSansRegular(), options));
    file.close();
    // A tiny file in the cache is passed over.
    QFile small(QDir(registry->persistentCacheDir()).filePath("ZelvaneRegSmall.ttf"));
    ASSERT_TRUE(small.open(QIODevice::WriteOnly));
    small.write(QByteArray(64, 'x'));
    small.close();

    const QByteArray pdf = makeFontTestPDF({{{
        {"ABCDEF+ZelvaneRegCached-Regular", "TrueType", subset("Zelvane Reg Cached", "ZelvaneRegCached-Regular", "a")},
        {"ABCDEF+ZelvaneRegSmall", "TrueType", subset("Zelvane Reg Small", "ZelvaneRegSmall", "a")},
    }}});
    registry->registerFonts(pdf);
    EXPECT_TRUE(registry->isCompleteSystemOrRegisteredFont("ZelvaneRegCached-Regular"));
    const auto font = registry->makeFont(QString("ZelvaneRegCached-Regular"), std::nullopt, 12, false, false);
    ASSERT_TRUE(font);
    EXPECT_TRUE(fontShows(*font, "The complete face"));
    // Only the family without a cached file went to the web-font service.
    ASSERT_EQ(transport->calls.size(), 1u);
    EXPECT_EQ(transport->calls[0][0].url.query(QUrl::FullyEncoded),
              "family=Zelvane+Reg+Small:300,400,500,600,700,800,400i,700i");
    EXPECT_FALSE(registry->isCompleteSystemOrRegisteredFont("ZelvaneRegSmall"));
}

TEST_F(PDFEmbeddedFontRegistryTest, KeepsTheFamilyKeyOfTheFirstSubsetUntilACompleteFaceComes)
{
    TestFontOptions first{"Zelvane Reg Keys", "Regular", "ZelvaneRegKeys-Regular", QString("abc")};
    TestFontOptions second{"Zelvane Reg Keys", "Bold", "ZelvaneRegKeys-Bold", QString("abc")};
    TestFontOptions complete{"Zelvane Reg Keys", "Italic", "ZelvaneRegKeys-Italic"};
    ASSERT_TRUE(registry->registerFontBinary(makeTestFont(liberationSansRegular(), first), "ZelvaneRegKeys-Regular",
                                             "ttf", false));
    ASSERT_TRUE(registry->registerFontBinary(makeTestFont(liberationSansBold(), second), "ZelvaneRegKeys-Bold", "ttf",
                                             false));
    auto family = registry->makeFont(std::nullopt, QString("Zelvane Reg Keys"), 12, false, false);
    ASSERT_TRUE(family);
    EXPECT_EQ(psNameOf(*family), "ZelvaneRegKeys-Regular");
    // An unregistered PostScript name with a registered family gives the family's program.
    family = registry->makeFont(QString("ZelvaneRegKeys-Black"), QString("Zelvane Reg Keys"), 12, true, false);
    ASSERT_TRUE(family);
    EXPECT_EQ(psNameOf(*family), "ZelvaneRegKeys-Regular");
    EXPECT_EQ(psNameOf(*registry->makeFont(QString("ZelvaneRegKeys-Bold"), std::nullopt, 12, true, false)),
              "ZelvaneRegKeys-Bold");

    ASSERT_TRUE(registry->registerFontBinary(makeTestFont(liberationSansRegular(), complete), "ZelvaneRegKeys-Italic",
                                             "ttf", true));
    EXPECT_TRUE(QFile::exists(QDir(registry->persistentCacheDir()).filePath("ZelvaneRegKeys-Italic.ttf")));
    EXPECT_EQ(psNameOf(*registry->makeFont(std::nullopt, QString("Zelvane Reg Keys"), 12, false, false)),
              "ZelvaneRegKeys-Italic");
    EXPECT_FALSE(registry->makeFont(QString("NoSuch-Font"), QString("No Such Family"), 12, false, false));
    EXPECT_FALSE(registry->makeFont(std::nullopt, std::nullopt, 12, false, false));
}

TEST_F(PDFEmbeddedFontRegistryTest, RegistersNamelessProgramsUnderTheirCleanName)
{
    TestFontOptions options;
    options.withoutNames = true;
    options.characters = QStringLiteral("xyz");
    ASSERT_TRUE(registry->registerFontBinary(makeTestFont(liberationSansRegular(), options), "ZelvaneRegNameless",
                                             "ttf", false));
    EXPECT_TRUE(registry->hasRegisteredFont(QString("ZelvaneRegNameless"), std::nullopt));
    EXPECT_FALSE(registry->registerFontBinary(QByteArray(100, 'z'), "ZelvaneRegJunk", "ttf", false));
    EXPECT_FALSE(registry->hasRegisteredFont(QString("ZelvaneRegJunk"), std::nullopt));
    EXPECT_FALSE(QFile::exists(QDir(registry->subsetTempDir()).filePath("ZelvaneRegJunk.ttf")));
}

TEST_F(PDFEmbeddedFontRegistryTest, TellsProgramsWithoutOutlines)
{
    TestFontOptions options{"Zelvane Glyph Less", "Regular", "ZelvaneGlyphLess"};
    const QByteArray drawn = makeTestFont(liberationSansRegular(), options);
    // The same program with every glyph emptied, as OCR text layers embed.
    QRawFont raw;
    raw.loadFromData(drawn, 12, QFont::PreferNoHinting);
    const QByteArray maxp = raw.fontTable("maxp");
    const QByteArray head = raw.fontTable("head");
    ASSERT_GE(maxp.size(), 6);
    ASSERT_GE(head.size(), 52);
    const int glyphs = (uchar(maxp[4]) << 8) | uchar(maxp[5]);
    const bool longOffsets = head[51] != 0;
    const QByteArray loca(qsizetype(glyphs + 1) * (longOffsets ? 4 : 2), '\0');
    const QByteArray empty = rebuildFont(drawn, {{"glyf", QByteArray(4, '\0')}, {"loca", loca}});
    ASSERT_TRUE(registry->registerFontBinary(empty, "ZelvaneGlyphLess", "ttf", false));
    TestFontOptions other{"Zelvane Glyph Full", "Regular", "ZelvaneGlyphFull"};
    ASSERT_TRUE(registry->registerFontBinary(makeTestFont(liberationSansRegular(), other), "ZelvaneGlyphFull", "ttf",
                                             false));
    EXPECT_TRUE(registry->drawsNoOutlines("ZelvaneGlyphLess"));
    EXPECT_TRUE(registry->drawsNoOutlines("ABCDEF+ZelvaneGlyphLess"));
    EXPECT_FALSE(registry->drawsNoOutlines("ZelvaneGlyphFull"));
    EXPECT_FALSE(registry->drawsNoOutlines("NotRegistered"));

    // A subset that keeps its glyphs' numbers: the first 600 glyphs are
    // empty, the outlines come after them.
    const QByteArray fullLoca = raw.fontTable("loca");
    const qsizetype width = longOffsets ? 4 : 2;
    ASSERT_GT(glyphs, 700);
    QByteArray lateLoca = fullLoca;
    for (int glyph = 1; glyph <= 600; ++glyph)
        lateLoca.replace(glyph * width, width, fullLoca.mid(600 * width, width));
    const QByteArray late = rebuildFont(drawn, {{"loca", lateLoca}});
    QRawFont lateRaw;
    lateRaw.loadFromData(late, 12, QFont::PreferNoHinting);
    ASSERT_TRUE(lateRaw.isValid());
    EXPECT_FALSE(fonts::drawsNoOutlines(lateRaw));
    EXPECT_TRUE(fonts::drawsNoOutlines(QRawFont(empty, 12)));
}
