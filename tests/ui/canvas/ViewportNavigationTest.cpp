#include "canvas/render/PageCanvasGeometry.h"
#include "canvas/render/ViewportNavigation.h"

#include <gtest/gtest.h>
#include <cmath>

using namespace zelvane;
namespace Nav = zelvane::ViewportNavigation;

namespace {

const QSizeF kPane(1000, 700);

PageCanvasGeometry geometryOf(const ViewportPlacement& view)
{
    return {kPane, 595.28, 841.89, view.zoom, view.pan, 28};
}

}  // namespace

TEST(ViewportNavigationTest, ZoomKeepsThePagePointUnderThePointer)
{
    const QPointF pointer(720, 150);
    ViewportPlacement view{1.3, QSizeF(-40, 25)};
    const VectorPoint before = geometryOf(view).paneToPage(pointer);
    view = Nav::scrolled(view, QPoint(0, 37), QPoint(0, 0), true, pointer, kPane);
    EXPECT_NEAR(view.zoom, 1.3 * std::exp(37 * 0.005), 1e-12);
    const VectorPoint after = geometryOf(view).paneToPage(pointer);
    EXPECT_NEAR(after.x, before.x, 1e-9);
    EXPECT_NEAR(after.y, before.y, 1e-9);
}

TEST(ViewportNavigationTest, WheelLinesCountTenTimesAPreciseDelta)
{
    const ViewportPlacement start{1, QSizeF(0, 0)};
    EXPECT_EQ(Nav::scrolled(start, QPoint(3, -4), QPoint(), false, {}, kPane).pan, QSizeF(3, -4));
    EXPECT_EQ(Nav::scrolled(start, QPoint(), QPoint(120, -240), false, {}, kPane).pan, QSizeF(10, -20));
    // A wheel line of zoom is exp(0.05).
    EXPECT_NEAR(Nav::scrolled(start, QPoint(), QPoint(0, 120), true, {500, 350}, kPane).zoom, std::exp(0.05), 1e-12);
    // Alt+wheel turned sideways by X11 still zooms.
    EXPECT_NEAR(Nav::scrolled(start, QPoint(), QPoint(-120, 0), true, {500, 350}, kPane).zoom, std::exp(-0.05),
                1e-12);
}

TEST(ViewportNavigationTest, ZoomStopsAtItsBoundsWithoutMovingThePan)
{
    ViewportPlacement view{5.9, QSizeF(12, -8)};
    view = Nav::scrolled(view, QPoint(0, 500), QPoint(), true, {100, 100}, kPane);
    EXPECT_EQ(view.zoom, Nav::kMaxZoom);
    const ViewportPlacement atBound = view;
    EXPECT_EQ(Nav::scrolled(atBound, QPoint(0, 50), QPoint(), true, {100, 100}, kPane), atBound);
    EXPECT_EQ(Nav::scrolled({0.3, {}}, QPoint(0, -900), QPoint(), true, {1, 1}, kPane).zoom, Nav::kMinZoom);
    // A stored zoom of 0 divides by 0.01, not by 0.
    const ViewportPlacement fromZero = Nav::zoomedAbout({0, QSizeF(1, 1)}, 0.5, {0, 0}, kPane);
    EXPECT_TRUE(std::isfinite(fromZero.pan.width()));
}

TEST(ViewportNavigationTest, PinchesMultiplyFromTheirStartAndClamp)
{
    PinchZoom pinch;
    pinch.begin(2);
    EXPECT_NEAR(pinch.step(0.5, 2), 3, 1e-12);
    EXPECT_NEAR(pinch.step(1.0, 3), 6, 1e-12);
    EXPECT_EQ(pinch.step(1.0, 6), Nav::kMaxZoom);
    pinch.end();
    EXPECT_FALSE(pinch.active());
    // A second pinch starts from where the first left the zoom.
    EXPECT_NEAR(pinch.step(-0.5, 6), 3, 1e-12);
    EXPECT_EQ(pinch.step(-0.99, 3), Nav::kMinZoom);
    EXPECT_EQ(pinch.step(std::nan(""), 0.25), Nav::kMinZoom);
}
