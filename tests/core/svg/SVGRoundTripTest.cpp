// Saving as the program's SVG and opening the file again gives back the same
// document: pages, their order and identity, every element kind with all of
// its fields, hidden and locked elements included.

#include "SVGTestSupport.h"
#include "model/PageFormatPreset.h"
#include "operations/VectorOperations.h"
#include "support/LanguageFixture.h"
#include "core/support/TestPDF.h"

#include <gtest/gtest.h>

using namespace zelvane;
using namespace zelvane::testing;

namespace {

VectorStyle oddStyle()
{
    return VectorStyle(QStringLiteral("#445566"), QStringLiteral("#112233"), 0.25 + 1e-9, 0.8 / 3, true);
}

QList<VectorElement> textElements()
{
    TextPayload pdfText;
    pdfText.text = QStringLiteral("  Line one\n\n\tindented & <marked> \"quoted\" 'apostrophe'\r\nsame line\rend  ");
    pdfText.fontFamily = QStringLiteral("Noto Sans \"Display\"\n2");
    pdfText.postScriptFontName = QStringLiteral("NotoSans-BoldItalic");
    pdfText.fontSize = 13.37;
    pdfText.isBold = true;
    pdfText.isItalic = true;
    pdfText.alignment = TextAlignmentMode::center;
    pdfText.baselineOffset = 10.125;
    pdfText.letterSpacing = -0.3;
    pdfText.isPDFExtracted = true;
    pdfText.originalPDFText = QStringLiteral("Line one\nof the PDF");
    pdfText.originalPDFRect = VectorRect(10.5, 20.25, 300.125, 14.0625);
    pdfText.originalFontSize = 12.5;
    pdfText.originalIsBold = false;
    pdfText.originalIsItalic = true;
    pdfText.originalTextColorHex = QStringLiteral("#010203");
    pdfText.maskColorHex = QStringLiteral("#FAFAFA");
    pdfText.originalRotationDegrees = 90;
    pdfText.originalFrameWidth = 300.125;
    pdfText.originalFrameHeight = 14.0625;
    pdfText.originalFontFamily = QStringLiteral("Noto Sans");
    pdfText.originalPostScriptFontName = QStringLiteral("NotoSans-Bold");
    VectorElement rich = makeElement(101, QStringLiteral("PDF line\n\u00e9t\u00e9 \U0001F44D"), pdfText,
                                     VectorRect(10.123456789, 20.987654321, 301.5, 40.0001), oddStyle());
    rich.rotationDegrees = -4.5e-3;
    rich.locked = true;

    TextPayload empty;
    empty.alignment = TextAlignmentMode::right;
    empty.fontSize = 5;
    VectorElement blank = makeElement(102, QString(), empty, VectorRect(0, 0, 1, 1),
                                      VectorStyle(QStringLiteral("#FF0000"), std::nullopt, 0, 1, false));

    TextPayload lineFeeds;
    lineFeeds.text = QStringLiteral("\n");
    lineFeeds.fontFamily = QStringLiteral("Helvetica Neue");
    VectorElement feeds = makeElement(103, QStringLiteral("feeds"), lineFeeds, VectorRect(5, 5, 90, 30), VectorStyle());
    feeds.visible = false;

    VectorElement made = VectorOperations::makeTextElement(QStringLiteral("Bonjour\nle monde"), {120, 80}, 18,
                                                           QStringLiteral("#1E3A8A"), true);
    return {rich, blank, feeds, made};
}

QList<VectorElement> shapeElements()
{
    QList<VectorElement> elements;
    int id = 200;
    for (const VectorShapeType type : EnumCases<VectorShapeType>::all) {
        ShapePayload shape;
        shape.shapeType = type;
        shape.cornerRadius = type == VectorShapeType::roundedRectangle ? 0 : 7.25;
        shape.startArrow = type == VectorShapeType::line;
        shape.endArrow = type == VectorShapeType::line;
        VectorElement element = makeElement(++id, label(type), shape, VectorRect(15.5, 25.75, 120.3, 60.7), oddStyle());
        element.rotationDegrees = 33.333;
        elements.append(element);
    }
    // An arrow without its end flag, as a direct assignment can leave it, and
    // a hidden arrow whose head must stay hidden too.
    ShapePayload bareArrow;
    bareArrow.shapeType = VectorShapeType::arrow;
    VectorElement arrow = makeElement(++id, QStringLiteral("Arrow"), bareArrow, VectorRect(1, 2, 3, 4),
                                      VectorStyle(std::nullopt, std::nullopt, 0, 0.05, false));
    arrow.visible = false;
    elements.append(arrow);
    return elements;
}

QList<VectorElement> pathElements()
{
    PathPayload path;
    path.subpaths = {VectorSubpath{{{0, 0}, {1.0 / 3, 2.0 / 3}, {1, 1}}, true}, VectorSubpath{{}, true},
                     VectorSubpath{{}, false}, VectorSubpath{{{0.5, 1e-7}}, false}};
    path.startArrow = true;
    path.endArrow = true;
    path.smoothCurves = true;
    PathPayload none;
    return {makeElement(301, QStringLiteral("Pen"), path, VectorRect(50, 60, 70.5, 80.25), oddStyle()),
            makeElement(302, QStringLiteral("Nothing"), none, VectorRect(0, 0, 10, 10), VectorStyle())};
}

QList<VectorElement> signatureElements()
{
    SignaturePayload ink;
    ink.signerName = QStringLiteral("Ad\u00e8le \"A\" & Co");
    ink.dateLabel = QStringLiteral("01/02/2025");
    ink.caption = QString();
    ink.strokes = {{{0, 0}, {0.125, 0.875}, {1.0 / 7, 1}}, {}, {{0.5, 0.5}}};
    VectorElement inked = makeElement(401, QStringLiteral("Signature Ad\u00e8le"), ink, VectorRect(30, 40, 200, 60),
                                      VectorStyle(QStringLiteral("#1E3A8A"), std::nullopt, 2.2, 1, false));

    SignaturePayload image;
    image.signerName = QStringLiteral("Bo");
    image.caption = QStringLiteral("Director");
    image.assetData = pngBytes(60, 20);
    image.assetExtension = QStringLiteral("png");
    image.removeWhiteBackground = true;

    SignaturePayload pdf;
    pdf.assetData = makeFilledTestPDF(120, 40, Qt::blue);
    pdf.assetExtension = QStringLiteral("pdf");

    SignaturePayload broken;
    broken.assetData = QByteArray("\x00\x01 not an image", 16);

    VectorElement made = VectorOperations::makeFreehandSignatureElement(
        {{{10, 10}, {40, 30}, {80, 12}, {120, 44}}}, QStringLiteral("Zo\u00e9"), QStringLiteral("#000000"));
    return {inked, makeElement(402, QStringLiteral("Bo"), image, VectorRect(1, 2, 150, 50), VectorStyle()),
            makeElement(403, QStringLiteral("PDF"), pdf, VectorRect(3, 4, 120, 40), VectorStyle()),
            makeElement(404, QStringLiteral("Broken"), broken, VectorRect(5, 6, 7, 8), VectorStyle()), made};
}

QList<VectorElement> stampElements()
{
    QList<VectorElement> elements;
    for (const VectorStampKind kind : EnumCases<VectorStampKind>::all) {
        elements.append(VectorOperations::makeStampElement(kind, {300, 400}));
    }
    StampPayload custom;
    custom.title = QStringLiteral("Logo");
    custom.assetData = pngBytes(30, 30, Qt::red);
    custom.assetExtension = QStringLiteral("PNG");
    custom.removeWhiteBackground = true;
    VectorElement image = makeElement(501, QStringLiteral("Logo"), custom, VectorRect(10, 10, 80, 80),
                                      VectorStyle(QStringLiteral("#1E3A8A"), std::nullopt, 0, 0.96, false));
    image.locked = true;
    StampPayload blank;
    blank.stampKind = VectorStampKind::cross;
    VectorElement empty = makeElement(502, QString(), blank, VectorRect(0, 0, 4, 4), VectorStyle());
    empty.visible = false;
    elements.append(image);
    elements.append(empty);
    return elements;
}

VectorDocument richDocument()
{
    QList<VectorPage> pages;
    pages.append(makePage(1, QStringLiteral("Texts & \"quotes\"\nsecond line"), 595.28, 841.89, textElements(),
                          QStringLiteral("#F0F0F0")));
    pages.append(makePage(2, QStringLiteral("Shapes"), 841.89, 595.28, shapeElements(), QStringLiteral("white")));
    pages.append(makePage(3, QString(), 1190.55, 841.89, pathElements(), QString()));
    pages.append(makePage(4, QStringLiteral("Signatures"), 612, 792, signatureElements()));
    pages.append(makePage(5, QStringLiteral("Stamps"), 960, 540, stampElements()));
    pages.append(makePage(6, QStringLiteral("Odd size"), 100.123456, 64.0000001));
    return makeDocument(QStringLiteral("Contract \"final\" <v2> & co"), pages);
}

VectorDocument roundTrip(const VectorDocument& document, std::optional<qsizetype> pageIndex = std::nullopt)
{
    const QString svg = SVGCodec::exportSVG(document, pageIndex);
    return SVGCodec::importSVG(svg.toUtf8(), QStringLiteral("file name"), std::nullopt);
}

void expectSamePages(const QList<VectorPage>& actual, const QList<VectorPage>& expected)
{
    ASSERT_EQ(actual.size(), expected.size());
    for (qsizetype p = 0; p < expected.size(); ++p) {
        const VectorPage& a = actual[p];
        const VectorPage& e = expected[p];
        EXPECT_EQ(a.id, e.id) << "page " << p;
        EXPECT_EQ(a.title, e.title) << "page " << p;
        EXPECT_EQ(a.width, e.width) << "page " << p;
        EXPECT_EQ(a.height, e.height) << "page " << p;
        EXPECT_EQ(a.backgroundColorHex, e.backgroundColorHex) << "page " << p;
        ASSERT_EQ(a.elements.size(), e.elements.size()) << "page " << p;
        for (qsizetype i = 0; i < e.elements.size(); ++i) {
            const VectorElement& ae = a.elements[i];
            const VectorElement& ee = e.elements[i];
            EXPECT_EQ(ae.id, ee.id);
            EXPECT_EQ(ae.name, ee.name);
            EXPECT_EQ(ae.frame, ee.frame) << ee.name.toStdString();
            EXPECT_EQ(ae.rotationDegrees, ee.rotationDegrees) << ee.name.toStdString();
            EXPECT_EQ(ae.style, ee.style) << ee.name.toStdString();
            EXPECT_EQ(ae.visible, ee.visible) << ee.name.toStdString();
            EXPECT_EQ(ae.locked, ee.locked) << ee.name.toStdString();
            EXPECT_EQ(ae.kind, ee.kind) << "kind of " << ee.name.toStdString() << " on page " << p;
        }
        EXPECT_EQ(a, e) << "page " << p;
    }
}

class SVGRoundTrip : public ::testing::TestWithParam<AppLanguage> {};

}  // namespace

TEST_P(SVGRoundTrip, MultiPageDocumentComesBackUnchanged)
{
    ScopedLanguage language(GetParam());
    const VectorDocument original = richDocument();
    const VectorDocument back = roundTrip(original);
    // The title is the one given to the import (the file name), never the
    // one written into the file.
    EXPECT_EQ(back.title, QStringLiteral("file name"));
    EXPECT_EQ(back.sourceFormat, DocumentSourceFormat::svg);
    EXPECT_EQ(back.revision, 1);
    expectSamePages(back.pages, original.pages);
}

TEST_P(SVGRoundTrip, EachPageAloneComesBackUnchanged)
{
    ScopedLanguage language(GetParam());
    const VectorDocument original = richDocument();
    for (qsizetype index = 0; index < original.pages.size(); ++index) {
        const VectorDocument back = roundTrip(original, index);
        EXPECT_EQ(back.title, QStringLiteral("file name"));
        expectSamePages(back.pages, {original.pages[index]});
    }
}

TEST_P(SVGRoundTrip, EveryPageFormatInBothLayouts)
{
    ScopedLanguage language(GetParam());
    QList<VectorPage> pages;
    int id = 10;
    for (const PageFormatPreset preset : EnumCases<PageFormatPreset>::all) {
        const PageSize size = sizePoints(preset);
        VectorPage page = makePage(
            ++id, label(preset), size.width, size.height,
            {VectorOperations::makeStampElement(VectorStampKind::approved, {200, 200}),
             VectorOperations::makeTextElement(label(preset), {50, 50}, 14, QStringLiteral("#111317"), false)});
        const VectorDocument single = makeDocument(label(preset), {page});
        const VectorDocument back = roundTrip(single);
        EXPECT_EQ(back.title, QStringLiteral("file name"));
        expectSamePages(back.pages, single.pages);
        pages.append(page);
    }
    const VectorDocument all = makeDocument(QStringLiteral("Formats"), pages);
    expectSamePages(roundTrip(all).pages, all.pages);
}

TEST_P(SVGRoundTrip, DocumentsMadeByTheOperationsComeBackUnchanged)
{
    ScopedLanguage language(GetParam());
    VectorDocument document = VectorDocument::make(QUuid::createUuid(), QStringLiteral("Ops"),
                                                   DocumentSourceFormat::native, std::nullopt, {}, 1);
    VectorOperations::addPage(document, 0, PageFormatPreset::stage16x9, std::nullopt);
    VectorOperations::addPage(document, 1, PageFormatPreset::letter, QStringLiteral("Letter"));
    VectorOperations::addElement(VectorOperations::makeStampElement(VectorStampKind::confidential, {100, 100}), 1,
                                 document);
    VectorOperations::movePage(document, 2, 0);
    const VectorDocument back = roundTrip(document);
    EXPECT_EQ(back.title, QStringLiteral("file name"));
    expectSamePages(back.pages, document.pages);
}

INSTANTIATE_TEST_SUITE_P(BothLanguages, SVGRoundTrip, ::testing::Values(AppLanguage::fr, AppLanguage::en),
                         [](const ::testing::TestParamInfo<AppLanguage>& param) {
                             return rawValue(param.param).toStdString();
                         });

TEST(SVGRoundTripFile, ExportingAgainGivesTheSameText)
{
    const VectorDocument original = richDocument();
    const QString first = SVGCodec::exportSVG(original);
    const VectorDocument back = SVGCodec::importSVG(first.toUtf8(), original.title, std::nullopt);
    VectorDocument again = back;
    again.id = original.id;
    EXPECT_EQ(SVGCodec::exportSVG(again), first);
}

TEST(SVGRoundTripFile, ForeignEditsWithoutDataAttributesReadAsPlainSVG)
{
    // A file of the dialect written before the data attributes existed reads
    // as the dialect says: the rectangle keeps its drawing, not an identity.
    const QString svg = withoutOwnData(svgLines(SVGCodec::exportSVG(richDocument(), 1))).join(u'\n');
    const VectorDocument back = SVGCodec::importSVG(svg.toUtf8(), QStringLiteral("Old"), std::nullopt);
    EXPECT_EQ(back.title, "Old");
    ASSERT_EQ(back.pages.size(), 1);
    EXPECT_EQ(back.pages[0].title, "Page 1");
    EXPECT_FALSE(back.pages[0].elements.isEmpty());
    EXPECT_NE(back.pages[0].elements[0].id, fixedId(201));
}

TEST(SVGRoundTripFile, FilesWrittenBeforeTheFullOriginalLineReadAsBefore)
{
    const VectorDocument original = richDocument();
    QString svg = SVGCodec::exportSVG(original);
    for (const char* name : {"data-original-rotation", "data-original-width", "data-original-height",
                             "data-original-font-family", "data-original-postscript-font"}) {
        const QRegularExpression attribute(QStringLiteral(" %1=\"[^\"]*\"").arg(QLatin1String(name)));
        ASSERT_TRUE(svg.contains(attribute)) << name;
        svg.remove(attribute);
    }
    const VectorDocument back = SVGCodec::importSVG(svg.toUtf8(), original.title, std::nullopt);
    const VectorElement& line = back.pages[0].elements[0];
    ASSERT_TRUE(line.isPDFText());
    const TextPayload& read = *line.text();
    EXPECT_FALSE(read.originalRotationDegrees || read.originalFrameWidth || read.originalFrameHeight
                 || read.originalFontFamily || read.originalPostScriptFontName);
    TextPayload expected = *original.pages[0].elements[0].text();
    expected.originalRotationDegrees.reset();
    expected.originalFrameWidth.reset();
    expected.originalFrameHeight.reset();
    expected.originalFontFamily.reset();
    expected.originalPostScriptFontName.reset();
    EXPECT_EQ(read, expected);
}
