#include "svg/SVGAttributes.h"
#include "svg/SVGValueText.h"

#include <QXmlStreamReader>
#include <gtest/gtest.h>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string>

using namespace zelvane;
using namespace zelvane::SVGCodec;

namespace {

SVGAttributeTable table(std::initializer_list<std::pair<QString, QString>> entries)
{
    SVGAttributeTable result;
    for (const auto& [key, value] : entries) {
        result.insert(key, value);
    }
    return result;
}

std::optional<double> dimension(const char* text)
{
    return parseDimension(std::optional<QString>(QString::fromUtf8(text)));
}

}  // namespace

TEST(SVGStyleDeclarations, MergeOverPlainAttributesWithLowerCasedKeys)
{
    const SVGAttributeTable merged =
        mergedAttributes(table({{"fill", "green"}, {"style", "fill: #ff0000 ; STROKE:blue"}}));
    EXPECT_EQ(merged.value("fill"), "#ff0000");
    EXPECT_EQ(merged.value("stroke"), "blue");
    EXPECT_EQ(merged.value("style"), "fill: #ff0000 ; STROKE:blue");
}

TEST(SVGStyleDeclarations, SplitOnceAtTheFirstUsableColon)
{
    EXPECT_EQ(mergedAttributes(table({{"style", "a:b:c"}})).value("a"), "b:c");
    EXPECT_EQ(mergedAttributes(table({{"style", ":fill:red"}})).value("fill"), "red");
    EXPECT_FALSE(mergedAttributes(table({{"style", "fill:"}})).contains("fill"));
    const SVGAttributeTable blank = mergedAttributes(table({{"style", "fill: "}}));
    ASSERT_TRUE(blank.contains("fill"));
    EXPECT_EQ(blank.value("fill"), "");
    // A line break is not trimmed, so the key that follows it is never looked up.
    const SVGAttributeTable broken = mergedAttributes(table({{"style", "fill:#000;\n stroke:#fff"}}));
    EXPECT_EQ(broken.value("fill"), "#000");
    EXPECT_FALSE(broken.contains("stroke"));
    EXPECT_TRUE(mergedAttributes(table({{"style", ";;:;"}})).size() == 1);
}

// The table of a start tag as the reader reports it.
SVGAttributeTable startTag(const char* markup)
{
    QXmlStreamReader reader{QByteArray(markup)};
    reader.setNamespaceProcessing(false);
    while (!reader.atEnd() && reader.readNext() != QXmlStreamReader::StartElement) {
    }
    return SVGAttributeTable(reader.attributes());
}

TEST(SVGAttributeTables, ReadAStartTagsAttributesByQualifiedName)
{
    const SVGAttributeTable tag =
        startTag("<rect x='1' z:role='bg' height='' viewBox='0 0 2 2' fill='&amp;red'/>");
    EXPECT_EQ(tag.size(), 5);
    EXPECT_EQ(tag.value("x"), "1");
    EXPECT_EQ(tag.value(QLatin1String("z:role")), "bg");
    EXPECT_FALSE(tag.contains("role"));
    EXPECT_EQ(tag.value(QStringLiteral("viewBox")), "0 0 2 2");
    EXPECT_FALSE(tag.contains("viewbox"));
    EXPECT_EQ(tag.value("fill"), "&red");
    ASSERT_TRUE(tag.contains("height"));
    EXPECT_EQ(tag.value("height"), "");
    EXPECT_FALSE(tag.contains("width"));
    EXPECT_EQ(tag.value("width"), QString());
    EXPECT_EQ(tag.constFind("width"), tag.constEnd());
}

TEST(SVGAttributeTables, DeclarationsWinAndOutliveTheReader)
{
    SVGAttributeTable merged;
    {
        merged = mergedAttributes(startTag("<g fill='green' stroke='red' style='fill:blue;FILL:navy'/>"));
    }
    EXPECT_EQ(merged.value("fill"), "navy");
    EXPECT_EQ(merged.value("stroke"), "red");
    EXPECT_EQ(merged.size(), 3);
    merged.insert(QStringLiteral("stroke"), QStringLiteral("black"));
    merged.insert(QStringLiteral("stroke"), QStringLiteral("white"));
    EXPECT_EQ(merged.value("stroke"), "white");
    EXPECT_EQ(merged.size(), 3);
    const SVGAttributeTable copy = merged;
    EXPECT_EQ(copy.constFind("fill").value(), "navy");
}

TEST(SVGLengths, ReadPointsPixelsAndMillimetres)
{
    EXPECT_EQ(dimension("12px"), 12);
    EXPECT_EQ(dimension("12pt"), 12);
    EXPECT_EQ(dimension(" 12 "), 12);
    EXPECT_EQ(dimension("25.4mm"), 72);
    EXPECT_EQ(dimension("1px2"), 12);
    EXPECT_EQ(dimension("-3.5e1"), -35);
}

TEST(SVGLengths, RefuseOtherUnitsAndUnreadableTexts)
{
    for (const char* text : {"10 px", "1in", "2cm", "50%", "1em", "", "   ", "abc", "inf", "nan", "1e999", "mm"}) {
        EXPECT_FALSE(dimension(text).has_value()) << text;
    }
    EXPECT_FALSE(parseDimension(std::nullopt).has_value());
}

TEST(SVGTransforms, ReadTheFirstTranslateAndScale)
{
    EXPECT_EQ(parseTransform("translate(10)"), (SVGTransform{10, 0, 1, 1}));
    EXPECT_EQ(parseTransform("scale(2)"), (SVGTransform{0, 0, 2, 2}));
    EXPECT_EQ(parseTransform("scale(2,3) translate(5 6)"), (SVGTransform{5, 6, 2, 3}));
    EXPECT_EQ(parseTransform("translate(5 6) scale(2,3)"), (SVGTransform{5, 6, 2, 3}));
    EXPECT_EQ(parseTransform("rotate(30) matrix(1,0,0,1,5,5)"), (SVGTransform{0, 0, 1, 1}));
    EXPECT_EQ(parseTransform("translate(10,20"), (SVGTransform{0, 0, 1, 1}));
    EXPECT_EQ(parseTransform("translate(1,2) translate(7,8)"), (SVGTransform{1, 2, 1, 1}));
}

TEST(SVGTransforms, NestedGroupsComposeOutermostFirst)
{
    const SVGCurrentTransform t = SVGCurrentTransform{}
                                      .then(parseTransform("translate(10,0)"))
                                      .then(parseTransform("scale(2)"))
                                      .then(parseTransform("translate(5,0)"));
    EXPECT_EQ(t.apply(1, 0).x, 22);
}

TEST(SVGStyles, DefaultsWithoutAttributes)
{
    const VectorStyle style = buildStyle({}, QStringLiteral("#111317"), {});
    EXPECT_EQ(style, VectorStyle(std::nullopt, QStringLiteral("#111317"), 0, 1, false));
}

TEST(SVGStyles, StrokeIsNormalisedAndGetsADefaultWidth)
{
    const VectorStyle style = buildStyle(table({{"stroke", "#000"}}), std::nullopt, {});
    EXPECT_EQ(style.strokeColorHex, QStringLiteral("#000000"));
    EXPECT_EQ(style.strokeWidth, 1.6);
    EXPECT_EQ(buildStyle(table({{"stroke", "#000"}, {"stroke-width", "-2"}}), std::nullopt, {}).strokeWidth, 0);
}

TEST(SVGStyles, ExplicitNoneFillBlocksInheritance)
{
    SVGInheritedStyle parent;
    parent.fillHex = QStringLiteral("#FF0000");
    EXPECT_EQ(buildStyle(table({{"fill", "none"}}), QStringLiteral("#111317"), parent).fillColorHex, std::nullopt);
    EXPECT_EQ(buildStyle({}, QStringLiteral("#111317"), parent).fillColorHex, QStringLiteral("#FF0000"));
    EXPECT_EQ(buildStyle(table({{"fill", "url(#g)"}}), QStringLiteral("#111317"), parent).fillColorHex, std::nullopt);
    parent.strokeWidth = 3;
    EXPECT_EQ(buildStyle({}, std::nullopt, parent).strokeWidth, 3);
}

TEST(SVGStyles, OpacityIsClampedAndFallsBackToTheParent)
{
    SVGInheritedStyle parent;
    parent.opacity = 0.7;
    auto opacity = [&](const char* text) {
        return buildStyle(table({{"opacity", QString::fromUtf8(text)}}), std::nullopt, parent).opacity;
    };
    EXPECT_EQ(opacity("0"), 0.05);
    EXPECT_EQ(opacity("1.5"), 1);
    EXPECT_EQ(opacity("nan"), 0.05);
    EXPECT_EQ(opacity("inf"), 1);
    EXPECT_EQ(opacity(" 0.5"), 0.7);
    EXPECT_EQ(opacity("0.5"), 0.5);
}

TEST(SVGStyles, DashFlagFollowsTheDashArray)
{
    EXPECT_FALSE(buildStyle(table({{"stroke-dasharray", "none"}}), std::nullopt, {}).dashed);
    EXPECT_TRUE(buildStyle(table({{"stroke-dasharray", "4 2"}}), std::nullopt, {}).dashed);
    EXPECT_TRUE(buildStyle(table({{"stroke-dasharray", ""}}), std::nullopt, {}).dashed);
}

TEST(SVGNumberTexts, FollowTheCLocaleGrammarOnTheWholeText)
{
    EXPECT_EQ(readNumber(u"+5"), 5);
    EXPECT_EQ(readNumber(u"0x10"), 16);
    EXPECT_EQ(readNumber(u".5e1"), 5);
    EXPECT_TRUE(std::isinf(*readNumber(u"inf")));
    EXPECT_TRUE(std::isnan(*readNumber(u"nan")));
    for (const char16_t* text : {u"", u" 1", u"\t1", u"1 ", u"1,5", u"1x", u"\u0661"}) {
        EXPECT_FALSE(readNumber(text).has_value());
    }
    EXPECT_FALSE(readFiniteNumber(u"1e400").has_value());
}

TEST(SVGNumberTexts, ListsSplitAtSpacesAndCommasOnly)
{
    EXPECT_EQ(readNumberList(u"0 0  100,,50"), (QList<double>{0, 0, 100, 50}));
    EXPECT_EQ(readNumberList(u"1\t2 3 x 4"), (QList<double>{3, 4}));
    EXPECT_TRUE(readNumberList(u"").isEmpty());
}

TEST(SVGNumberTexts, PlainDecimalsReadExactlyAsTheCLibraryReadsThem)
{
    // The plain decimal texts read without the C library: every one must
    // give the very double strtod gives, near the limits of that road too.
    const auto expectLikeStrtod = [](const std::string& text) {
        const std::optional<double> read = readNumber(QString::fromStdString(text));
        ASSERT_TRUE(read.has_value()) << text;
        const double expected = std::strtod(text.c_str(), nullptr);
        EXPECT_EQ(std::signbit(*read), std::signbit(expected)) << text;
        EXPECT_EQ(*read, expected) << text;
    };
    for (const char* text : {"0", "-0", "0.1", "0.3", "12.345", "-595.28", "5.", ".5", "007.50", "123456789012345",
                             "1234567890123456", "0.1234567890123456789", "9007199254740993", "0.30000000000000004",
                             "1.0000000000000002", "0.0000000000000000000001", "0.00000000000000000000001"}) {
        expectLikeStrtod(text);
    }
    std::uint64_t seed = 49;
    for (int i = 0; i < 20000; ++i) {
        seed = seed * 6364136223846793005ULL + 1442695040888963407ULL;
        const int digits = 1 + int(seed >> 60);
        const int point = int((seed >> 40) % std::uint64_t(digits + 1));
        std::string text = (seed >> 39) & 1 ? "-" : "";
        std::uint64_t value = seed >> 8;
        for (int d = 0; d < digits; ++d, value /= 10) {
            if (d == point) {
                text += '.';
            }
            text += char('0' + value % 10);
        }
        expectLikeStrtod(text);
    }
    EXPECT_FALSE(readNumber(u"1.2.3").has_value());
    EXPECT_FALSE(readNumber(u"-").has_value());
    EXPECT_FALSE(readNumber(u".").has_value());
    EXPECT_FALSE(readNumber(u"--1").has_value());
}
