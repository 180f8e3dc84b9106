#include "operations/StrokeSmoother.h"

#include <gtest/gtest.h>

using namespace zelvane;

TEST(StrokeSmootherTest, ShortStrokesComeBackUnchanged)
{
    const VectorStroke two{{0, 0}, {50, 50}};
    EXPECT_EQ(StrokeSmoother::smooth(two, 10), two);
    EXPECT_TRUE(StrokeSmoother::smooth({}, 2).isEmpty());
    EXPECT_EQ(StrokeSmoother::smooth({{1, 1}}, 2), (VectorStroke{{1, 1}}));
}

TEST(StrokeSmootherTest, ThinningKeepsBothEnds)
{
    VectorStroke jitter;
    for (int i = 0; i < 100; ++i) {
        jitter.append({10 + (i % 7) * 0.1, 20 + (i % 5) * 0.1});
    }
    const VectorStroke result = StrokeSmoother::smooth(jitter, 3);
    ASSERT_EQ(result.size(), 2);
    EXPECT_EQ(result.front(), jitter.front());
    EXPECT_EQ(result.back(), jitter.back());
}

TEST(StrokeSmootherTest, CornerCuttingDoublesThePointsEachPass)
{
    const VectorStroke corner{{0, 0}, {10, 0}, {10, 10}};
    EXPECT_EQ(StrokeSmoother::smooth(corner, 1),
              (VectorStroke{{0, 0}, {2.5, 0}, {7.5, 0}, {10, 2.5}, {10, 7.5}, {10, 10}}));
    EXPECT_EQ(StrokeSmoother::smooth(corner, 0), StrokeSmoother::smooth(corner, 1));
    EXPECT_EQ(StrokeSmoother::smooth(corner, -4), StrokeSmoother::smooth(corner, 1));
    const VectorStroke twice = StrokeSmoother::smooth(corner, 2);
    EXPECT_EQ(twice.size(), 12);
    EXPECT_EQ(twice.front(), corner.front());
    EXPECT_EQ(twice.back(), corner.back());
}

TEST(StrokeSmootherTest, NormalizationFramesAllStrokes)
{
    const auto one = StrokeSmoother::normalizeStrokes({{{100, 200}, {180, 240}}});
    EXPECT_EQ(one.frame, VectorRect(100, 200, 80, 40));
    EXPECT_EQ(one.strokes, (QList<VectorStroke>{{{0, 0}, {1, 1}}}));

    const auto dot = StrokeSmoother::normalizeStrokes({{{5, 5}}});
    EXPECT_EQ(dot.frame, VectorRect(5, 5, 16, 16));
    EXPECT_EQ(dot.strokes, (QList<VectorStroke>{{{0, 0}}}));

    // A flat line keeps its height of 16 and stays at the top of the frame;
    // empty strokes keep their place.
    const auto flat = StrokeSmoother::normalizeStrokes({{{0, 10}, {100, 10}}, {}, {{50, 14}}});
    EXPECT_EQ(flat.frame, VectorRect(0, 10, 100, 16));
    ASSERT_EQ(flat.strokes.size(), 3);
    EXPECT_TRUE(flat.strokes[1].isEmpty());
    EXPECT_EQ(flat.strokes[2][0], (VectorPoint{0.5, 0.25}));

    const auto none = StrokeSmoother::normalizeStrokes({});
    EXPECT_EQ(none.frame, VectorRect(0, 0, 16, 16));
    EXPECT_TRUE(none.strokes.isEmpty());
}
