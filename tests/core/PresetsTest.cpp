#include "model/Presets.h"

#include <gtest/gtest.h>
#include <cmath>

using namespace zelvane;

TEST(CalligraphicStrokesTest, LineAndFlourishShapes)
{
    const auto strokes = SignaturePreset::calligraphicStrokes(0);
    ASSERT_EQ(strokes.size(), 2);
    ASSERT_EQ(strokes[0].size(), 65);
    ASSERT_EQ(strokes[1].size(), 25);
    EXPECT_NEAR(strokes[0].front().x, 0.04, 1e-12);
    EXPECT_NEAR(strokes[0].front().y, 0.74, 1e-12);
    EXPECT_NEAR(strokes[0].back().x, 0.92 + 0.035 * std::sin(7 * 3.141592653589793), 1e-12);
    EXPECT_NEAR(strokes[1][0].x, 0.1, 1e-12);
    EXPECT_NEAR(strokes[1][0].y, 0.84, 1e-12);
    EXPECT_NEAR(strokes[1][12].x, 0.52, 1e-12);
    EXPECT_NEAR(strokes[1][12].y, 0.725, 1e-12);
    EXPECT_NEAR(strokes[1][24].x, 0.94, 1e-12);
    EXPECT_NEAR(strokes[1][24].y, 0.79, 1e-12);
}

TEST(CalligraphicStrokesTest, SeedOnlyShiftsTheLineAndStaysInBounds)
{
    const auto reference = SignaturePreset::calligraphicStrokes(1);
    EXPECT_EQ(SignaturePreset::calligraphicStrokes(1), reference);
    for (qint64 seed : {qint64(-7), qint64(0), qint64(2), qint64(13), qint64(1000000)}) {
        const auto strokes = SignaturePreset::calligraphicStrokes(seed);
        EXPECT_EQ(strokes[1], reference[1]);
        for (const VectorPoint& p : strokes[0]) {
            EXPECT_GE(p.y, 0.08);
            EXPECT_LE(p.y, 0.92);
            EXPECT_GE(p.x, 0.04 - 0.035 - 1e-12);
            EXPECT_LE(p.x, 0.92 + 0.035 + 1e-12);
        }
    }
    EXPECT_NE(SignaturePreset::calligraphicStrokes(2)[0], reference[0]);
    EXPECT_TRUE(SignaturePreset::defaults().isEmpty());
}
