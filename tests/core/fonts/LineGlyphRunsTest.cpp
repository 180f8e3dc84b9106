#include "TestFonts.h"

#include "fonts/FontLookup.h"
#include "fonts/SyntheticAccents.h"

#include <QFontDatabase>
#include <QGlyphRun>
#include <QTextLayout>

using namespace zelvane;
using namespace zelvane::testing;

namespace {

class LineGlyphRunsTest : public FontTestBase {};

// Lines of the kinds the editor lays out: Latin with and without accents,
// other alphabets, letters ligatures and kerning join, spaces, digits and
// punctuation, and characters no font of the line has.
const QStringList& sampleLines()
{
    static const QStringList lines = {
        QStringLiteral("EDITED The quick brown fox jumps over the lazy dog."),
        QStringLiteral("office affluent flat fifty stiff first staff waffle ffl ffi st"),
        QStringLiteral("AV To Wa Yo LT P. F, Ty VA AT Te"),
        QStringLiteral("Été à côté, naïve façade; Œuvre — « déjà » ÀÉÎÕÜ"),
        QStringLiteral("Αλφάβητο ελληνικό και Кириллица: съешь же ещё этих"),
        QStringLiteral("  two  spaces\tand tab  "),
        QStringLiteral("0123456789 +-*/=<>()[]{} 3.14 1,000 50% $5 €7 #1 @x"),
        QStringLiteral("groff(1) -man -Tps \u2212\u2010 \u2018quoted\u2019 \u201cdouble\u201d \u2026 \u2022"),
        QStringLiteral("x\u0301 e\u0308 mixed \u4e2d\u6587 and \u05e9\u05dc\u05d5\u05dd right"),
        QStringLiteral("f"),
        QStringLiteral("st"),
    };
    return lines;
}

// The runs of `layout` from Qt and from lineGlyphRuns: one run for every
// font, alike in glyphs, places and bounds.
void expectSameRuns(const QTextLayout& layout, const std::string& what)
{
    const QList<QGlyphRun> qt = layout.glyphRuns();
    const QList<QGlyphRun> ours = PDFCodec::lineGlyphRuns(layout);
    ASSERT_EQ(ours.size(), qt.size()) << what;
    for (const QGlyphRun& run : ours) {
        const auto same = std::find_if(qt.begin(), qt.end(), [&](const QGlyphRun& other) {
            return other.rawFont() == run.rawFont() && other.flags() == run.flags();
        });
        ASSERT_NE(same, qt.end()) << what;
        EXPECT_EQ(run.glyphIndexes(), same->glyphIndexes()) << what;
        EXPECT_EQ(run.positions(), same->positions()) << what;
        EXPECT_EQ(run.boundingRect(), same->boundingRect()) << what;
    }
}

}  // namespace

TEST_F(LineGlyphRunsTest, GivesQtsGlyphsAndPlacesForEveryLineAndFont)
{
    // A subset without most letters: the fonts filling in for it draw them.
    TestFontOptions options;
    options.family = QStringLiteral("Zelvane Runs Subset");
    options.postScriptName = QStringLiteral("ZelvaneRunsSubset");
    options.characters = QStringLiteral("abcdefhilnorstTEO .,");
    ASSERT_EQ(installTestFont(makeTestFont(liberationSansRegular(), options)), options.family);

    struct Face {
        QString family;
        bool bold;
        bool italic;
    };
    std::vector<Face> faces = {{QStringLiteral("Zelvane Runs Subset"), false, false}};
    for (const QString& family : {QStringLiteral("DejaVu Serif"), QStringLiteral("DejaVu Sans"),
                                  QStringLiteral("DejaVu Sans Mono"), QStringLiteral("Nimbus Roman"),
                                  QStringLiteral("Nimbus Sans"), QStringLiteral("Nimbus Mono PS"),
                                  QStringLiteral("Liberation Serif"), QStringLiteral("C059")}) {
        if (QFontDatabase::hasFamily(family)) {
            faces.push_back({family, false, false});
            faces.push_back({family, true, false});
            faces.push_back({family, false, true});
        }
    }
    ASSERT_GE(faces.size(), 4u) << "too few fonts installed to compare";

    int multiFont = 0;
    for (const Face& face : faces) {
        const QFont font = fonts::makeFont({face.family}, 9.5, face.bold, face.italic);
        for (const QString& line : sampleLines()) {
            for (const bool withoutLigatures : {true, false}) {
                for (const double kern : {0.0, 0.35}) {
                    const auto layout = PDFCodec::layOutLine(line, font, kern, withoutLigatures);
                    const std::string what = face.family.toStdString() + (face.bold ? " bold" : "")
                                             + (face.italic ? " italic" : "") + ": " + line.toStdString();
                    expectSameRuns(*layout, what);
                    multiFont += layout->glyphRuns().size() > 1;
                }
            }
        }
    }
    // The lines drawn by more than one font are the ones joined here.
    EXPECT_GT(multiFont, 20);
}

TEST_F(LineGlyphRunsTest, JoinsEachFontsPiecesInTheOrderOfTheLine)
{
    TestFontOptions options;
    options.family = QStringLiteral("Zelvane Runs Vowels");
    options.postScriptName = QStringLiteral("ZelvaneRunsVowels");
    options.characters = QStringLiteral("aeiou ");
    ASSERT_EQ(installTestFont(makeTestFont(liberationSansRegular(), options)), options.family);
    const QFont font = fonts::makeFont({options.family}, 12, false, false);

    // Cut after every f and between s and t: many pieces, two fonts.
    const QString line = QStringLiteral("a fast staff of fifty stout friends");
    const auto layout = PDFCodec::layOutLine(line, font, 0, true);
    const QList<QGlyphRun> runs = PDFCodec::lineGlyphRuns(*layout);
    ASSERT_EQ(runs.size(), 2);
    // The line's own font draws its first glyph, so its run comes first.
    EXPECT_EQ(runs[0].rawFont(), fonts::rawFontOf(fonts::layoutFont(font, 0)));
    EXPECT_EQ(runs[0].glyphIndexes().size() + runs[1].glyphIndexes().size(), line.size());
    for (const QGlyphRun& run : runs) {
        const QList<QPointF> places = run.positions();
        EXPECT_TRUE(std::is_sorted(places.begin(), places.end(),
                                   [](const QPointF& a, const QPointF& b) { return a.x() < b.x(); }));
    }
    expectSameRuns(*layout, line.toStdString());
}

namespace {

// A face of Liberation Sans named `family` with only `characters` (all when
// absent), without its tables of substitutions, positioning and kerning when
// `plain`: as the faces of fonts embedded in PDF files come.
QFont testFace(const QString& family, std::optional<QString> characters, bool plain, double size = 9.5)
{
    TestFontOptions options;
    options.family = family;
    options.postScriptName = QString(family).remove(' ');
    options.characters = characters;
    QByteArray font = makeTestFont(liberationSansRegular(), options);
    if (plain)
        font = rebuildFont(font, {}, {"GSUB", "GPOS", "GDEF", "kern"});
    EXPECT_EQ(installTestFont(font), family);
    return fonts::makeFont({family}, size, false, false);
}

// The same glyphs at the same places, and the same cursor places, whether
// the line is laid out with every cut or without those that change nothing.
void expectCutsChangeNothing(const QString& text, const QFont& font, double kern, const std::string& what)
{
    PDFCodec::makeEveryLigatureCut(true);
    const auto every = PDFCodec::layOutLine(text, font, kern, true);
    PDFCodec::makeEveryLigatureCut(false);
    const auto fewer = PDFCodec::layOutLine(text, font, kern, true);
    const QList<QGlyphRun> expected = every->glyphRuns();
    const QList<QGlyphRun> actual = fewer->glyphRuns();
    ASSERT_EQ(actual.size(), expected.size()) << what;
    for (const QGlyphRun& run : actual) {
        const auto same = std::find_if(expected.begin(), expected.end(),
                                       [&](const QGlyphRun& other) {
                                           return other.rawFont() == run.rawFont() && other.flags() == run.flags();
                                       });
        ASSERT_NE(same, expected.end()) << what;
        EXPECT_EQ(run.glyphIndexes(), same->glyphIndexes()) << what;
        EXPECT_EQ(run.positions(), same->positions()) << what;
    }
    for (int k = 0; k <= text.size(); ++k) {
        EXPECT_EQ(fewer->lineAt(0).cursorToX(k), every->lineAt(0).cursorToX(k)) << what << " at " << k;
        EXPECT_EQ(fewer->isValidCursorPosition(k), every->isValidCursorPosition(k)) << what << " at " << k;
    }
}

}  // namespace

TEST_F(LineGlyphRunsTest, LeavingOutCutsThatChangeNothingKeepsEveryGlyphAndPlace)
{
    const QStringList extra = {
        QStringLiteral("office fifty affine stiff staff; first last ffi ffl ft fj"),
        QStringLiteral("EDITED groff -man foo.1 | less -R \u2014 st. ST fT Ft \u2212\u2212file \u2212f"),
        QStringLiteral("Wafer Tofu AVAST f.f,f;f:f!f?f)f]f'f\"f-f f"),
        QStringLiteral("\u00e9t\u00e9 caf\u00e9 na\u00efve \u00c0 la fa\u00e7ade st\u00e9r\u00e9o"),
    };
    std::vector<std::pair<std::string, QFont>> faces = {
        // Faces that shape each character alone, whole and cut down: the
        // fonts filling in for the letters they lack have ligatures and kerning.
        {"plain", testFace(QStringLiteral("Zelvane Cuts Plain"), std::nullopt, true)},
        {"plain subset", testFace(QStringLiteral("Zelvane Cuts Plain Subset"), QStringLiteral("aeoinrtl sdEDT"), true)},
        {"plain without f", testFace(QStringLiteral("Zelvane Cuts Plain No F"), QStringLiteral("aeoinrtls TDE.,"), true)},
        {"plain f only", testFace(QStringLiteral("Zelvane Cuts Plain F"), QStringLiteral("fF "), true)},
        // Faces with ligatures and kerning keep every cut.
        {"full", testFace(QStringLiteral("Zelvane Cuts Full"), std::nullopt, false)},
        {"full subset", testFace(QStringLiteral("Zelvane Cuts Full Subset"), QStringLiteral("aeoist f"), false)},
    };
    for (const QString& family : {QStringLiteral("DejaVu Sans"), QStringLiteral("Nimbus Roman")}) {
        if (QFontDatabase::hasFamily(family))
            faces.push_back({family.toStdString(), fonts::makeFont({family}, 11, false, false)});
    }
    for (const auto& [name, font] : faces) {
        for (const QString& line : sampleLines() + extra) {
            for (const double kern : {0.0, 0.4})
                expectCutsChangeNothing(line, font, kern, name + ": " + line.toStdString());
        }
    }
}

TEST_F(LineGlyphRunsTest, OnlyTheLettersThemselvesHaveFSOrTAsTheirLowerCase)
{
    // A line without ligatures is cut after "f" and between "s" and "t" of
    // either case, found by their codes alone: no other character's lower
    // case is one of these letters.
    for (char32_t u = 0; u <= 0x10FFFF; ++u) {
        const char32_t lower = QChar::toLower(u);
        for (const char32_t letter : {U'f', U's', U't'})
            EXPECT_EQ(lower == letter, u == letter || u == letter - 0x20) << std::hex << quint32(u);
    }
}
