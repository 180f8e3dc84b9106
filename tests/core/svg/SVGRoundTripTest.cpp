// Saving as the program's SVG and opening the file again gives back the same
// document: pages, their order and identity, every element kind with all of
// its fields, hidden and locked elements included. What the file does not
// carry: element names (read back as the reader names elements), what a PDF
// line was, and point lists finer than two decimals of a page point.

#include "SVGTestSupport.h"
#include "export/SVGElementWriter.h"
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
    // An arrow pointing down to the right, its direction in its points.
    ShapePayload pointing = ShapePayload::make(VectorShapeType::arrow, 0, false, true);
    pointing.points = QList<VectorPoint>{{0, 0}, {1.0 / 3, 1}};
    elements.append(makeElement(++id, QStringLiteral("Down"), pointing, VectorRect(40, 50, 90, 30), oddStyle()));
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
    // Points the path data holds to two decimals, and points in a frame too
    // small for that, which are kept exactly.
    PathPayload drawn;
    drawn.subpaths = {VectorSubpath{{{0, 0}, {1.0 / 3, 0.123456789}, {1, 1}}, false},
                      VectorSubpath{{{0.5, 0.5}, {0.25, 0.75}}, true}};
    drawn.smoothCurves = true;
    return {makeElement(301, QStringLiteral("Pen"), path, VectorRect(50, 60, 70.5, 80.25), oddStyle()),
            makeElement(302, QStringLiteral("Nothing"), none, VectorRect(0, 0, 10, 10), VectorStyle()),
            makeElement(303, QStringLiteral("Drawn"), drawn, VectorRect(5.5, 7.25, 300.125, 120), oddStyle()),
            makeElement(304, QStringLiteral("Small"), drawn, VectorRect(5, 5, 15.5, 40), VectorStyle())};
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
    // Artwork drawn in place of the strokes: they are kept in the data.
    image.strokes = {{{0, 0}, {0.3, 0.7}}};

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

// The document as its file carries it: nothing of what a PDF line was.
VectorDocument asWritten(VectorDocument document)
{
    for (VectorPage& page : document.pages) {
        for (VectorElement& element : page.elements) {
            if (TextPayload* text = element.text()) {
                TextPayload plain;
                plain.text = text->text;
                plain.fontFamily = text->fontFamily;
                plain.postScriptFontName = text->postScriptFontName;
                plain.fontSize = text->fontSize;
                plain.isBold = text->isBold;
                plain.isItalic = text->isItalic;
                plain.alignment = text->alignment;
                plain.baselineOffset = text->baselineOffset;
                plain.letterSpacing = text->letterSpacing;
                plain.maskColorHex = QStringLiteral("#FFFFFF");
                *text = plain;
            }
        }
    }
    return document;
}

// Point lists come back within half a hundredth of a page point.
void expectSamePoints(const QList<VectorPoint>& actual, const QList<VectorPoint>& expected, const VectorRect& frame)
{
    ASSERT_EQ(actual.size(), expected.size());
    for (qsizetype i = 0; i < expected.size(); ++i) {
        EXPECT_NEAR(actual[i].x * frame.width, expected[i].x * frame.width, 0.00501) << "point " << i;
        EXPECT_NEAR(actual[i].y * frame.height, expected[i].y * frame.height, 0.00501) << "point " << i;
    }
}

void expectSameKind(const VectorElement& actual, const VectorElement& expected)
{
    if (const auto* path = std::get_if<PathPayload>(&expected.kind)) {
        const auto* read = std::get_if<PathPayload>(&actual.kind);
        ASSERT_TRUE(read);
        EXPECT_EQ(read->startArrow, path->startArrow);
        EXPECT_EQ(read->endArrow, path->endArrow);
        EXPECT_EQ(read->smoothCurves, path->smoothCurves);
        ASSERT_EQ(read->subpaths.size(), path->subpaths.size());
        for (qsizetype i = 0; i < path->subpaths.size(); ++i) {
            EXPECT_EQ(read->subpaths[i].isClosed, path->subpaths[i].isClosed);
            expectSamePoints(read->subpaths[i].points, path->subpaths[i].points, expected.frame);
        }
    } else if (const auto* signature = std::get_if<SignaturePayload>(&expected.kind)) {
        const auto* read = std::get_if<SignaturePayload>(&actual.kind);
        ASSERT_TRUE(read);
        SignaturePayload withoutStrokes = *read;
        withoutStrokes.strokes = signature->strokes;
        EXPECT_EQ(withoutStrokes, *signature);
        ASSERT_EQ(read->strokes.size(), signature->strokes.size());
        for (qsizetype i = 0; i < signature->strokes.size(); ++i) {
            expectSamePoints(read->strokes[i], signature->strokes[i], expected.frame);
        }
    } else {
        EXPECT_EQ(actual.kind, expected.kind) << "kind of " << expected.name.toStdString();
    }
}

void expectSamePages(const QList<VectorPage>& actual, const QList<VectorPage>& written)
{
    const QList<VectorPage> expected = asWritten(VectorDocument::make({}, {}, DocumentSourceFormat::svg,
                                                                      std::nullopt, written, 1)).pages;
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
            EXPECT_FALSE(ae.name.isEmpty() && !ee.name.isEmpty()) << ee.name.toStdString();
            EXPECT_EQ(ae.frame, ee.frame) << ee.name.toStdString();
            EXPECT_EQ(ae.rotationDegrees, ee.rotationDegrees) << ee.name.toStdString();
            EXPECT_EQ(ae.style, ee.style) << ee.name.toStdString();
            EXPECT_EQ(ae.visible, ee.visible) << ee.name.toStdString();
            EXPECT_EQ(ae.locked, ee.locked) << ee.name.toStdString();
            expectSameKind(ae, ee);
        }
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

TEST(SVGRoundTripFile, FilesWrittenBeforeReadAsBefore)
{
    // Every value in the data attributes, names and the PDF line's details
    // included, as the program wrote its files before.
    const QString svg = QStringLiteral(
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        "<svg xmlns=\"http://www.w3.org/2000/svg\" version=\"1.1\" width=\"200\" height=\"100\" "
        "viewBox=\"0 0 200 100\" data-document-title=\"Old\">\n"
        "  <rect width=\"200\" height=\"100\" fill=\"#FFFFFF\" data-role=\"page-background\" "
        "data-page-id=\"00000000-0000-0000-0000-000000000001\" data-page-title=\"P\" data-page-size=\"200 100\"/>\n"
        "  <text x=\"10\" y=\"32\" font-family=\"Helvetica Neue\" font-size=\"12\" text-anchor=\"start\" "
        "fill=\"#111317\" data-id=\"00000000-0000-0000-0000-000000000002\" data-name=\"Secret name\" "
        "data-frame=\"10 20 100 30\" data-fill-color=\"#111317\" data-font-size=\"12\" data-pdf-text=\"true\" "
        "data-original-text=\"Old words\" data-original-rect=\"10 20 100 30\" data-original-font-size=\"12\" "
        "data-original-bold=\"false\" data-original-color=\"#111317\" data-mask-color=\"#FAFAFA\">New</text>\n"
        "  <rect x=\"1\" y=\"2\" width=\"3\" height=\"4\" fill=\"none\" stroke=\"#111317\" stroke-width=\"1.80\" "
        "data-id=\"00000000-0000-0000-0000-000000000003\" data-name=\"Box\" data-frame=\"1 2 3 4\" "
        "data-stroke-color=\"#111317\" data-stroke-width=\"1.8\" data-shape=\"roundedRectangle\" "
        "data-corner-radius=\"0.25\"/>\n"
        "  <path d=\"M 50 60 L 120.50 140.25\" fill=\"none\" stroke=\"#111317\" stroke-width=\"0\" "
        "data-id=\"00000000-0000-0000-0000-000000000004\" data-frame=\"50 60 70.5 80.25\" "
        "data-stroke-color=\"#111317\" data-subpaths=\"M 0,0 0.3333333333333333,1\"/>\n"
        "  <g data-role=\"signature\" data-signer=\"Ada\" data-id=\"00000000-0000-0000-0000-000000000005\" "
        "data-frame=\"0 0 100 40\" data-stroke-color=\"#1E3A8A\" data-strokes=\"M 0,0 0.125,0.875\">\n"
        "    <path d=\"M 0 0 L 12.50 35\" fill=\"none\" stroke=\"#1E3A8A\"/>\n"
        "  </g>\n"
        "</svg>\n");
    const VectorDocument back = SVGCodec::importSVG(svg.toUtf8(), QStringLiteral("Old"), std::nullopt);
    ASSERT_EQ(back.pages.size(), 1);
    const ElementList& elements = back.pages[0].elements;
    ASSERT_EQ(elements.size(), 4);

    const VectorElement& line = elements[0];
    EXPECT_EQ(line.name, QStringLiteral("Secret name"));
    ASSERT_TRUE(line.isPDFText());
    EXPECT_EQ(line.text()->text, QStringLiteral("New"));
    EXPECT_EQ(line.text()->originalPDFText, QStringLiteral("Old words"));
    EXPECT_EQ(line.text()->maskColorHex, QStringLiteral("#FAFAFA"));
    EXPECT_EQ(line.style.fillColorHex, QStringLiteral("#111317"));

    // Without the dialect mark, what the data attributes leave out takes
    // its default, not the plain markup's value.
    const auto* box = std::get_if<ShapePayload>(&elements[1].kind);
    ASSERT_TRUE(box);
    EXPECT_EQ(box->shapeType, VectorShapeType::roundedRectangle);
    EXPECT_EQ(box->cornerRadius, 0.25);
    EXPECT_EQ(elements[1].style.fillColorHex, std::nullopt);
    EXPECT_EQ(elements[1].style.strokeWidth, 1.8);

    const auto* path = std::get_if<PathPayload>(&elements[2].kind);
    ASSERT_TRUE(path);
    ASSERT_EQ(path->subpaths.size(), 1);
    EXPECT_EQ(path->subpaths[0].points, (QList<VectorPoint>{{0, 0}, {1.0 / 3, 1}}));
    EXPECT_FALSE(elements[2].name.isEmpty());

    const auto* signature = std::get_if<SignaturePayload>(&elements[3].kind);
    ASSERT_TRUE(signature);
    EXPECT_EQ(signature->strokes, (QList<QList<VectorPoint>>{{{0, 0}, {0.125, 0.875}}}));
}

TEST(SVGRoundTripFile, NoNameNorWhatAPDFLineWasIsWritten)
{
    VectorDocument document = richDocument();
    QString svg = SVGCodec::exportSVG(document);
    for (const char* name : {"data-name", "data-pdf-text", "data-original", "data-mask-color"}) {
        EXPECT_FALSE(svg.contains(QLatin1String(name))) << name;
    }
    // The PDF line's own text and its element name appear nowhere.
    EXPECT_FALSE(svg.contains(QLatin1String("of the PDF")));
    EXPECT_FALSE(svg.contains(QLatin1String("PDF line")));
    EXPECT_FALSE(svg.contains(QLatin1String("Noto Sans\"")));
    EXPECT_FALSE(svg.contains(QLatin1String("Signature Ad")));
}

TEST(SVGRoundTripFile, WrittenValuesAreNotRepeated)
{
    // A plain rectangle's markup holds all of it exactly: only its identity
    // and frame are added.
    const VectorElement rectangle = makeElement(
        7, QStringLiteral("Box"), ShapePayload::make(VectorShapeType::rectangle, 0, false, false),
        VectorRect(10, 20, 30.5, 40.25), VectorStyle(QStringLiteral("#111317"), QStringLiteral("#FFB454"), 1.5, 0.5, true));
    const QString line = SVGCodec::serializeElement(rectangle, QStringLiteral("  "))[0];
    EXPECT_EQ(line, QStringLiteral("  <rect x=\"10\" y=\"20\" width=\"30.50\" height=\"40.25\" fill=\"#FFB454\" "
                                   "stroke=\"#111317\" stroke-width=\"1.50\" stroke-dasharray=\"6,4\" "
                                   "opacity=\"0.50\" data-id=\"%1\" data-frame=\"10 20 30.5 40.25\"/>")
                        .arg(fixedIdText(7)));
    // A value two decimals cannot hold is added exactly.
    VectorElement fine = rectangle;
    fine.style.strokeWidth = 1.0 / 3;
    fine.style.opacity = 0.9995;
    const QString fineLine = SVGCodec::serializeElement(fine, QStringLiteral("  "))[0];
    EXPECT_TRUE(fineLine.contains(QLatin1String(" data-stroke-width=\"0.3333333333333333\"")));
    EXPECT_TRUE(fineLine.contains(QLatin1String(" data-opacity=\"0.9995\"")));
    const VectorDocument back = SVGCodec::importSVG(
        SVGCodec::exportSVGUtf8(makeDocument(QStringLiteral("D"), {makePage(1, QStringLiteral("P"), 200, 100,
                                                                              {rectangle, fine})})),
        QStringLiteral("D"), std::nullopt);
    ASSERT_EQ(back.pages[0].elements.size(), 2);
    EXPECT_EQ(back.pages[0].elements[0].style, rectangle.style);
    EXPECT_EQ(back.pages[0].elements[0].kind, rectangle.kind);
    EXPECT_EQ(back.pages[0].elements[1].style, fine.style);
    EXPECT_EQ(back.pages[0].elements[0].name, QStringLiteral("Rectangle"));
}

TEST(SVGRoundTripFile, PointsComeBackToTheHundredthOfAPointOrExactly)
{
    const VectorDocument original = richDocument();
    const VectorDocument back = SVGCodec::importSVG(SVGCodec::exportSVGUtf8(original), original.title, std::nullopt);
    const auto pathOf = [](const VectorDocument& document, int id) {
        for (const VectorElement& element : document.pages[2].elements) {
            if (element.id == fixedId(id)) {
                return std::get<PathPayload>(element.kind);
            }
        }
        return PathPayload{};
    };
    // Read from the path data: within half a hundredth of a page point.
    const PathPayload drawn = pathOf(back, 303);
    ASSERT_EQ(drawn.subpaths.size(), 2);
    EXPECT_NEAR(drawn.subpaths[0].points[1].x * 300.125, 300.125 / 3, 0.005);
    EXPECT_NEAR(drawn.subpaths[0].points[1].y * 120, 0.123456789 * 120, 0.005);
    EXPECT_NE(drawn.subpaths[0].points[1].y, 0.123456789);
    EXPECT_TRUE(drawn.subpaths[1].isClosed);
    // A small frame keeps its points exactly, and so do empty point lists.
    EXPECT_EQ(pathOf(back, 304), pathOf(original, 304));
    EXPECT_EQ(pathOf(back, 301), pathOf(original, 301));
}
