#include "UiTestSupport.h"
#include "VectorController.h"
#include "appmodel/AppModel.h"
#include "canvas/SinglePageCanvas.h"
#include "canvas/render/PageCanvasGeometry.h"
#include "window/ContentView.h"

#include <memory>

using namespace zelvane;

namespace {

class CameraTest : public zelvane::testing::UiTest {
protected:
    static bool settle(AppModel& model)
    {
        return QTest::qWaitFor([&model] { return !model.isCameraAnimating(); }, 5000);
    }

    // Places a rectangle (selected) and returns its id.
    static QUuid place(AppModel& model, const VectorRect& frame)
    {
        model.controller().addShape(VectorShapeType::rectangle, frame);
        return *model.controller().selection().begin();
    }

    // Where the centre of `frame` lands on a pane of `pane` after the fit.
    static QPointF framedCentre(const AppModel& model, const QSizeF& pane, const VectorRect& frame)
    {
        const VectorPage& page = model.controller().currentPage();
        const PageCanvasGeometry geometry{pane,           page.width,          page.height, model.zoomScale(),
                                          model.panOffset(), SinglePageCanvas::kPagePad};
        return geometry.pageToPane(VectorPoint(frame.x + frame.width / 2, frame.y + frame.height / 2));
    }
};

}  // namespace

TEST_F(CameraTest, AResetAtRestSnapsAtOnceAndStillSaysSo)
{
    AppModel model(false, false);
    model.setZoomScale(1.001);
    model.setPanOffset(QSizeF(0.3, -0.2));
    model.resetView();
    EXPECT_FALSE(model.isCameraAnimating());
    EXPECT_EQ(model.zoomScale(), 1.0);
    EXPECT_EQ(model.panOffset(), QSizeF(0, 0));
    EXPECT_EQ(model.flashMessage(), QStringLiteral("View reset (100%)"));
}

TEST_F(CameraTest, ZoomStepsAnimateWithinTheLimitsAndKeepThePan)
{
    AppModel model(false, false);
    model.setPanOffset(QSizeF(30, -10));
    model.setZoomScale(5);
    model.zoomIn();
    EXPECT_TRUE(model.isCameraAnimating());
    ASSERT_TRUE(settle(model));
    EXPECT_EQ(model.zoomScale(), 6.0);
    EXPECT_EQ(model.panOffset(), QSizeF(30, -10));

    model.zoomIn();
    EXPECT_FALSE(model.isCameraAnimating());
    EXPECT_EQ(model.zoomScale(), 6.0);

    model.setZoomScale(0.3);
    model.zoomOut();
    ASSERT_TRUE(settle(model));
    EXPECT_EQ(model.zoomScale(), 0.25);
    EXPECT_FALSE(model.flashMessage());
}

TEST_F(CameraTest, ANewMoveStartsFromWhereTheRunningOneHadGot)
{
    AppModel model(false, false);
    place(model, VectorRect(100, 100, 10, 10));
    model.fitSelectionOrPageAnimated(QSizeF(820, 680));
    ASSERT_TRUE(QTest::qWaitFor([&model] { return model.zoomScale() > 1.2; }, 5000));
    ASSERT_TRUE(model.isCameraAnimating());
    const double partway = model.zoomScale();
    const QSizeF pan = model.panOffset();
    ASSERT_LT(partway, 2.6);
    model.zoomIn();
    ASSERT_TRUE(settle(model));
    EXPECT_DOUBLE_EQ(model.zoomScale(), partway * 1.25);
    EXPECT_EQ(model.panOffset(), pan);
}

TEST_F(CameraTest, TheFitZoomIsClampedAndNamedInTheMessage)
{
    AppModel model(false, false);
    place(model, VectorRect(200, 300, 10, 10));
    model.fitSelectionOrPageAnimated(QSizeF(820, 680));
    EXPECT_EQ(model.flashMessage(), QStringLiteral("Framed selection (260 %)"));
    ASSERT_TRUE(settle(model));
    EXPECT_EQ(model.zoomScale(), 2.6);

    model.controller().setSelection({place(model, VectorRect(0, 0, 595.28, 841.89))});
    model.fitSelectionOrPageAnimated(QSizeF(820, 680));
    ASSERT_TRUE(settle(model));
    EXPECT_EQ(model.zoomScale(), 1.25);
    // A page-sized element is centred already.
    EXPECT_NEAR(model.panOffset().width(), 0, 1e-9);
    EXPECT_NEAR(model.panOffset().height(), 0, 1e-9);
}

TEST_F(CameraTest, TheFitCentresTheTopmostSelectedElementAtEveryCanvasSize)
{
    AppModel model(false, false);
    const VectorRect lower(60, 80, 50, 40);
    const VectorRect upper(400, 650, 120, 90);
    const QUuid first = place(model, lower);
    const QUuid second = place(model, upper);
    model.controller().setSelection({first, second});
    for (const QSizeF pane : {QSizeF(820, 680), QSizeF(1240, 430), QSizeF(500, 900)}) {
        model.fitSelectionOrPageAnimated(pane);
        ASSERT_TRUE(settle(model));
        const QPointF centre = framedCentre(model, pane, upper);
        EXPECT_NEAR(centre.x(), pane.width() / 2, 1e-6) << pane.width() << "x" << pane.height();
        EXPECT_NEAR(centre.y(), pane.height() / 2, 1e-6) << pane.width() << "x" << pane.height();
    }
}

TEST_F(CameraTest, WithNothingSelectedTheFitShowsTheWholePage)
{
    AppModel model(false, false);
    model.setZoomScale(2);
    model.setPanOffset(QSizeF(40, 40));
    model.fitSelectionOrPageAnimated();
    EXPECT_EQ(model.flashMessage(), QStringLiteral("Fitted full page"));
    ASSERT_TRUE(settle(model));
    EXPECT_EQ(model.zoomScale(), 1.0);
    EXPECT_EQ(model.panOffset(), QSizeF(0, 0));
}

TEST_F(CameraTest, AMoveWithoutDurationLandsExactlyAtOnce)
{
    AppModel model(false, false);
    model.animateViewport(3.3, QSizeF(-12.5, 7), 0);
    EXPECT_FALSE(model.isCameraAnimating());
    EXPECT_EQ(model.zoomScale(), 3.3);
    EXPECT_EQ(model.panOffset(), QSizeF(-12.5, 7));
}

TEST_F(CameraTest, ReleasingTheModelMidMoveEndsTheAnimation)
{
    auto model = std::make_unique<AppModel>(false, false);
    model->animateViewport(4, QSizeF(100, 100), 0.5);
    ASSERT_TRUE(model->isCameraAnimating());
    model.reset();
    QTest::qWait(30);
}

TEST_F(CameraTest, TheWindowsCanvasReportsItsSizeForTheFit)
{
    AppModel model(false, false);
    MainWindow window(model);
    window.resize(1200, 700);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    auto* canvas = window.findChild<SinglePageCanvas*>();
    ASSERT_TRUE(canvas);
    EXPECT_EQ(model.canvasPaneSize(), QSizeF(canvas->size()));
    const VectorRect frame(420, 120, 60, 30);
    place(model, frame);
    model.fitSelectionOrPageAnimated();
    ASSERT_TRUE(settle(model));
    const QPointF centre = canvas->geometry().pageToPane(frame).center();
    EXPECT_NEAR(centre.x(), canvas->width() / 2.0, 1e-6);
    EXPECT_NEAR(centre.y(), canvas->height() / 2.0, 1e-6);
}
