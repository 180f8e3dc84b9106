#include "SVGTestSupport.h"
#include "svg/SVGPathData.h"

#include <gtest/gtest.h>

using namespace zelvane;
using SVGCodec::parsePathData;
using SVGCodec::tokenizePathD;

namespace {

QList<VectorSubpath> parse(const QString& d)
{
    return parsePathData(d, {0, 0}, {1, 1});
}

VectorSubpath open(QList<VectorPoint> points)
{
    return {std::move(points), false};
}

VectorSubpath closed(QList<VectorPoint> points)
{
    return {std::move(points), true};
}

}  // namespace

TEST(SVGPathDataTokens, SplitsCommandsNumbersAndSigns)
{
    EXPECT_EQ(tokenizePathD(QStringLiteral("M1-2")), (QStringList{"M", "1", "-2"}));
    EXPECT_EQ(tokenizePathD(QStringLiteral("1e-3")), QStringList{"1e-3"});
    EXPECT_EQ(tokenizePathD(QStringLiteral("L 1,2\t3\n4")), (QStringList{"L", "1", "2", "3", "4"}));
    EXPECT_EQ(tokenizePathD(QStringLiteral("0.5.5 +3")), (QStringList{"0.5.5", "+3"}));
    EXPECT_EQ(tokenizePathD(QStringLiteral("-1-2e+1-3")), (QStringList{"-1", "-2e+1", "-3"}));
    EXPECT_TRUE(tokenizePathD(QString()).isEmpty());
}

TEST(SVGPathDataLines, MovesLinesAndRelativeCommands)
{
    EXPECT_EQ(parse(QStringLiteral("M10 20L30 40")), (QList<VectorSubpath>{open({{10, 20}, {30, 40}})}));
    EXPECT_EQ(parse(QStringLiteral("M0,0 10,0 10,10z")), (QList<VectorSubpath>{closed({{0, 0}, {10, 0}, {10, 10}})}));
    EXPECT_EQ(parse(QStringLiteral("m5 5 l10 0")), (QList<VectorSubpath>{open({{5, 5}, {15, 5}})}));
    EXPECT_EQ(parse(QStringLiteral("M1 1 H5 V7 h-2 v-3")),
              (QList<VectorSubpath>{open({{1, 1}, {5, 1}, {5, 7}, {3, 7}, {3, 4}})}));
    // A second moveto after a relative one keeps counting from the current point.
    EXPECT_EQ(parse(QStringLiteral("m1 1 2 2 m3 3")), (QList<VectorSubpath>{open({{1, 1}, {3, 3}}), open({{6, 6}})}));
}

TEST(SVGPathDataLines, ClosepathStartsAFreshSubpath)
{
    const QList<VectorSubpath> result = parse(QStringLiteral("M0 0 L10 0 L10 10 Z L20 20"));
    ASSERT_EQ(result.size(), 2);
    EXPECT_EQ(result[0], closed({{0, 0}, {10, 0}, {10, 10}}));
    // The start point the closepath returned to is not repeated.
    EXPECT_EQ(result[1], open({{20, 20}}));
    EXPECT_EQ(parse(QStringLiteral("M3 4")), (QList<VectorSubpath>{open({{3, 4}})}));
}

TEST(SVGPathDataCurves, CubicAndQuadraticSampleFixedCounts)
{
    const QList<VectorSubpath> cubic = parse(QStringLiteral("M0 0C0 10 10 10 10 0"));
    ASSERT_EQ(cubic.size(), 1);
    ASSERT_EQ(cubic[0].points.size(), 11);
    EXPECT_EQ(cubic[0].points.front(), (VectorPoint{0, 0}));
    EXPECT_EQ(cubic[0].points.back(), (VectorPoint{10, 0}));
    EXPECT_NEAR(cubic[0].points[5].y, 7.5, 1e-9);  // t = 0.5

    const QList<VectorSubpath> quad = parse(QStringLiteral("M0 0Q5 10 10 0"));
    ASSERT_EQ(quad[0].points.size(), 9);
    EXPECT_NEAR(quad[0].points[4].y, 5, 1e-9);  // t = 0.5
    EXPECT_EQ(quad[0].points.back(), (VectorPoint{10, 0}));
}

TEST(SVGPathDataCurves, SmoothCurveReflectsTheLastControlPoint)
{
    // The reflected control point of S equals the explicit one of the C.
    const QList<VectorSubpath> smooth = parse(QStringLiteral("M0 0 C0 10 10 10 10 0 S20 -10 20 0"));
    const QList<VectorSubpath> explicitCurve = parse(QStringLiteral("M0 0 C0 10 10 10 10 0 C10 -10 20 -10 20 0"));
    ASSERT_EQ(smooth[0].points.size(), 21);
    for (qsizetype i = 0; i < 21; ++i) {
        EXPECT_NEAR(smooth[0].points[i].x, explicitCurve[0].points[i].x, 1e-9);
        EXPECT_NEAR(smooth[0].points[i].y, explicitCurve[0].points[i].y, 1e-9);
    }
    // Without an earlier curve, the first control point is the current point.
    const QList<VectorSubpath> lone = parse(QStringLiteral("M0 0 S10 10 10 0"));
    const QList<VectorSubpath> same = parse(QStringLiteral("M0 0 C0 0 10 10 10 0"));
    EXPECT_EQ(lone, same);
}

TEST(SVGPathDataLenience, SkipsArcsUnknownLettersAndBadNumbers)
{
    EXPECT_EQ(parse(QStringLiteral("M0 0A5 5 0 0 1 10 0L20 0")), (QList<VectorSubpath>{open({{0, 0}, {20, 0}})}));
    EXPECT_EQ(parse(QStringLiteral("M0 0 L 1.2.3 5 10")), (QList<VectorSubpath>{open({{0, 0}, {5, 10}})}));
    EXPECT_EQ(parse(QStringLiteral("M0 0 L x 5 10")), (QList<VectorSubpath>{open({{0, 0}})}));
    EXPECT_EQ(parse(QStringLiteral("M0 0 Z 5 5")), (QList<VectorSubpath>{closed({{0, 0}})}));
    EXPECT_TRUE(parse(QStringLiteral("garbage")).isEmpty());
    EXPECT_TRUE(parse(QStringLiteral("M")).isEmpty());
    // A number that overflows is unreadable and passed over like any other.
    EXPECT_EQ(parse(QStringLiteral("M0 0 L1e999 5 3 4")), (QList<VectorSubpath>{open({{0, 0}, {5, 3}})}));
}

TEST(SVGPathDataMapping, AppliesScaleThenOffset)
{
    const QList<VectorSubpath> result = parsePathData(QStringLiteral("M1 1"), {100, 200}, {2, 3});
    EXPECT_EQ(result, (QList<VectorSubpath>{open({{102, 203}})}));
}

TEST(SVGPathDataMapping, SampleCubicNeverRepeatsTheStart)
{
    const QList<VectorPoint> points = SVGCodec::sampleCubic({0, 0}, {0, 0}, {10, 0}, {10, 0}, 10);
    ASSERT_EQ(points.size(), 10);
    EXPECT_NEAR(points.front().x, 0.28, 1e-9);
    EXPECT_EQ(points.back(), (VectorPoint{10, 0}));
}
