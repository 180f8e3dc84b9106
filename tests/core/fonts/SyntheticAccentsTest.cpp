#include "TestFonts.h"

#include "fonts/FontLookup.h"
#include "fonts/SyntheticAccents.h"
#include "pdf/PDFDocument.h"

#include <QBuffer>
#include <QFontMetricsF>
#include <QImage>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QRegularExpression>
#include <QTextLayout>

#include <limits>

using namespace zelvane;
using namespace zelvane::testing;
using PDFCodec::SyntheticAccentKind;

namespace {

class SyntheticAccentsTest : public FontTestBase {
protected:
    // A face of Liberation Sans that shows only `characters` (all when absent).
    static QFont fontWith(const QString& family, std::optional<QString> characters, double size = 20,
                          std::optional<std::uint16_t> xHeight = std::nullopt)
    {
        TestFontOptions options;
        options.family = family;
        options.postScriptName = QString(family).remove(' ');
        options.characters = characters;
        options.xHeight = xHeight;
        const QString installed = installTestFont(makeTestFont(liberationSansRegular(), options));
        EXPECT_EQ(installed, family);
        return fonts::makeFont({family}, size, false, false);
    }

    static double capHeightOf(const QFont& font) { return QFontMetricsF(fonts::layoutFont(font, 0)).capHeight(); }
    static double xHeightOf(const QFont& font) { return QFontMetricsF(fonts::layoutFont(font, 0)).xHeight(); }

    // Bounds of the dark pixels of an image.
    static QRect ink(const QImage& image)
    {
        QRect box;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                if (qGray(image.pixel(x, y)) < 160)
                    box |= QRect(x, y, 1, 1);
        return box;
    }
};

}  // namespace

TEST_F(SyntheticAccentsTest, CoversTheFrenchLetters)
{
    EXPECT_EQ(PDFCodec::syntheticAccentFor(QStringLiteral("É")), std::make_pair(QString("E"), SyntheticAccentKind::acute));
    EXPECT_EQ(PDFCodec::syntheticAccentFor(QStringLiteral("ç")), std::make_pair(QString("c"), SyntheticAccentKind::cedilla));
    EXPECT_EQ(PDFCodec::syntheticAccentFor(QStringLiteral("Ï")),
              std::make_pair(QString("I"), SyntheticAccentKind::diaeresis));
    for (const QString& letter : {QStringLiteral("á"), QStringLiteral("ñ"), QStringLiteral("ÿ"), QStringLiteral("e")})
        EXPECT_FALSE(PDFCodec::syntheticAccentFor(letter)) << letter.toStdString();
}

TEST_F(SyntheticAccentsTest, LeavesTextTheFontHasAlone)
{
    const QFont font = fontWith("Zelvane Accent Full", std::nullopt);
    const auto adapted = PDFCodec::adaptStringForSubsetFont(QStringLiteral("Été"), font, 0);
    EXPECT_EQ(adapted.adapted, QStringLiteral("Été"));
    EXPECT_TRUE(adapted.accents.isEmpty());
    EXPECT_EQ(PDFCodec::adaptStringForSubsetFont("", font, 0).adapted, "");
}

TEST_F(SyntheticAccentsTest, WritesTheBaseLetterAndPlacesTheAccent)
{
    const QFont font = fontWith("Zelvane Accent Ete", QStringLiteral("Ete"));
    const auto adapted = PDFCodec::adaptStringForSubsetFont(QStringLiteral("Été"), font, 0);
    EXPECT_EQ(adapted.adapted, "Ete");
    // Both É and é are missing: two accents, on the capital and on the small e.
    ASSERT_EQ(adapted.accents.size(), 2);
    EXPECT_DOUBLE_EQ(adapted.accents[1].capTopY, -xHeightOf(font));
    const auto& accent = adapted.accents[0];
    EXPECT_EQ(accent.kind, SyntheticAccentKind::acute);
    EXPECT_DOUBLE_EQ(accent.capTopY, -capHeightOf(font));
    EXPECT_DOUBLE_EQ(accent.capHeight, capHeightOf(font));
    EXPECT_EQ(accent.baselineY, 0);
    // Centred on the E: Liberation Sans' E advances 1366 units of 2048.
    EXPECT_NEAR(accent.centerX, 0.5 * 1366 * 20.0 / 2048, 0.05);

    // A small letter's accent sits on the x-height; kerning moves the centres.
    const auto small = PDFCodec::adaptStringForSubsetFont(QStringLiteral("tée"), font, 3);
    EXPECT_EQ(small.adapted, "tee");
    ASSERT_EQ(small.accents.size(), 1);
    EXPECT_DOUBLE_EQ(small.accents[0].capTopY, -xHeightOf(font));
    EXPECT_NEAR(small.accents[0].centerX, (569 + 0.5 * 1139) * 20.0 / 2048 + 3 + 1.5, 0.05);
}

TEST_F(SyntheticAccentsTest, WritesCapitalsInACapitalsOnlySubset)
{
    const QFont font = fontWith("Zelvane Accent Capitals", QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZ"));
    const auto adapted = PDFCodec::adaptStringForSubsetFont(QStringLiteral("été"), font, 0);
    EXPECT_EQ(adapted.adapted, "ETE");
    ASSERT_EQ(adapted.accents.size(), 2);
    EXPECT_DOUBLE_EQ(adapted.accents[0].capTopY, -capHeightOf(font));
    EXPECT_DOUBLE_EQ(adapted.accents[1].capTopY, -capHeightOf(font));
    EXPECT_LT(adapted.accents[0].centerX, adapted.accents[1].centerX);
    const auto plain = PDFCodec::adaptStringForSubsetFont("ab", font, 0);
    EXPECT_EQ(plain.adapted, "AB");
    EXPECT_TRUE(plain.accents.isEmpty());
}

TEST_F(SyntheticAccentsTest, UsesCapHeightWhenTheXHeightIsTiny)
{
    const QFont font = fontWith("Zelvane Accent Flat", QStringLiteral("Eet"), 20, 1);
    ASSERT_LE(xHeightOf(font), 2.0);
    const auto adapted = PDFCodec::adaptStringForSubsetFont(QStringLiteral("è"), font, 0);
    EXPECT_EQ(adapted.adapted, "e");
    ASSERT_EQ(adapted.accents.size(), 1);
    EXPECT_EQ(adapted.accents[0].kind, SyntheticAccentKind::grave);
    EXPECT_DOUBLE_EQ(adapted.accents[0].capTopY, -capHeightOf(font) * 0.72);
}

TEST_F(SyntheticAccentsTest, EmitsLettersOutsideTheTableUnchanged)
{
    const QFont font = fontWith("Zelvane Accent Nene", QStringLiteral("nE"));
    const auto adapted = PDFCodec::adaptStringForSubsetFont(QStringLiteral("ñnÉ"), font, 0);
    EXPECT_EQ(adapted.adapted, QStringLiteral("ñnE"));
    ASSERT_EQ(adapted.accents.size(), 1);

    // Letters written with a combining accent stay one character (an É with
    // one more accent is not in the table), a carriage return before a line
    // feed too; letters in the table around them still take their drawn
    // accents, each over its own base letter.
    const QString combined = QStringLiteral("Én\u0301\r\nÉ\u0301\rÉ");
    const auto mixed = PDFCodec::adaptStringForSubsetFont(combined, font, 0);
    EXPECT_EQ(mixed.adapted, QStringLiteral("En\u0301\r\nÉ\u0301\rE"));
    ASSERT_EQ(mixed.accents.size(), 2);
    EXPECT_LT(mixed.accents[0].centerX, mixed.accents[1].centerX);
    const auto simple = PDFCodec::adaptStringForSubsetFont(QStringLiteral("É\r\nÉ"), font, 0);
    EXPECT_EQ(simple.adapted, QStringLiteral("E\r\nE"));
    EXPECT_EQ(simple.accents.size(), 2);

    // Missing letters none of which the table holds leave the text alone.
    const auto outside = PDFCodec::adaptStringForSubsetFont(QStringLiteral("ñnxÿ n"), font, 0);
    EXPECT_EQ(outside.adapted, QStringLiteral("ñnxÿ n"));
    EXPECT_TRUE(outside.accents.isEmpty());
}

TEST_F(SyntheticAccentsTest, NeverAlignsLeftOfTheStart)
{
    using PDFCodec::alignedLineStart;
    EXPECT_EQ(alignedLineStart(10, 50, TextAlignmentMode::left, 100), 10);
    EXPECT_EQ(alignedLineStart(10, 50, TextAlignmentMode::right, 100), 60);
    EXPECT_EQ(alignedLineStart(10, 50, TextAlignmentMode::center, 100), 35);
    EXPECT_EQ(alignedLineStart(10, 200, TextAlignmentMode::right, 100), 10);
    EXPECT_EQ(alignedLineStart(10, 200, TextAlignmentMode::center, 100), 10);
}

TEST_F(SyntheticAccentsTest, DrawsTheLineAndItsAccents)
{
    const QFont font = fontWith("Zelvane Accent Draw", QStringLiteral("E"), 40);
    const double capHeight = capHeightOf(font);
    // A 300-dpi image drawn in points scaled to pixels: sizes stay in points.
    QImage image(600, 300, QImage::Format_ARGB32_Premultiplied);
    image.setDotsPerMeterX(11811);
    image.setDotsPerMeterY(11811);
    image.fill(Qt::white);
    {
        QPainter painter(&image);
        painter.scale(2, 2);
        PDFCodec::drawTextLine(painter, QStringLiteral("É"), QPointF(20, 100), font, 0, Qt::black,
                               TextAlignmentMode::left, 200);
    }
    const QRect box = ink(image);
    ASSERT_FALSE(box.isEmpty());
    // The E stands on the baseline; the accent rises above its cap height.
    EXPECT_NEAR(box.bottom() / 2.0, 100, 1.5);
    EXPECT_LT(box.top() / 2.0, 100 - capHeight - 0.1 * capHeight);
    EXPECT_NEAR(box.left() / 2.0, 20, 6);

    // A line wider than its box starts at x even when aligned right.
    image.fill(Qt::white);
    {
        QPainter painter(&image);
        PDFCodec::drawTextLine(painter, "EEEEE", QPointF(30, 100), font, 0, Qt::black, TextAlignmentMode::right, 10);
    }
    EXPECT_NEAR(ink(image).left(), 30, 6);
    // A narrow line in a wide box moves right.
    image.fill(Qt::white);
    {
        QPainter painter(&image);
        PDFCodec::drawTextLine(painter, "E", QPointF(30, 100), font, 0, Qt::black, TextAlignmentMode::right, 300);
    }
    EXPECT_GT(ink(image).left(), 300);
    // Nothing for an empty text.
    image.fill(Qt::white);
    {
        QPainter painter(&image);
        PDFCodec::drawTextLine(painter, "", QPointF(30, 100), font, 0, Qt::black, TextAlignmentMode::left, 300);
    }
    EXPECT_TRUE(ink(image).isEmpty());
}

TEST_F(SyntheticAccentsTest, DrawsEveryKindOfAccent)
{
    const QFont font = fontWith("Zelvane Accent Kinds", QStringLiteral("EAUIOC"), 40);
    for (const QString& letter : {QStringLiteral("É"), QStringLiteral("È"), QStringLiteral("Ê"), QStringLiteral("Ë"),
                                  QStringLiteral("Ç")}) {
        QImage plain(200, 200, QImage::Format_ARGB32_Premultiplied);
        plain.fill(Qt::white);
        QImage accented = plain;
        {
            QPainter painter(&plain);
            PDFCodec::drawTextLine(painter, letter == "Ç" ? "C" : "E", QPointF(50, 120), font, 0, Qt::black,
                                   TextAlignmentMode::left, 100);
        }
        {
            QPainter painter(&accented);
            PDFCodec::drawTextLine(painter, letter, QPointF(50, 120), font, 0, Qt::black, TextAlignmentMode::left, 100);
        }
        const QRect extra = ink(accented);
        const QRect base = ink(plain);
        if (letter == "Ç")
            EXPECT_GT(extra.bottom(), base.bottom()) << letter.toStdString();
        else
            EXPECT_LT(extra.top(), base.top()) << letter.toStdString();
    }
}

namespace {

// An edited line over its printed one, written to PDF in `font` (a subset
// that lacks the capitals: another font fills them in), the print setting
// its words `spread` points wider apart each than a plain layout: every
// glyph reads back where the printed placement puts its character, and the
// line reads as one.
void expectPrintedPlaces(const QFont& font, double wordSpread)
{
    const QString printedText = QStringLiteral("the shell opens a file with vector layers");
    const QString edited = QStringLiteral("the SHELL opens a file with vector layers");
    const auto plainPrinted = PDFCodec::layOutLine(printedText, font, 0, true);
    PDFCodec::PrintedLine printed{printedText, {}};
    double spread = 0;
    for (qsizetype i = 0; i < printedText.size(); ++i) {
        if (printedText[i] == QLatin1Char(' '))
            spread += wordSpread;
        printed.x.append(printedText[i] == QLatin1Char(' ')
                             ? std::numeric_limits<double>::quiet_NaN()
                             : plainPrinted->lineAt(0).cursorToX(int(i)) + spread);
    }
    // Where each character belongs, from the plain layouts' cursor positions.
    const auto cursors = [&](const QString& text) {
        const auto layout = PDFCodec::layOutLine(text, font, 0, true);
        QList<double> x;
        for (qsizetype i = 0; i <= text.size(); ++i)
            x.append(layout->lineAt(0).cursorToX(int(i)));
        return x;
    };
    const QList<double> naturalEdited = cursors(edited);
    const QList<double> shifts = PDFCodec::printedShifts(printed, cursors(printedText), edited, naturalEdited);
    ASSERT_EQ(shifts.size(), edited.size());

    QByteArray bytes;
    {
        QBuffer buffer(&bytes);
        ASSERT_TRUE(buffer.open(QIODevice::WriteOnly));
        QPdfWriter writer(&buffer);
        writer.setResolution(72);
        writer.setPageLayout(QPageLayout(QPageSize(QSizeF(400, 100), QPageSize::Point, QString(), QPageSize::ExactMatch),
                                         QPageLayout::Portrait, QMarginsF()));
        QPainter painter(&writer);
        PDFCodec::drawTextLine(painter, edited, QPointF(20, 50), font, 0, Qt::black, TextAlignmentMode::left, 360,
                               &printed);
    }
    const auto document = PDFDocument::open(bytes);
    ASSERT_TRUE(document);
    const PDFPageText text = document->pageText(0);
    EXPECT_EQ(text.text.trimmed(), edited);
    ASSERT_EQ(text.characterRects.size(), text.text.size());
    qsizetype at = 0;
    for (qsizetype i = 0; i < edited.size(); ++i) {
        if (edited[i] == QLatin1Char(' '))
            continue;
        at = text.text.indexOf(edited[i], at);
        ASSERT_GE(at, 0) << i;
        EXPECT_NEAR(text.characterRects[at].left(), 20 + naturalEdited[i] + shifts[i], 0.05) << i;
        ++at;
    }
    // The kept words before the change sit at their printed places.
    EXPECT_NEAR(text.characterRects[text.text.indexOf(QLatin1Char('t'))].left(), 20 + printed.x[0], 0.05);
}

}  // namespace

TEST_F(SyntheticAccentsTest, AnEditedLineInPDFKeepsThePrintedPlacesOfItsGlyphs)
{
    const QFont font = fontWith("Zelvane Printed Subset", QStringLiteral("abcdefghilmnoprstuvwxy "), 12);
    expectPrintedPlaces(font, 2.5);
    // The same printed text placed otherwise, or in another size, takes its
    // own places, not those of the line drawn before; drawn again, the same.
    expectPrintedPlaces(font, 6.0);
    QFont larger = font;
    larger.setPointSizeF(15);
    expectPrintedPlaces(larger, 2.5);
    expectPrintedPlaces(font, 2.5);
}

namespace {

// The PDF of `lines` (edited text over printed text) drawn one under the
// other in `font` with `kern`, its creation date and subset tags blanked.
QByteArray linesOverTheirPrint(const QList<std::pair<QString, PDFCodec::PrintedLine>>& lines, const QFont& font,
                               double kern)
{
    QByteArray bytes;
    {
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        QPdfWriter writer(&buffer);
        writer.setResolution(72);
        writer.setPageLayout(QPageLayout(QPageSize(QSizeF(600, 20 + 14 * lines.size()), QPageSize::Point, QString(),
                                                   QPageSize::ExactMatch),
                                         QPageLayout::Portrait, QMarginsF()));
        QPainter painter(&writer);
        for (qsizetype i = 0; i < lines.size(); ++i)
            PDFCodec::drawTextLine(painter, lines[i].first, QPointF(10, 20 + 14 * double(i)), font, kern, Qt::black,
                                   TextAlignmentMode::left, 580, &lines[i].second);
    }
    QString text = QString::fromLatin1(bytes);
    text.replace(QRegularExpression(QStringLiteral("/CreationDate \\([^)]*\\)")), QString());
    text.replace(QRegularExpression(QStringLiteral("[A-Z]{6}\\+")), QString());
    return text.toLatin1();
}

}  // namespace

TEST_F(SyntheticAccentsTest, AnEditedLineEndingWithItsPrintedTextIsPlacedAsWhenThePrintIsLaidOutAlone)
{
    // Printed lines with what kerning and the cuts against ligatures act on:
    // capitals that kern, quotes and brackets before letters, f and st,
    // digits, and the minus signs troff prints for an option's dashes.
    const QStringList printedTexts = {
        QStringLiteral("To AVOID a file, Type \"Ayes\" or (T) with 12.50 $ off"),
        QStringLiteral("the office of first stations: staff, fluff, afflict, stst"),
        QStringLiteral("L'WAVE Yo, Te; Pa. \u201CVa\u201D \u2014 we're \u00C9t\u00E9 \u00E0 No\u00EBl"),
        QStringLiteral("f"),
        QStringLiteral("t t  two  spaces, then   three"),
        QStringLiteral("xyz"),
        QStringLiteral("\u2212\u2212vector \u2212f of 5\u22123 (a\u2212b)"),
    };
    // Edits that end with the printed text (before it: a word, a letter, an
    // "f" or "s" that cuts the line right there), and edits that do not.
    const QStringList before = {QStringLiteral("EDITED "), QStringLiteral("A"), QStringLiteral("of"),
                                QStringLiteral("La"), QStringLiteral("Vas"), QString()};
    QList<std::pair<QString, PDFCodec::PrintedLine>> lines;
    // The installed text fonts, one with much kerning, and a subset that
    // lacks the capitals and the digits (another font fills them in).
    QList<QFont> fontsUsed;
    QStringList families = fonts::offeredTextFamilies();
    families.append(QStringLiteral("Latin Modern Roman"));
    for (const QString& family : families)
        fontsUsed.append(fonts::makeFont({family}, 11, false, false));
    fontsUsed.append(fontWith("Zelvane Lower Subset", QStringLiteral("abcdefghilmnoprstuvwxy ,.;'\""), 11));
    for (const QFont& font : fontsUsed) {
        for (const double kern : {0.0, 0.35}) {
            lines.clear();
            for (const QString& printedText : printedTexts) {
                // The print spreads the words 1.5 points each wider than a plain layout.
                const auto plain = PDFCodec::layOutLine(printedText, font, kern, true);
                PDFCodec::PrintedLine printed{printedText, {}};
                double spread = 0;
                for (qsizetype i = 0; i < printedText.size(); ++i) {
                    spread += printedText[i] == QLatin1Char(' ') ? 1.5 : 0.0;
                    printed.x.append(printedText[i] == QLatin1Char(' ')
                                         ? std::numeric_limits<double>::quiet_NaN()
                                         : plain->lineAt(0).cursorToX(int(i)) + spread);
                }
                for (const QString& start : before)
                    lines.append({start + printedText, printed});
                lines.append({printedText + QStringLiteral(" more"), printed});
                lines.append({QString(printedText).replace(0, 1, QStringLiteral("W")), printed});
            }
            PDFCodec::layOutPrintedTextAlone(true);
            const QByteArray alone = linesOverTheirPrint(lines, font, kern);
            PDFCodec::layOutPrintedTextAlone(false);
            const QByteArray reused = linesOverTheirPrint(lines, font, kern);
            EXPECT_EQ(reused, alone) << qPrintable(font.family()) << " " << kern;
        }
    }
}

TEST_F(SyntheticAccentsTest, APrintedPlaceInsideACharacterMovesNoPartOfIt)
{
    // Qt's layout starts a character at every unit below U+0300 but the line
    // feed after a carriage return (what an edited line's pieces rely on).
    QString units;
    for (char16_t u = 1; u < 0x300; ++u) {
        units += QChar(u);
        units += QChar(u == u'\r' ? u'a' : u);
    }
    units += QStringLiteral("a\r\nb\r\r\n\n\r");
    const auto plain = PDFCodec::layOutLine(units, fonts::makeFont({QStringLiteral("DejaVu Sans")}, 11, false, false),
                                            0, true);
    for (qsizetype k = 0; k < units.size(); ++k) {
        const bool joined = k > 0 && units[k - 1] == QLatin1Char('\r') && units[k] == QLatin1Char('\n');
        EXPECT_EQ(plain->isValidCursorPosition(int(k)), !joined) << k;
    }

    // A combining accent printed away from its letter is still drawn with
    // it: the line looks as when the accent has no printed place of its own
    // (the next word takes its own printed place again).
    const QFont font = fonts::makeFont({QStringLiteral("DejaVu Sans")}, 14, false, false);
    const QString text = QStringLiteral("Cafe\u0301 noir");
    const auto layout = PDFCodec::layOutLine(text, font, 0, true);
    const auto drawnOver = [&](double accentX) {
        PDFCodec::PrintedLine printed{text, {}};
        for (qsizetype i = 0; i < text.size(); ++i)
            printed.x.append(text[i] == QLatin1Char(' ') ? std::numeric_limits<double>::quiet_NaN()
                                                         : layout->lineAt(0).cursorToX(int(i)) + (i > 4 ? 9.0 : 3.0));
        printed.x[4] = accentX;
        QImage image(300, 60, QImage::Format_RGB32);
        image.fill(Qt::white);
        QPainter painter(&image);
        PDFCodec::drawTextLine(painter, text, QPointF(10, 40), font, 0, Qt::black, TextAlignmentMode::left, 280,
                               &printed);
        return image;
    };
    const QImage withoutPlace = drawnOver(std::numeric_limits<double>::quiet_NaN());
    EXPECT_FALSE(ink(withoutPlace).isEmpty());
    EXPECT_EQ(drawnOver(layout->lineAt(0).cursorToX(3) + 40), withoutPlace);
}
