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
