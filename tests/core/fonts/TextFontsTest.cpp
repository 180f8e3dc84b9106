#include "TestFonts.h"

#include "fonts/FontLookup.h"
#include "fonts/FontMemo.h"
#include "fonts/PDFEmbeddedFontRegistry.h"
#include "fonts/TextFonts.h"
#include "model/ShapePayload.h"
#include "operations/VectorOperations.h"

#include <QFontDatabase>
#include <QFontInfo>
#include <QRawFont>
#include <QTransform>

#include <cmath>

using namespace zelvane;
using namespace zelvane::testing;

namespace {

class TextFontsTest : public FontTestBase {
protected:
    static TextPayload payload(const QString& family, double size = 12)
    {
        TextPayload p;
        p.text = "Hello";
        p.fontFamily = family;
        p.fontSize = size;
        return p;
    }

    static QString face(const QFont& font) { return fonts::postScriptNameOf(font); }

    static bool installed(const QString& family) { return fonts::installedFamily(family).has_value(); }
};

}  // namespace

TEST_F(TextFontsTest, NeverGoesBelowFourPoints)
{
    EXPECT_DOUBLE_EQ(PDFCodec::resolveFont(payload("Arial"), 2).pointSizeF(), 4);
    EXPECT_DOUBLE_EQ(PDFCodec::resolveFont(payload("Arial"), NAN).pointSizeF(), 4);
    EXPECT_DOUBLE_EQ(PDFCodec::resolveFont(payload("Arial"), 17.5).pointSizeF(), 17.5);
}

TEST_F(TextFontsTest, ResolvesTheExactInstalledFace)
{
    TextPayload p = payload("Times New Roman");
    p.postScriptFontName = "LiberationSerif-Italic";
    p.isItalic = true;
    p.originalIsItalic = true;
    const QFont font = PDFCodec::resolveFont(p, 12);
    EXPECT_EQ(face(font), "LiberationSerif-Italic");
    // A serif face falls back on Georgia's substitutes for missing characters.
    EXPECT_TRUE(font.families().contains("DejaVu Serif"));
}

TEST_F(TextFontsTest, FindsExactFacesAmongFoundries)
{
    if (fonts::installedFamily("Nimbus Sans") != QString("Nimbus Sans"))
        GTEST_SKIP() << "fonts-urw-base35 is not installed";
    TextPayload p = payload("Helvetica");
    p.postScriptFontName = "NimbusSans-BoldItalic";
    EXPECT_EQ(face(PDFCodec::resolveFont(p, 12)), "NimbusSans-BoldItalic");
}

TEST_F(TextFontsTest, LeavesTheExactFaceWhenWeightOrSlantChanged)
{
    TextPayload p = payload("Liberation Sans");
    p.postScriptFontName = "LiberationSans";
    p.isBold = true;
    p.originalIsBold = false;
    EXPECT_EQ(face(PDFCodec::resolveFont(p, 12)), "LiberationSans-Bold");
    p.isBold = false;
    p.isItalic = true;
    p.originalIsItalic = false;
    EXPECT_EQ(face(PDFCodec::resolveFont(p, 12)), "LiberationSans-Italic");
    // Unchanged traits keep the exact face.
    p.isItalic = false;
    EXPECT_EQ(face(PDFCodec::resolveFont(p, 12)), "LiberationSans");
}

TEST_F(TextFontsTest, SubstitutesFreeFamiliesForNonFreeOnes)
{
    TextPayload p = payload("Arial");
    p.isBold = true;
    EXPECT_EQ(face(PDFCodec::resolveFont(p, 12)), "LiberationSans-Bold");
    p = payload("Times New Roman");
    p.isItalic = true;
    EXPECT_EQ(face(PDFCodec::resolveFont(p, 12)), "LiberationSerif-Italic");
    EXPECT_EQ(face(PDFCodec::resolveFont(payload("Courier New"), 12)), "LiberationMono");
}

TEST_F(TextFontsTest, FallsBackOnHelveticaNeueFaces)
{
    TextPayload p = payload("Zelvane No Such Family");
    p.isItalic = true;
    const QFont font = PDFCodec::resolveFont(p, 12);
    EXPECT_TRUE(font.italic());
    EXPECT_FALSE(font.bold());
    EXPECT_TRUE(QFontInfo(font).italic());
    const auto helvetica = fonts::installedFamily("Helvetica Neue");
    ASSERT_TRUE(helvetica);
    EXPECT_EQ(font.families().first(), *helvetica);
    // An empty family is Helvetica Neue too.
    EXPECT_EQ(PDFCodec::resolveFont(payload(""), 12).families().first(), *helvetica);
}

TEST_F(TextFontsTest, TheOfferedFamiliesAreInstalledAndTheOriginalNamesDrawInTheirCounterparts)
{
    const QStringList offered = fonts::offeredTextFamilies();
    for (const char* family : {"Liberation Sans", "Liberation Serif", "Liberation Mono", "DejaVu Sans"})
        EXPECT_TRUE(offered.contains(QString::fromLatin1(family))) << family;
    for (const QString& family : offered)
        EXPECT_TRUE(QFontDatabase::hasFamily(family)) << family.toStdString();
    // New text is set in an installed sans-serif face.
    EXPECT_EQ(fonts::defaultTextFamily(), "Liberation Sans");
    EXPECT_EQ(face(PDFCodec::resolveFont(payload(fonts::defaultTextFamily()), 12)), "LiberationSans");
    // Documents naming the original families are drawn in the metric-compatible faces.
    EXPECT_EQ(face(PDFCodec::resolveFont(payload("Arial"), 12)), "LiberationSans");
    EXPECT_EQ(face(PDFCodec::resolveFont(payload("Times New Roman"), 12)), "LiberationSerif");
    EXPECT_TRUE(offered.contains(
        fonts::withoutFoundry(QFontInfo(PDFCodec::resolveFont(payload("Helvetica Neue"), 12)).family())));
}

TEST_F(TextFontsTest, ARestyledTextKeepsItsRoomInTheNewStyle)
{
    VectorElement element = VectorOperations::makeTextElement("Total due", {40, 60}, 11, "#111317", false);
    element.frame.height = 11;
    TextPayload* text = element.text();
    text->baselineOffset = 8.5;
    const TextPayload before = *text;
    text->fontSize = 22;
    PDFCodec::updateTextFrameForRestyledContent(element, before);
    EXPECT_NEAR(element.frame.height, 22, 0.5);
    EXPECT_NEAR(*element.text()->baselineOffset, 17, 0.5);
    EXPECT_EQ(element.frame.x, 40);
    EXPECT_EQ(element.frame.y, 60);
    EXPECT_NEAR(element.frame.width, PDFCodec::measureTextWidth(*element.text()) + 2, 1e-9);
    // A turned frame keeps the start of its first line.
    element.rotationDegrees = 90;
    const TextPayload large = *element.text();
    const QPointF start = QTransform()
                              .translate(element.frame.midX(), element.frame.midY())
                              .rotate(90)
                              .map(QPointF(-element.frame.width / 2, -element.frame.height / 2));
    element.text()->fontSize = 11;
    PDFCodec::updateTextFrameForRestyledContent(element, large);
    const QPointF after = QTransform()
                              .translate(element.frame.midX(), element.frame.midY())
                              .rotate(90)
                              .map(QPointF(-element.frame.width / 2, -element.frame.height / 2));
    EXPECT_NEAR(after.x(), start.x(), 1e-6);
    EXPECT_NEAR(after.y(), start.y(), 1e-6);
    EXPECT_NEAR(element.frame.height, 11, 0.3);
}

TEST_F(TextFontsTest, UsesRegisteredPDFFonts)
{
    TestFontOptions options{"Zelvane Text Registered", "Regular", "ZelvaneTextRegistered-Regular", QString("abc")};
    ASSERT_TRUE(PDFEmbeddedFontRegistry::shared().registerFontBinary(
        makeTestFont(liberationSansRegular(), options), "ZelvaneTextRegistered-Regular", "ttf", false));
    TextPayload p = payload("Zelvane Text Registered");
    p.postScriptFontName = "ZelvaneTextRegistered-Regular";
    EXPECT_EQ(face(PDFCodec::resolveFont(p, 12)), "ZelvaneTextRegistered-Regular");
    // By family when the PostScript name is unknown or the weight changed.
    p.postScriptFontName = "ZelvaneTextRegistered-Black";
    EXPECT_EQ(face(PDFCodec::resolveFont(p, 12)), "ZelvaneTextRegistered-Regular");
    p.postScriptFontName.reset();
    p.isBold = true;
    p.originalIsBold = false;
    EXPECT_EQ(face(PDFCodec::resolveFont(p, 12)), "ZelvaneTextRegistered-Regular");
}

TEST_F(TextFontsTest, MeasuresTypographicWidths)
{
    const QFont font = PDFCodec::resolveFont(payload("Liberation Sans"), 20);
    ASSERT_EQ(face(font), "LiberationSans");
    // Liberation Sans: H 1479, e 1139, l 455, o 1139 units of 2048 (advances
    // are kept in 1/64 units).
    const double expected = (1479 + 1139 + 455 + 455 + 1139) * 20.0 / 2048;
    EXPECT_NEAR(PDFCodec::measureSingleLineWidth("Hello", font, 0), expected, 0.06);
    // Letter spacing is added after every character.
    EXPECT_NEAR(PDFCodec::measureSingleLineWidth("Hello", font, 1.5), PDFCodec::measureSingleLineWidth("Hello", font, 0) + 5 * 1.5, 1e-6);
    EXPECT_EQ(PDFCodec::measureSingleLineWidth("", font, 3), 0);
    // Trailing blanks count.
    EXPECT_GT(PDFCodec::measureSingleLineWidth("Hello  ", font, 0), expected + 5);
}

TEST_F(TextFontsTest, MeasuresTheWidestLine)
{
    TextPayload p = payload("Liberation Sans", 20);
    p.text = "";
    EXPECT_EQ(PDFCodec::measureTextWidth(p), 12.0);
    p.text = "i";
    EXPECT_EQ(PDFCodec::measureTextWidth(p), 12.0);
    const QFont font = PDFCodec::resolveFont(p, 20);
    p.text = "Hello\n\nHello world\n";
    EXPECT_NEAR(PDFCodec::measureTextWidth(p), PDFCodec::measureSingleLineWidth("Hello world", font, 0), 1e-9);
    p.letterSpacing = 2;
    EXPECT_NEAR(PDFCodec::measureTextWidth(p), PDFCodec::measureSingleLineWidth("Hello world", font, 2), 1e-9);
}

TEST_F(TextFontsTest, RefitsTextFrames)
{
    VectorElement element;
    TextPayload p = payload("Liberation Sans", 10);
    p.text = "";
    element.kind = p;
    element.frame = VectorRect(5, 6, 300, 20);
    PDFCodec::updateTextFrameForEditedContent(element);
    EXPECT_EQ(element.frame.width, 14.0);
    EXPECT_EQ(element.frame.height, 20.0);
    EXPECT_EQ(element.frame.x, 5.0);
    EXPECT_EQ(element.frame.y, 6.0);

    p.text = "Hello world\nagain";
    element.kind = p;
    PDFCodec::updateTextFrameForEditedContent(element);
    EXPECT_NEAR(element.frame.width, PDFCodec::measureTextWidth(p) + 2, 1e-9);
    EXPECT_EQ(element.frame.height, 25.0);
    element.frame.height = 40;
    PDFCodec::updateTextFrameForEditedContent(element);
    EXPECT_EQ(element.frame.height, 40.0);

    // Other kinds are left alone.
    VectorElement shape;
    shape.kind = ShapePayload{};
    shape.frame = VectorRect(1, 2, 3, 4);
    PDFCodec::updateTextFrameForEditedContent(shape);
    EXPECT_EQ(shape.frame, VectorRect(1, 2, 3, 4));
}

TEST_F(TextFontsTest, WhatAFontMemoGivesIsWhatLookingAgainGives)
{
    // Payloads that differ in one thing each, resolved one after the other
    // while a memo lives: none may be given another's font or facts.
    QList<TextPayload> payloads;
    TextPayload p = payload("Liberation Sans");
    payloads.append(p);
    p.isBold = true;
    payloads.append(p);
    p.isItalic = true;
    payloads.append(p);
    p.isBold = false;
    p.isItalic = false;
    p.fontSize = 13;
    payloads.append(p);
    p.fontFamily = "Liberation Serif";
    payloads.append(p);
    p.postScriptFontName = "LiberationSerif-Italic";
    payloads.append(p);
    p.isBold = true;
    p.originalIsBold = false;
    payloads.append(p);
    p.originalIsBold = true;
    payloads.append(p);
    p.isItalic = true;
    p.originalIsItalic = false;
    payloads.append(p);
    p.originalIsItalic = true;
    payloads.append(p);
    struct Facts {
        QFont font;
        QString face;
        double capHeight;
        QFont laidOut;
    };
    const auto factsOf = [](const TextPayload& payload) {
        const QFont font = PDFCodec::resolveFont(payload, payload.fontSize);
        return Facts{font, fonts::postScriptNameOf(font), fonts::capHeightOf(font), fonts::layoutFont(font, 0.5)};
    };
    QList<Facts> anew;
    for (const TextPayload& payload : payloads)
        anew.append(factsOf(payload));
    const fonts::FontMemo memo;
    for (int round = 0; round < 2; ++round) {
        for (qsizetype i = 0; i < payloads.size(); ++i) {
            const Facts remembered = factsOf(payloads[i]);
            EXPECT_EQ(remembered.font, anew[i].font) << "payload " << i;
            EXPECT_EQ(remembered.face, anew[i].face) << "payload " << i;
            EXPECT_DOUBLE_EQ(remembered.capHeight, anew[i].capHeight) << "payload " << i;
            EXPECT_EQ(remembered.laidOut, anew[i].laidOut) << "payload " << i;
        }
    }
    // Each payload above resolves to another font than the one before it.
    for (qsizetype i = 1; i < anew.size(); ++i)
        EXPECT_FALSE(anew[i].font == anew[i - 1].font) << "payload " << i;
}
