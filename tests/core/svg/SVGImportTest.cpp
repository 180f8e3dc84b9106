// Reading foreign SVG and files of the dialect written by other programs
// (without the program's own data- attributes).

#include "SVGTestSupport.h"
#include "support/LanguageFixture.h"
#include "model/RGBAColor.h"

#include <gtest/gtest.h>

using namespace zelvane;
using namespace zelvane::testing;

namespace {

VectorDocument importText(const QString& svg)
{
    return SVGCodec::importSVG(svg.toUtf8(), QStringLiteral("Imported"), std::nullopt);
}

QString wrap(const QString& body, const QString& root = QStringLiteral("<svg xmlns=\"http://www.w3.org/2000/svg\">"))
{
    return root + body + QStringLiteral("</svg>");
}

const ElementList& elementsOf(const VectorDocument& document)
{
    return document.pages.front().elements;
}

VectorElement onlyElement(const QString& body)
{
    const VectorDocument document = importText(wrap(body));
    EXPECT_EQ(elementsOf(document).size(), 1);
    return elementsOf(document).isEmpty() ? VectorElement{} : elementsOf(document).front();
}

}  // namespace

TEST(SVGImportRoot, SizeFromLengthsAndViewBox)
{
    const VectorDocument mm = importText(wrap({}, QStringLiteral("<svg width=\"210mm\" height=\"297mm\">")));
    ASSERT_EQ(mm.pages.size(), 1);
    EXPECT_NEAR(mm.pages[0].width, 595.28, 0.01);
    EXPECT_NEAR(mm.pages[0].height, 841.89, 0.01);
    EXPECT_EQ(mm.pages[0].title, "Page 1");
    EXPECT_EQ(mm.pages[0].backgroundColorHex, "#FFFFFF");
    EXPECT_EQ(mm.title, "Imported");
    EXPECT_EQ(mm.sourceFormat, DocumentSourceFormat::svg);

    const VectorDocument box = importText(wrap({}, QStringLiteral("<svg viewBox=\"0 0 100 50\">")));
    EXPECT_EQ(box.pages[0].width, 100);
    EXPECT_EQ(box.pages[0].height, 64);

    const VectorDocument percent =
        importText(wrap({}, QStringLiteral("<svg width=\"100%\" viewbox=\"0 0 300 200\" height=\"150\">")));
    EXPECT_EQ(percent.pages[0].width, 300);
    EXPECT_EQ(percent.pages[0].height, 150);

    const VectorDocument none = importText(QStringLiteral("<svg/>"));
    EXPECT_EQ(none.pages[0].width, 595.28);
    EXPECT_EQ(none.pages[0].height, 841.89);
}

TEST(SVGImportRoot, ViewBoxOriginDoesNotShiftContent)
{
    const VectorElement rect = importText(wrap(QStringLiteral("<rect x=\"20\" y=\"30\" width=\"5\" height=\"5\"/>"),
                                               QStringLiteral("<svg viewBox=\"10 10 300 200\">")))
                                   .pages[0]
                                   .elements[0];
    EXPECT_EQ(rect.frame, VectorRect(20, 30, 5, 5));
}

TEST(SVGImportPages, PageGroupsBecomePagesInOrder)
{
    const VectorDocument document = importText(
        wrap(QStringLiteral(
                 "<rect x=\"5\" y=\"5\" width=\"9\" height=\"9\"/>"
                 "<g data-page-title=\"A\" data-page-width=\"300\"><rect x=\"1\" y=\"1\" width=\"9\" height=\"9\"/></g>"
                 "<g data-page-title=\"B\" data-page-width=\"300\" transform=\"translate(0,900)\">"
                 "<rect data-role=\"page-background\" fill=\"#f0f0f0\" width=\"300\" height=\"400\"/>"
                 "<rect x=\"2\" y=\"3\" width=\"9\" height=\"9\"/></g>"),
             QStringLiteral("<svg width=\"400\" height=\"500\" data-multipage=\"true\">")));
    ASSERT_EQ(document.pages.size(), 2);
    EXPECT_EQ(document.pages[0].title, "A");
    EXPECT_EQ(document.pages[1].title, "B");
    for (const VectorPage& page : document.pages) {
        EXPECT_EQ(page.width, 300);
        EXPECT_EQ(page.height, 500);
        ASSERT_EQ(page.elements.size(), 1);
    }
    // The rectangle outside the page groups is dropped; the translation of a
    // page group does not move its content.
    EXPECT_EQ(document.pages[0].elements[0].frame, VectorRect(1, 1, 9, 9));
    EXPECT_EQ(document.pages[1].elements[0].frame, VectorRect(2, 3, 9, 9));
    EXPECT_EQ(document.pages[1].backgroundColorHex, "#F0F0F0");
    EXPECT_EQ(document.pages[0].backgroundColorHex, "#FFFFFF");
}

TEST(SVGImportGroups, SignatureGroupInkBecomesOneSignature)
{
    const VectorDocument document =
        importText(wrap(QStringLiteral("<g data-role=\"signature\" data-signer=\"Ada\">"
                                       "<path d=\"M10 10 L60 30\"/><path d=\"M20 40 L80 45\" stroke=\"#ff0000\"/>"
                                       "<text x=\"4\" y=\"50\">Ada</text></g>")));
    ASSERT_EQ(elementsOf(document).size(), 1);
    const VectorElement& element = elementsOf(document)[0];
    const auto* signature = std::get_if<SignaturePayload>(&element.kind);
    ASSERT_NE(signature, nullptr);
    EXPECT_EQ(signature->signerName, "Ada");
    EXPECT_EQ(signature->strokes.size(), 2);
    EXPECT_EQ(element.style.strokeColorHex, QStringLiteral("#1E3A8A"));

    const VectorDocument coloured =
        importText(wrap(QStringLiteral("<g data-role=\"signature\" stroke=\"#00ff00\"><path d=\"M0 0 L10 10\"/></g>")));
    EXPECT_EQ(elementsOf(coloured)[0].style.strokeColorHex, QStringLiteral("#00FF00"));
}

TEST(SVGImportGroups, NestedGroupInSignatureClosesASignatureEarly)
{
    const VectorDocument document =
        importText(wrap(QStringLiteral("<g data-role=\"signature\" data-signer=\"Bo\"><path d=\"M0 0 L10 10\"/>"
                                       "<g><path d=\"M5 5 L20 20\"/></g><path d=\"M30 30 L40 40\"/></g>")));
    ASSERT_EQ(elementsOf(document).size(), 2);
    EXPECT_EQ(std::get<SignaturePayload>(elementsOf(document)[0].kind).strokes.size(), 2);
    EXPECT_EQ(std::get<SignaturePayload>(elementsOf(document)[1].kind).strokes.size(), 1);
    EXPECT_EQ(std::get<SignaturePayload>(elementsOf(document)[1].kind).signerName, "Bo");
}

TEST(SVGImportGroups, StampGroupIsRebuiltFromItsKind)
{
    ScopedLanguage english(AppLanguage::en);
    const VectorDocument document =
        importText(wrap(QStringLiteral("<g data-role=\"stamp\" data-kind=\"draft\"><rect width=\"10\" height=\"10\"/>"
                                       "<text x=\"5\" y=\"5\">Whatever</text></g>"
                                       "<g data-role=\"stamp\" data-kind=\"sticker\"/>"),
                        QStringLiteral("<svg width=\"1000\" height=\"500\">")));
    ASSERT_EQ(elementsOf(document).size(), 2);
    const VectorElement& draft = elementsOf(document)[0];
    EXPECT_EQ(std::get<StampPayload>(draft.kind).stampKind, VectorStampKind::draft);
    EXPECT_EQ(draft.frame.center(), (VectorPoint{720, 410}));
    EXPECT_EQ(std::get<StampPayload>(elementsOf(document)[1].kind).stampKind, VectorStampKind::approved);
}

TEST(SVGImportGroups, TransformsAndInheritedStyles)
{
    const VectorDocument document = importText(wrap(QStringLiteral(
        "<g transform=\"translate(100,0) scale(2)\" stroke=\"#0000ff\" stroke-width=\"3\" fill=\"#00ff00\">"
        "<path d=\"M0 0 L10 0\"/><rect x=\"1\" y=\"1\" width=\"10\" height=\"5\" rx=\"6\" fill=\"none\"/>"
        "<g transform=\"translate(5,0)\"><circle cx=\"0\" cy=\"0\" r=\"1\"/></g></g>")));
    ASSERT_EQ(elementsOf(document).size(), 3);
    const VectorElement& path = elementsOf(document)[0];
    EXPECT_EQ(path.frame.x, 100);
    EXPECT_EQ(path.frame.maxX(), 120);
    EXPECT_EQ(path.style, VectorStyle(QStringLiteral("#0000FF"), QStringLiteral("#00FF00"), 3, 1, false));
    const VectorElement& rect = elementsOf(document)[1];
    EXPECT_EQ(rect.frame, VectorRect(102, 2, 20, 10));
    EXPECT_EQ(std::get<ShapePayload>(rect.kind).cornerRadius, 6);  // not scaled
    EXPECT_EQ(rect.style.fillColorHex, std::nullopt);
    EXPECT_EQ(elementsOf(document)[2].frame, VectorRect(108, -2, 4, 4));
}

TEST(SVGImportShapes, RectangleDefaultsAndRounding)
{
    ScopedLanguage english(AppLanguage::en);
    const VectorElement plain = onlyElement(QStringLiteral("<rect width=\"40\" height=\"20\"/>"));
    EXPECT_EQ(plain.name, "Rectangle");
    EXPECT_EQ(plain.frame, VectorRect(0, 0, 40, 20));
    EXPECT_EQ(plain.style, VectorStyle(std::nullopt, QStringLiteral("#111317"), 0, 1, false));
    EXPECT_TRUE(plain.visible);
    EXPECT_FALSE(plain.locked);
    EXPECT_EQ(plain.rotationDegrees, 0);

    const VectorElement small = onlyElement(QStringLiteral("<rect rx=\"0.4\"/>"));
    EXPECT_EQ(std::get<ShapePayload>(small.kind), ShapePayload::make(VectorShapeType::rectangle, 0.4, false, false));
    EXPECT_EQ(small.frame, VectorRect(0, 0, 60, 40));
    const VectorElement rounded = onlyElement(QStringLiteral("<rect ry=\"6\"/>"));
    EXPECT_EQ(rounded.name, "Rounded Box");
    EXPECT_EQ(std::get<ShapePayload>(rounded.kind).shapeType, VectorShapeType::roundedRectangle);
}

TEST(SVGImportShapes, FullPageRectangleSetsTheBackgroundOnlyFirst)
{
    const QString root = QStringLiteral("<svg width=\"200\" height=\"100\">");
    const VectorDocument background =
        importText(wrap(QStringLiteral("<rect width=\"201\" height=\"99\" fill=\"#F0F0F0\"/>"), root));
    EXPECT_TRUE(background.pages[0].elements.isEmpty());
    EXPECT_EQ(background.pages[0].backgroundColorHex, "#F0F0F0");

    const VectorDocument after =
        importText(wrap(QStringLiteral("<circle/><rect width=\"200\" height=\"100\" fill=\"#F0F0F0\"/>"), root));
    EXPECT_EQ(after.pages[0].elements.size(), 2);
    const VectorDocument none =
        importText(wrap(QStringLiteral("<rect width=\"200\" height=\"100\" fill=\"none\"/>"), root));
    EXPECT_EQ(none.pages[0].elements.size(), 1);
}

TEST(SVGImportShapes, CirclesEllipsesLinesAndPolylines)
{
    ScopedLanguage french(AppLanguage::fr);
    const VectorElement circle = onlyElement(QStringLiteral("<circle/>"));
    EXPECT_EQ(circle.name, "Ellipse");
    EXPECT_EQ(circle.frame, VectorRect(25, 25, 50, 50));
    EXPECT_EQ(std::get<ShapePayload>(circle.kind).cornerRadius, 8);
    EXPECT_EQ(onlyElement(QStringLiteral("<ellipse/>")).frame, VectorRect(20, 30, 60, 40));

    const VectorElement line = onlyElement(QStringLiteral("<line/>"));
    EXPECT_EQ(line.name, "Ligne");
    EXPECT_EQ(line.frame, VectorRect(0, 0, 80, 80));
    EXPECT_EQ(line.style.strokeColorHex, QStringLiteral("#111317"));
    EXPECT_EQ(line.style.strokeWidth, 0);
    const auto& linePath = std::get<PathPayload>(line.kind);
    EXPECT_EQ(linePath.subpaths, (QList<VectorSubpath>{VectorSubpath{{{0, 0}, {1, 1}}, false}}));
    EXPECT_TRUE(linePath.smoothCurves);

    const VectorElement odd = onlyElement(QStringLiteral("<polyline points=\"0,0 10,10 20\"/>"));
    EXPECT_EQ(odd.name, "Polyligne");
    EXPECT_EQ(std::get<PathPayload>(odd.kind).subpaths[0].points.size(), 2);
    const VectorElement polygon = onlyElement(QStringLiteral("<polygon points=\"0,0 40,0 40,40\"/>"));
    EXPECT_EQ(polygon.name, "Polygone");
    EXPECT_TRUE(std::get<PathPayload>(polygon.kind).subpaths[0].isClosed);
    EXPECT_EQ(polygon.style.fillColorHex, QStringLiteral("#111317"));

    EXPECT_TRUE(importText(wrap(QStringLiteral("<polyline points=\"5,5\"/><polygon/>"))).pages[0].elements.isEmpty());
}

TEST(SVGImportPaths, NamesColoursAndGeometry)
{
    ScopedLanguage english(AppLanguage::en);
    const VectorElement logo =
        onlyElement(QStringLiteral("<path id=\"logo\" d=\"M0 0 L10 0 L10 10 Z\" fill=\"#ff0000\"/>"));
    EXPECT_EQ(logo.name, "logo");
    EXPECT_EQ(logo.style.strokeColorHex, std::nullopt);
    EXPECT_EQ(logo.style.fillColorHex, QStringLiteral("#FF0000"));
    EXPECT_EQ(logo.frame, VectorRect(0, 0, 10, 10));
    EXPECT_EQ(std::get<PathPayload>(logo.kind).subpaths,
              (QList<VectorSubpath>{VectorSubpath{{{0, 0}, {1, 0}, {1, 1}}, true}}));

    const VectorElement plain = onlyElement(QStringLiteral("<path d=\"M5 5 L6 5\"/>"));
    EXPECT_EQ(plain.name, "Vector Path");
    EXPECT_EQ(plain.style.strokeColorHex, QStringLiteral("#111317"));
    EXPECT_EQ(plain.frame, VectorRect(5, 5, 4, 4));  // at least 4 on each side
    EXPECT_TRUE(importText(wrap(QStringLiteral("<path/><path d=\"\"/><path d=\"Z\"/>"))).pages[0].elements.isEmpty());
}

TEST(SVGImportText, PositionSizeAndDefaults)
{
    const VectorElement hi = onlyElement(QStringLiteral("<text x=\"10\" y=\"30\" font-size=\"12\">Hi</text>"));
    const auto& text = std::get<TextPayload>(hi.kind);
    EXPECT_EQ(text.text, "Hi");
    EXPECT_EQ(hi.name, "Hi");
    EXPECT_EQ(hi.frame.x, 10);
    EXPECT_EQ(hi.frame.y, 18);
    EXPECT_EQ(hi.frame.width, 48);
    EXPECT_NEAR(hi.frame.height, 15.84, 1e-9);
    EXPECT_EQ(text.alignment, TextAlignmentMode::left);
    EXPECT_EQ(text.fontFamily, "Helvetica Neue");
    EXPECT_EQ(text.maskColorHex, "#FFFFFF");
    EXPECT_EQ(hi.style, VectorStyle(std::nullopt, QStringLiteral("#111317"), 0, 1, false));

    const VectorElement end = onlyElement(QStringLiteral("<text x=\"100\" text-anchor=\"end\">ab</text>"));
    EXPECT_EQ(end.frame.x, 52);
    EXPECT_EQ(std::get<TextPayload>(end.kind).alignment, TextAlignmentMode::right);
    EXPECT_EQ(end.frame.y, 24);  // default baseline 14 + 24, minus the size

    const QString longText = QStringLiteral("abcdefghijklmnopqrstuvwxyz0123456789");
    EXPECT_EQ(onlyElement(QStringLiteral("<text>") + longText + QStringLiteral("</text>")).name, longText.left(28));
}

TEST(SVGImportText, WeightSlantFamilyAndColour)
{
    auto text = [](const QString& attributes) {
        return onlyElement(QStringLiteral("<text ") + attributes + QStringLiteral(">x</text>"));
    };
    EXPECT_FALSE(std::get<TextPayload>(text(QStringLiteral("font-weight=\"600\"")).kind).isBold);
    EXPECT_TRUE(std::get<TextPayload>(text(QStringLiteral("font-weight=\"Bold\"")).kind).isBold);
    EXPECT_TRUE(std::get<TextPayload>(text(QStringLiteral("font-weight=\"700\"")).kind).isBold);
    EXPECT_FALSE(std::get<TextPayload>(text(QStringLiteral("font-style=\"oblique\"")).kind).isItalic);
    EXPECT_TRUE(std::get<TextPayload>(text(QStringLiteral("style=\"font-style: Italic\"")).kind).isItalic);
    EXPECT_EQ(std::get<TextPayload>(text(QStringLiteral("font-family=\"'Open Sans', Arial\"")).kind).fontFamily,
              "Open Sans, Arial");
    EXPECT_EQ(text(QStringLiteral("fill=\"red\"")).style.fillColorHex,
              RGBAColor::fromHex(QStringLiteral("red"))->hexString());
    const VectorElement inherited =
        importText(wrap(QStringLiteral("<g fill=\"#00ff00\"><text fill=\"none\">x</text></g>"))).pages[0].elements[0];
    EXPECT_EQ(inherited.style.fillColorHex, QStringLiteral("#00FF00"));
}

TEST(SVGImportText, SpansJoinWithLineFeeds)
{
    const VectorElement oneLine = onlyElement(QStringLiteral("<text><tspan>a</tspan><tspan>b</tspan></text>"));
    EXPECT_EQ(std::get<TextPayload>(oneLine.kind).text, "a\nb");
    const VectorElement indented =
        onlyElement(QStringLiteral("<text>\n  <tspan>a</tspan>\n  <tspan>b</tspan>\n</text>"));
    EXPECT_EQ(std::get<TextPayload>(indented.kind).text, "a\n  \nb");
    EXPECT_TRUE(importText(wrap(QStringLiteral("<text>  \n </text>"))).pages[0].elements.isEmpty());
}

TEST(SVGImportText, TextsInStampsAndInkInSignaturesBuildNoElement)
{
    const VectorDocument document =
        importText(wrap(QStringLiteral("<g data-role=\"stamp\" data-kind=\"check\"><text>Inside</text></g>"
                                       "<g data-role=\"signature\"><text>Caption</text></g>")));
    ASSERT_EQ(elementsOf(document).size(), 1);
    EXPECT_TRUE(std::holds_alternative<StampPayload>(elementsOf(document)[0].kind));
}

TEST(SVGImportOther, UnknownTagsAreIgnoredButTheirContentIsRead)
{
    const VectorDocument document = importText(wrap(
        QStringLiteral("<defs><rect width=\"5\" height=\"5\"/></defs><image href=\"x.png\"/><use href=\"#a\"/>"
                       "<title>T</title><svg:rect xmlns:svg=\"http://www.w3.org/2000/svg\" width=\"3\" height=\"3\"/>"
                       "<!-- comment --><![CDATA[ignored]]>")));
    ASSERT_EQ(elementsOf(document).size(), 1);
    EXPECT_EQ(elementsOf(document)[0].frame, VectorRect(0, 0, 5, 5));
}

TEST(SVGImportOther, PrefixedRootStillCountsAsSVG)
{
    const VectorDocument document = importText(QStringLiteral(
        "<svg:svg xmlns:svg=\"http://www.w3.org/2000/svg\"><svg:rect width=\"3\" height=\"3\"/></svg:svg>"));
    EXPECT_EQ(document.pages.size(), 1);
    EXPECT_TRUE(document.pages[0].elements.isEmpty());
}

TEST(SVGImportOther, StringEntryPointReadsTheSameAsBytes)
{
    const QString svg = wrap(QStringLiteral("<text x=\"1\" y=\"20\">caf\u00e9</text>"));
    const VectorDocument fromString =
        SVGCodec::importSVG(svg, QStringLiteral("S"), QUrl(QStringLiteral("file:///a.svg")));
    EXPECT_EQ(std::get<TextPayload>(fromString.pages[0].elements[0].kind).text, QStringLiteral("caf\u00e9"));
    EXPECT_EQ(fromString.fileURL, QUrl(QStringLiteral("file:///a.svg")));
    EXPECT_EQ(fromString.revision, 1);
}
