// Element markup of the program's SVG. The expected texts are the dialect's
// lines; the program's data- attributes follow the dialect's attributes on
// the element's outermost tag (before ">" or "/>"), as the full-line checks
// show, and withoutOwnData() takes them out again.

#include "core/svg/SVGTestSupport.h"
#include "export/SVGElementWriter.h"

#include <gtest/gtest.h>
#include <cmath>

using namespace zelvane;
using namespace zelvane::testing;
using SVGCodec::serializeElement;

namespace {

const QString kIndent = QStringLiteral("  ");

QStringList dialectLines(const VectorElement& element)
{
    return withoutOwnData(serializeElement(element, kIndent));
}

VectorElement textElement(const QString& content, TextAlignmentMode alignment = TextAlignmentMode::left,
                          double fontSize = 12)
{
    TextPayload text;
    text.text = content;
    text.fontFamily = QStringLiteral("Helvetica Neue");
    text.fontSize = fontSize;
    text.alignment = alignment;
    return makeElement(7, QStringLiteral("Hello"), text, VectorRect(10, 20, 100, 30),
                       VectorStyle(std::nullopt, QStringLiteral("#111317"), 0, 1, false));
}

VectorElement shapeElement(VectorShapeType type, VectorRect frame, double strokeWidth = 1, bool endArrow = false)
{
    ShapePayload shape;
    shape.shapeType = type;
    shape.cornerRadius = 8;
    shape.endArrow = endArrow;
    return makeElement(8, QStringLiteral("Shape"), shape, frame,
                       VectorStyle(QStringLiteral("#000000"), QStringLiteral("#FF0000"), strokeWidth, 1, false));
}

VectorElement stampElement(VectorStampKind kind, const QString& title, const QString& subtitle, VectorRect frame)
{
    StampPayload stamp;
    stamp.stampKind = kind;
    stamp.title = title;
    stamp.subtitle = subtitle;
    return makeElement(9, title, stamp, frame, VectorStyle(std::nullopt, std::nullopt, 0, 1, false));
}

double distance(const QString& a, const QString& b)
{
    const QStringList pa = a.split(u',');
    const QStringList pb = b.split(u',');
    return std::hypot(pa[0].toDouble() - pb[0].toDouble(), pa[1].toDouble() - pb[1].toDouble());
}

}  // namespace

TEST(SVGTextMarkup, OneLineTextIsOneElement)
{
    const QStringList lines = serializeElement(textElement(QStringLiteral("Hello")), kIndent);
    ASSERT_EQ(lines.size(), 1);
    EXPECT_EQ(lines[0], QStringLiteral("  <text x=\"10\" y=\"32\" font-family=\"Helvetica Neue\" font-size=\"12\" "
                                       "text-anchor=\"start\" fill=\"#111317\" data-id=\"%1\" "
                                       "data-frame=\"10 20 100 30\">Hello</text>")
                            .arg(fixedIdText(7)));
    EXPECT_EQ(withoutOwnData(lines[0]),
              QStringLiteral("  <text x=\"10\" y=\"32\" font-family=\"Helvetica Neue\" font-size=\"12\" "
                             "text-anchor=\"start\" fill=\"#111317\">Hello</text>"));
}

TEST(SVGTextMarkup, AlignmentMovesTheAnchor)
{
    EXPECT_EQ(dialectLines(textElement(QStringLiteral("Hello"), TextAlignmentMode::right))[0],
              QStringLiteral("  <text x=\"110\" y=\"32\" font-family=\"Helvetica Neue\" font-size=\"12\" "
                             "text-anchor=\"end\" fill=\"#111317\">Hello</text>"));
    EXPECT_EQ(dialectLines(textElement(QStringLiteral("Hello"), TextAlignmentMode::center))[0],
              QStringLiteral("  <text x=\"60\" y=\"32\" font-family=\"Helvetica Neue\" font-size=\"12\" "
                             "text-anchor=\"middle\" fill=\"#111317\">Hello</text>"));
}

TEST(SVGTextMarkup, LineFeedsBecomeSpans)
{
    const QStringList lines = dialectLines(textElement(QStringLiteral("a\n\nb"), TextAlignmentMode::left, 10));
    EXPECT_EQ(lines, (QStringList{
                         QStringLiteral("  <text x=\"10\" y=\"30\" font-family=\"Helvetica Neue\" font-size=\"10\" "
                                        "text-anchor=\"start\" fill=\"#111317\">"),
                         QStringLiteral("    <tspan x=\"10\" dy=\"0\">a</tspan>"),
                         QStringLiteral("    <tspan x=\"10\" dy=\"12.80\"></tspan>"),
                         QStringLiteral("    <tspan x=\"10\" dy=\"12.80\">b</tspan>"),
                         QStringLiteral("  </text>"),
                     }));
    EXPECT_EQ(dialectLines(textElement(QStringLiteral("end\n"))).size(), 4);
    // A carriage return and line feed stay together and do not split.
    EXPECT_EQ(dialectLines(textElement(QStringLiteral("a\r\nb"))).size(), 1);
}

TEST(SVGTextMarkup, EmptyTextWeightSlantAndColourFallbacks)
{
    EXPECT_TRUE(dialectLines(textElement(QString()))[0].endsWith(QLatin1String("fill=\"#111317\"></text>")));

    VectorElement styled = textElement(QStringLiteral("R&D"));
    auto& payload = std::get<TextPayload>(styled.kind);
    payload.isBold = true;
    payload.isItalic = true;
    styled.style = VectorStyle(QStringLiteral("#123456"), std::nullopt, 0, 0.5, false);
    styled.rotationDegrees = 90;
    EXPECT_EQ(dialectLines(styled)[0],
              QStringLiteral("  <text x=\"10\" y=\"32\" font-family=\"Helvetica Neue\" font-size=\"12\" "
                             "font-weight=\"bold\" font-style=\"italic\" text-anchor=\"start\" fill=\"#123456\" "
                             "opacity=\"0.50\" transform=\"rotate(90 60 35)\">R&amp;D</text>"));
    styled.style = VectorStyle();
    EXPECT_TRUE(dialectLines(styled)[0].contains(QLatin1String("fill=\"#111317\"")));
}

TEST(SVGShapeMarkup, EachShapeTypeHasItsElement)
{
    EXPECT_EQ(dialectLines(shapeElement(VectorShapeType::rectangle, VectorRect(10, 20, 40, 30))),
              QStringList{QStringLiteral("  <rect x=\"10\" y=\"20\" width=\"40\" height=\"30\" fill=\"#FF0000\" "
                                         "stroke=\"#000000\" stroke-width=\"1\"/>")});
    EXPECT_EQ(dialectLines(shapeElement(VectorShapeType::roundedRectangle, VectorRect(10, 20, 40, 30))),
              QStringList{QStringLiteral("  <rect x=\"10\" y=\"20\" width=\"40\" height=\"30\" rx=\"8\" ry=\"8\" "
                                         "fill=\"#FF0000\" stroke=\"#000000\" stroke-width=\"1\"/>")});
    EXPECT_EQ(dialectLines(shapeElement(VectorShapeType::ellipse, VectorRect(10, 20, 40, 30))),
              QStringList{QStringLiteral("  <ellipse cx=\"30\" cy=\"35\" rx=\"20\" ry=\"15\" fill=\"#FF0000\" "
                                         "stroke=\"#000000\" stroke-width=\"1\"/>")});
    EXPECT_EQ(dialectLines(shapeElement(VectorShapeType::diamond, VectorRect(0, 0, 40, 20))),
              QStringList{QStringLiteral("  <polygon points=\"20,0 40,10 20,20 0,10\" fill=\"#FF0000\" "
                                         "stroke=\"#000000\" stroke-width=\"1\"/>")});
}

TEST(SVGShapeMarkup, LinesAndArrowsRunBottomLeftToTopRight)
{
    const QString line = QStringLiteral(
        "  <line x1=\"10\" y1=\"60\" x2=\"110\" y2=\"10\" stroke=\"#000000\" "
        "stroke-width=\"1\" stroke-linecap=\"round\"/>");
    const QString head = QStringLiteral("  <polygon points=\"110,10 105.33,16.49 102,9.84\" fill=\"#000000\"/>");
    EXPECT_EQ(dialectLines(shapeElement(VectorShapeType::line, VectorRect(10, 10, 100, 50))), QStringList{line});
    EXPECT_EQ(dialectLines(shapeElement(VectorShapeType::line, VectorRect(10, 10, 100, 50), 1, true)),
              (QStringList{line, head}));
    EXPECT_EQ(dialectLines(shapeElement(VectorShapeType::arrow, VectorRect(10, 10, 100, 50))),
              (QStringList{line, head}));

    // The head is marked so that reading the file back does not make it an element.
    const QStringList full =
        serializeElement(shapeElement(VectorShapeType::arrow, VectorRect(10, 10, 100, 50)), kIndent);
    EXPECT_EQ(full[1], head.chopped(2) + QStringLiteral(" data-arrow-head=\"true\"/>"));
}

TEST(SVGShapeMarkup, ArrowHeadLengthFollowsTheStrokeWidth)
{
    auto headLength = [](double strokeWidth) {
        const QStringList lines =
            dialectLines(shapeElement(VectorShapeType::arrow, VectorRect(0, 0, 100, 40), strokeWidth));
        const QString points = lines[1].section(u'"', 1, 1);
        const QStringList corners = points.split(u' ');
        return distance(corners[0], corners[1]);
    };
    EXPECT_NEAR(headLength(1), 8, 0.01);
    EXPECT_NEAR(headLength(3), 12.6, 0.01);
    EXPECT_EQ(SVGCodec::arrowHeadSVGPoints({0, 0}, {100, 0}, 8), "100,0 92.92,3.72 92.92,-3.72");
}

TEST(SVGShapeMarkup, RotationOpacityAndDash)
{
    VectorElement element = shapeElement(VectorShapeType::rectangle, VectorRect(0, 0, 100, 50));
    element.rotationDegrees = 0.005;
    element.style.opacity = 0.999;
    EXPECT_FALSE(dialectLines(element)[0].contains(QLatin1String("transform")));
    EXPECT_FALSE(dialectLines(element)[0].contains(QLatin1String("opacity")));
    element.rotationDegrees = 90;
    element.style.opacity = 0.5;
    element.style.dashed = true;
    EXPECT_EQ(dialectLines(element)[0],
              QStringLiteral("  <rect x=\"0\" y=\"0\" width=\"100\" height=\"50\" fill=\"#FF0000\" stroke=\"#000000\" "
                             "stroke-width=\"1\" stroke-dasharray=\"6,4\" opacity=\"0.50\" "
                             "transform=\"rotate(90 50 25)\"/>"));
}

TEST(SVGPathMarkup, SubpathsBecomeMoveLineAndClose)
{
    PathPayload path;
    path.subpaths = {VectorSubpath{{{0, 0}, {1, 0}, {0.5, 1}}, true}, VectorSubpath{},
                     VectorSubpath{{{0, 0.5}}, false}};
    const VectorElement element = makeElement(4, QStringLiteral("Path"), path, VectorRect(10, 20, 20, 41),
                                              VectorStyle(QStringLiteral("#111317"), std::nullopt, 2, 1, false));
    EXPECT_EQ(dialectLines(element),
              QStringList{QStringLiteral("  <path d=\"M 10 20 L 30 20 L 20 61 Z M 10 40.50\" fill=\"none\" "
                                         "stroke=\"#111317\" stroke-width=\"2\" stroke-linecap=\"round\" "
                                         "stroke-linejoin=\"round\"/>")});
    const VectorElement empty =
        makeElement(4, QStringLiteral("Path"), PathPayload{}, VectorRect(0, 0, 10, 10), VectorStyle());
    EXPECT_TRUE(dialectLines(empty)[0].startsWith(QLatin1String("  <path d=\"\" fill=\"none\" stroke=\"none\"")));
}

TEST(SVGSignatureMarkup, InkStrokesAndCaption)
{
    SignaturePayload signature;
    signature.signerName = QStringLiteral("Director");
    signature.dateLabel = QStringLiteral("01/02/2025");
    signature.strokes = {{{0, 0}, {1, 1}}, {}};
    const VectorElement element = makeElement(5, QStringLiteral("Signature"), signature, VectorRect(10, 10, 100, 40),
                                              VectorStyle(QStringLiteral("#1E3A8A"), std::nullopt, 2.2, 1, false));
    EXPECT_EQ(dialectLines(element),
              (QStringList{
                  QStringLiteral("  <g data-role=\"signature\" data-signer=\"Director\">"),
                  QStringLiteral("    <path d=\"M 10 10 L 110 50\" fill=\"none\" stroke=\"#1E3A8A\" "
                                 "stroke-width=\"2.20\" stroke-linecap=\"round\" stroke-linejoin=\"round\"/>"),
                  QStringLiteral("    <text x=\"14\" y=\"48\" font-family=\"Helvetica Neue\" font-size=\"9\" "
                                 "fill=\"#1E3A8A\">Director \u00B7 01/02/2025</text>"),
                  QStringLiteral("  </g>"),
              }));
    const QStringList full = serializeElement(element, kIndent);
    EXPECT_TRUE(full[0].startsWith(
        QStringLiteral("  <g data-role=\"signature\" data-signer=\"Director\" data-id=\"%1\"").arg(fixedIdText(5))));
    EXPECT_TRUE(full[0].contains(QLatin1String(" data-strokes=\"M 0,0 1,1 M\"")));
}

TEST(SVGSignatureMarkup, NoCaptionWithoutTexts)
{
    SignaturePayload signature;
    const VectorElement element = makeElement(5, QString(), signature, VectorRect(0, 0, 100, 40),
                                              VectorStyle(std::nullopt, std::nullopt, 1, 1, false));
    EXPECT_EQ(dialectLines(element), (QStringList{QStringLiteral("  <g data-role=\"signature\" data-signer=\"\">"),
                                                  QStringLiteral("  </g>")}));
}

TEST(SVGStampMarkup, MatchesTheDialectExample)
{
    const VectorElement stamp =
        stampElement(VectorStampKind::approved, QStringLiteral("Approved"), QString(), VectorRect(100, 200, 160, 60));
    const QStringList lines = serializeElement(stamp, kIndent);
    EXPECT_EQ(lines[0], QStringLiteral("  <g data-role=\"stamp\" data-kind=\"approved\" data-id=\"%1\" "
                                       "data-frame=\"100 200 160 60\" data-title=\"Approved\">")
                            .arg(fixedIdText(9)));
    EXPECT_EQ(withoutOwnData(lines),
              (QStringList{
                  QStringLiteral("  <g data-role=\"stamp\" data-kind=\"approved\">"),
                  QStringLiteral("    <rect x=\"100\" y=\"200\" width=\"160\" height=\"60\" rx=\"6\" ry=\"6\" "
                                 "fill=\"#16A34A\" fill-opacity=\"0.10\" stroke=\"#16A34A\" stroke-width=\"2.2\"/>"),
                  QStringLiteral("    <rect x=\"103\" y=\"203\" width=\"154\" height=\"54\" rx=\"4\" ry=\"4\" "
                                 "fill=\"none\" stroke=\"#16A34A\" stroke-width=\"0.9\"/>"),
                  QStringLiteral("    <text x=\"180\" y=\"228.80\" font-family=\"Helvetica Neue\" font-size=\"13\" "
                                 "font-weight=\"bold\" text-anchor=\"middle\" fill=\"#16A34A\">Approved</text>"),
                  QStringLiteral("  </g>"),
              }));
}

TEST(SVGStampMarkup, KindColourSubtitleAndSmallFrames)
{
    const QStringList draft = dialectLines(
        stampElement(VectorStampKind::draft, QStringLiteral("DRAFT"), QStringLiteral("v2"), VectorRect(0, 0, 4, 100)));
    ASSERT_EQ(draft.size(), 6);
    EXPECT_TRUE(draft[1].contains(QLatin1String("fill=\"#6B7280\"")));
    EXPECT_TRUE(draft[2].contains(QLatin1String("width=\"2\" height=\"94\"")));
    EXPECT_EQ(draft[4], QStringLiteral("    <text x=\"2\" y=\"78\" font-family=\"Helvetica Neue\" font-size=\"8.5\" "
                                       "text-anchor=\"middle\" fill=\"#6B7280\">v2</text>"));
    EXPECT_EQ(dialectLines(stampElement(VectorStampKind::signed_, QString(), QString(), VectorRect(0, 0, 100, 50)))[0],
              QStringLiteral("  <g data-role=\"stamp\" data-kind=\"signed\">"));
}

TEST(SVGArtworkMarkup, CorruptArtworkFallsBackToTheDrawing)
{
    VectorElement plain =
        stampElement(VectorStampKind::approved, QStringLiteral("OK"), QString(), VectorRect(0, 0, 100, 50));
    VectorElement corrupt = plain;
    auto& payload = std::get<StampPayload>(corrupt.kind);
    payload.assetData = QByteArray("not an image at all");
    payload.assetExtension = QStringLiteral("png");
    EXPECT_EQ(dialectLines(corrupt), dialectLines(plain));
}

TEST(SVGArtworkMarkup, BitmapArtworkIsEmbeddedAsPNG)
{
    SignaturePayload signature;
    signature.signerName = QStringLiteral("Ann");
    signature.assetData = pngBytes(40, 20);
    signature.assetExtension = QStringLiteral("png");
    const VectorElement element = makeElement(6, QStringLiteral("Ann"), signature, VectorRect(5, 6, 80, 40),
                                              VectorStyle(QStringLiteral("#1E3A8A"), std::nullopt, 2, 1, false));
    const QStringList lines = dialectLines(element);
    ASSERT_EQ(lines.size(), 3);
    const QString prefix = QStringLiteral(
        "    <image x=\"5\" y=\"6\" width=\"80\" height=\"40\" "
        "href=\"data:image/png;base64,");
    ASSERT_TRUE(lines[1].startsWith(prefix));
    const QByteArray png = QByteArray::fromBase64(lines[1].mid(prefix.size()).chopped(3).toLatin1());
    EXPECT_EQ(QImage::fromData(png, "PNG").size(), QSize(40, 20));
    EXPECT_EQ(lines[2], QStringLiteral("  </g>"));
}
