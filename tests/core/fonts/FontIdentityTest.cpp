#include "FakeWebFontTransport.h"
#include "TestFonts.h"

#include "fonts/FontFamilyRenaming.h"
#include "fonts/FontLookup.h"
#include "fonts/PDFEmbeddedFontRegistry.h"
#include "fonts/PDFFontCollector.h"
#include "fonts/SyntheticAccents.h"

#include <QFile>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QRawFont>
#include <QTemporaryDir>
#include <QTextLayout>

#include <algorithm>
#include <functional>
#include <limits>

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

namespace {

// The decoded font programs of a PDF's streams whose dictionary says `subtype`
// ("/CIDFontType0C"); the fixtures' streams are Flate-compressed.
QList<QByteArray> fontStreams(const QByteArray& pdf, const QByteArray& subtype)
{
    QList<QByteArray> programs;
    for (qsizetype at = pdf.indexOf("/Subtype " + subtype); at >= 0; at = pdf.indexOf("/Subtype " + subtype, at + 1)) {
        const qsizetype start = pdf.indexOf("stream", at);
        const qsizetype end = pdf.indexOf("endstream", start);
        if (start < 0 || end < 0)
            break;
        qsizetype data = start + 6;
        while (pdf[data] == '\r' || pdf[data] == '\n')
            ++data;
        QByteArray framed("\x00\x10\x00\x00", 4);  // room for 1 MiB
        framed += pdf.mid(data, end - data);
        programs.append(qUncompress(framed));
    }
    return programs;
}

QRawFont loaded(const QByteArray& program)
{
    QRawFont font;
    font.loadFromData(program, 12, QFont::PreferNoHinting);
    return font;
}

}  // namespace

TEST_F(FontIdentityTest, EveryEmbeddedFormatCanBeRenamed)
{
    // Type 1 (pdfTeX), bare CFF (Ghostscript, cairo) and cairo's CID-keyed CFF.
    QList<QByteArray> programs;
    for (const char* name : {"pdftex-paper.pdf", "groff-memo.pdf", "cairo-memo.pdf"}) {
        for (const auto& [key, entry] : fonts::collectEmbeddedFonts(fixture(name)))
            programs.append(*entry.fontStreamData);
    }
    const QList<QByteArray> cidKeyed = fontStreams(fixture("cairo-memo.pdf"), "/CIDFontType0C");
    ASSERT_EQ(cidKeyed.size(), 3);
    programs += cidKeyed;
    for (const QByteArray& program : programs) {
        const QRawFont before = loaded(program);
        ASSERT_TRUE(before.isValid());
        const truetype::ByteSpan bytes(reinterpret_cast<const std::uint8_t*>(program.constData()),
                                       size_t(program.size()));
        const truetype::Bytes renamed = truetype::withFamilyName(bytes, "Zelvane Renamed Program");
        const QRawFont after =
            loaded(QByteArray(reinterpret_cast<const char*>(renamed.data()), qsizetype(renamed.size())));
        ASSERT_TRUE(after.isValid()) << qPrintable(before.familyName());
        EXPECT_EQ(after.familyName(), QStringLiteral("Zelvane Renamed Program")) << qPrintable(before.familyName());
        // The same glyphs with the same outlines and advances.
        QList<quint32> glyphs;
        for (quint32 glyph = 1; glyph < 12; ++glyph)
            glyphs.append(glyph);
        EXPECT_EQ(after.advancesForGlyphIndexes(glyphs), before.advancesForGlyphIndexes(glyphs));
        for (quint32 glyph : glyphs)
            EXPECT_EQ(after.pathForGlyph(glyph), before.pathForGlyph(glyph)) << glyph;
    }
}

TEST_F(FontIdentityTest, ASubsetHoldingOnlyTheLigatureDrawsItsOwnGlyph)
{
    // pdfTeX's bold subset holds "ffi" only as the ligature it printed.
    for (const auto& [name, entry] : fonts::collectEmbeddedFonts(fixture("pdftex-paper.pdf")))
        ASSERT_TRUE(registry->registerFontBinary(*entry.fontStreamData, name, entry.fontStreamExt, false));
    const QFont bold = *fontOf("CMBX10");
    const QRawFont face = QRawFont::fromFont(bold);
    ASSERT_FALSE(fonts::hasCharacters(face, QStringLiteral("f")));
    ASSERT_TRUE(fonts::hasCharacters(face, QStringLiteral("o\uFB03ce")));
    const auto drawn = [&](const QString& text) {
        QImage image(200, 40, QImage::Format_RGB32);
        image.fill(Qt::white);
        QPainter painter(&image);
        PDFCodec::drawTextLine(painter, text, QPointF(10, 30), bold, 0, Qt::black, TextAlignmentMode::left, 180);
        return image;
    };
    EXPECT_EQ(drawn(QStringLiteral("office")), drawn(QStringLiteral("o\uFB03ce")));
}

TEST_F(FontIdentityTest, ALineOverItsPrintDrawnWithTheSubsetsLigatureKeepsEveryWordAtItsPrintedPlace)
{
    // On pixels "ffi" is drawn with the subset's own ligature glyph: one
    // drawn unit for three of the text, and the words after it must still
    // take their own printed places, not those of the units before them.
    for (const auto& [name, entry] : fonts::collectEmbeddedFonts(fixture("pdftex-paper.pdf")))
        ASSERT_TRUE(registry->registerFontBinary(*entry.fontStreamData, name, entry.fontStreamExt, false));
    const QFont bold = *fontOf("CMBX10");
    const QRawFont face = QRawFont::fromFont(bold);
    QStringList words{QStringLiteral("office")};
    for (const char* word : {"is", "on", "in", "a", "the", "to", "and", "case", "code", "no"}) {
        if (fonts::hasCharacters(face, QLatin1String(word)))
            words.append(QLatin1String(word));
    }
    ASSERT_GE(words.size(), 3);
    words = words.mid(0, 3);
    const QString text = words.join(QLatin1Char(' '));
    const QString drawn = QString(text).replace(QStringLiteral("ffi"), QString(QChar(0xFB03)));
    ASSERT_EQ(drawn.size(), text.size() - 2);
    // The print sets each word 12 points further right than a plain layout
    // of the drawn text puts it.
    const auto plain = PDFCodec::layOutLine(drawn, bold, 0, true);
    const auto drawnUnit = [](qsizetype i) { return i <= 1 ? i : i <= 3 ? 1 : i - 2; };
    PDFCodec::PrintedLine printed{text, {}};
    QList<double> wordStarts;
    qsizetype word = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == QLatin1Char(' ')) {
            ++word;
            printed.x.append(std::numeric_limits<double>::quiet_NaN());
            continue;
        }
        const double x = plain->lineAt(0).cursorToX(int(drawnUnit(i))) + 12.0 * double(word);
        if (i == 0 || text[i - 1] == QLatin1Char(' '))
            wordStarts.append(x);
        printed.x.append(x);
    }
    ASSERT_EQ(wordStarts.size(), words.size());
    // Which columns hold ink when the line is drawn over its print, and when
    // each word is drawn alone at its printed place.
    const auto inkColumns = [](const std::function<void(QPainter&)>& draw) {
        QImage image(900, 120, QImage::Format_RGB32);
        image.fill(Qt::white);
        {
            QPainter painter(&image);
            painter.scale(3, 3);
            draw(painter);
        }
        QList<bool> columns(image.width(), false);
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                columns[x] = columns[x] || qGray(image.pixel(x, y)) < 128;
        return columns;
    };
    const QList<bool> line = inkColumns([&](QPainter& painter) {
        PDFCodec::drawTextLine(painter, text, QPointF(10, 30), bold, 0, Qt::black, TextAlignmentMode::left, 280,
                               &printed);
    });
    const QList<bool> alone = inkColumns([&](QPainter& painter) {
        for (qsizetype w = 0; w < words.size(); ++w)
            PDFCodec::drawTextLine(painter, words[w], QPointF(10 + wordStarts[w], 30), bold, 0, Qt::black,
                                   TextAlignmentMode::left, 280);
    });
    ASSERT_GT(std::count(alone.begin(), alone.end(), true), 20);
    qsizetype differing = 0;
    for (qsizetype x = 1; x + 1 < line.size(); ++x) {
        // A column off by one on a letter's edge is antialiasing.
        if (line[x] != alone[x] && line[x] != alone[x - 1] && line[x] != alone[x + 1])
            ++differing;
    }
    EXPECT_EQ(differing, 0);
}
