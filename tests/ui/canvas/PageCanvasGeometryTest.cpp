#include "canvas/render/PageCanvasGeometry.h"

#include <gtest/gtest.h>
#include <cmath>
#include <limits>

using namespace zelvane;

namespace {

PageCanvasGeometry a4InPane(double zoom = 1, QSizeF pan = QSizeF(0, 0))
{
    return {QSizeF(1000, 800), 595.28, 841.89, zoom, pan, 28};
}

}  // namespace

TEST(PageCanvasGeometryTest, FitsThePageInsideThePadCentredInThePane)
{
    const QRectF base = a4InPane().baseSheetRect();
    EXPECT_NEAR(base.height(), 800 - 56, 1e-9);
    EXPECT_NEAR(base.width(), 744 * 595.28 / 841.89, 1e-9);
    EXPECT_NEAR(base.center().x(), 500, 1e-9);
    EXPECT_NEAR(base.center().y(), 400, 1e-9);

    // Equal aspects fill the available width exactly.
    const PageCanvasGeometry same{QSizeF(256, 156), 200, 100, 1, QSizeF(0, 0), 28};
    EXPECT_DOUBLE_EQ(same.baseSheetRect().width(), 200);
    EXPECT_DOUBLE_EQ(same.baseSheetRect().x(), 28);
}

TEST(PageCanvasGeometryTest, TinyPanesAndDegeneratePagesStayFinite)
{
    const PageCanvasGeometry tiny{QSizeF(20, 10), 100, 100, 1, QSizeF(0, 0), 28};
    EXPECT_DOUBLE_EQ(tiny.baseSheetRect().width(), 16);
    EXPECT_DOUBLE_EQ(tiny.baseSheetRect().center().x(), 10);

    const double inf = std::numeric_limits<double>::infinity();
    const double nan = std::numeric_limits<double>::quiet_NaN();
    for (const PageCanvasGeometry& g :
         {PageCanvasGeometry{QSizeF(0, 0), 0, 0, 1, QSizeF(0, 0), 28}, PageCanvasGeometry{QSizeF(-5, -5), -3, 0, 1, QSizeF(0, 0), 28},
          PageCanvasGeometry{QSizeF(800, 600), nan, inf, nan, QSizeF(inf, nan), nan},
          PageCanvasGeometry{QSizeF(800, 600), 1e300, 64, 6, QSizeF(0, 0), 28}}) {
        const QRectF sheet = g.sheetRect();
        EXPECT_TRUE(std::isfinite(sheet.x()) && std::isfinite(sheet.width()) && std::isfinite(sheet.height()));
        const VectorPoint p = g.paneToPage(QPointF(10, 10));
        EXPECT_TRUE(std::isfinite(p.x) && std::isfinite(p.y));
        const VectorRect visible = g.visiblePageRect();
        EXPECT_TRUE(std::isfinite(visible.x) && std::isfinite(visible.width));
    }
}

TEST(PageCanvasGeometryTest, ZoomScalesAboutThePaneCentreThenPans)
{
    const PageCanvasGeometry g = a4InPane(2, QSizeF(30, -12));
    const QRectF base = g.baseSheetRect();
    const QRectF sheet = g.sheetRect();
    EXPECT_NEAR(sheet.width(), base.width() * 2, 1e-9);
    EXPECT_NEAR(sheet.x(), 500 + (base.x() - 500) * 2 + 30, 1e-9);
    EXPECT_NEAR(sheet.y(), 400 + (base.y() - 400) * 2 - 12, 1e-9);
    EXPECT_EQ(g.pageToPane(VectorPoint{0, 0}), sheet.topLeft());
    const QPointF corner = g.pageToPane(VectorPoint{595.28, 841.89});
    EXPECT_NEAR(corner.x(), sheet.right(), 1e-9);
    EXPECT_NEAR(corner.y(), sheet.bottom(), 1e-9);
    EXPECT_EQ(g.pageToPaneTransform().map(QPointF(100, 200)), g.pageToPane(VectorPoint{100, 200}));
}

TEST(PageCanvasGeometryTest, PaneAndPagePointsRoundTrip)
{
    for (const double zoom : {0.25, 1.0, 3.7, 6.0}) {
        const PageCanvasGeometry g = a4InPane(zoom, QSizeF(-140, 75));
        for (const VectorPoint p : {VectorPoint{0, 0}, VectorPoint{123.4, 567.8}, VectorPoint{-40, 900}}) {
            const VectorPoint back = g.paneToPage(g.pageToPane(p));
            EXPECT_NEAR(back.x, p.x, 1e-9);
            EXPECT_NEAR(back.y, p.y, 1e-9);
        }
    }
}

TEST(PageCanvasGeometryTest, VisibleRectCoversThePaneWithAMargin)
{
    const PageCanvasGeometry g = a4InPane();
    const VectorRect visible = g.visiblePageRect();
    const VectorPoint topLeft = g.paneToPage(QPointF(0, 0));
    EXPECT_NEAR(visible.x, topLeft.x - 24, 1e-9);
    EXPECT_LT(visible.x, -24);
    EXPECT_GT(visible.maxX(), 595.28 + 24);

    // Zoomed in, only part of the page is visible.
    const VectorRect zoomed = a4InPane(6).visiblePageRect();
    EXPECT_GT(zoomed.x, 0);
    EXPECT_LT(zoomed.maxX(), 595.28);
}
