#include "CanvasToolsTestSupport.h"

#include "canvas/CanvasPointerDrag.h"
#include "canvas/render/SceneDrawing.h"

#include <QLineF>
#include <QSignalSpy>
#include <cmath>

using namespace zelvane;
using namespace zelvane::testing;

namespace {

class SelectToolTest : public CanvasToolTest {
protected:
    // A whole pane point near `centre` whose pointer angle (0 straight up)
    // lies within [low, high] degrees.
    QPoint pointerAt(const QPointF& centre, double low, double high)
    {
        const double target = (low + high) / 2;
        const double r = 240;
        const QPointF ideal(centre.x() + r * std::cos((target - 90) * M_PI / 180),
                            centre.y() + r * std::sin((target - 90) * M_PI / 180));
        for (int dy = -3; dy <= 3; ++dy)
            for (int dx = -3; dx <= 3; ++dx) {
                const QPoint p = ideal.toPoint() + QPoint(dx, dy);
                const double angle = std::atan2(p.y() - centre.y(), p.x() - centre.x()) * 180 / M_PI + 90;
                if (angle >= low && angle <= high)
                    return p;
            }
        ADD_FAILURE() << "no pointer for " << low << "..." << high;
        return ideal.toPoint();
    }

    QPointF rotationKnob(const QUuid& id)
    {
        const VectorElement e = *element(id);
        return rotationHandlePoint(canvas().geometry().pageToPane(e.frame), e.rotationDegrees);
    }

    double rotateTo(const QUuid& id, double low, double high, Qt::KeyboardModifiers modifiers = {})
    {
        const QPointF centre = canvas().geometry().pageToPane(element(id)->frame).center();
        const QPoint knob = rotationKnob(id).toPoint();
        press(knob, modifiers);
        moveTo(pointerAt(centre, low, high), modifiers);
        release(pointerAt(centre, low, high), modifiers);
        return element(id)->rotationDegrees;
    }
};

}  // namespace

TEST_F(SelectToolTest, ClicksSelectWithoutMovingAndRecordNoStepForLockedOrEmpty)
{
    const QUuid box = addShape(VectorRect(200, 300, 100, 50));
    const QUuid locked = add([] {
        VectorElement e = VectorOperations::makeTextElement(QStringLiteral("Locked"), {100, 500}, 12,
                                                            QStringLiteral("#111317"), false);
        e.locked = true;
        return e;
    }());
    const VectorRect before = element(box)->frame;

    click(panePoint({250, 325}));
    EXPECT_EQ(controller().selection(), QSet<QUuid>{box});
    EXPECT_EQ(element(box)->frame, before);
    EXPECT_LE(undoSteps(), 1);
    const qsizetype afterFirst = undoSteps();

    // A wobble of one point is still a click.
    press(panePoint({250, 325}));
    moveTo(panePoint({251, 325}));
    release(panePoint({251, 325}));
    EXPECT_EQ(element(box)->frame, before);

    click(panePoint({110, 506}));
    EXPECT_EQ(controller().selection(), QSet<QUuid>{locked});
    EXPECT_EQ(model->editingTextElementID(), locked);
    EXPECT_EQ(undoSteps(), afterFirst);

    // Dragging a locked element moves nothing and records nothing.
    dragPage({110, 506}, {200, 560});
    EXPECT_EQ(element(locked)->frame.x, 100);
    EXPECT_EQ(undoSteps(), afterFirst);

    click(panePoint({500, 100}));
    EXPECT_TRUE(controller().selection().isEmpty());
    EXPECT_FALSE(model->editingTextElementID().has_value());
    EXPECT_EQ(undoSteps(), afterFirst);
}

TEST_F(SelectToolTest, AMoveIsOneUndoStepThatOneUndoRestores)
{
    const QUuid a = addShape(VectorRect(200, 300, 100, 50));
    const QUuid b = addShape(VectorRect(400, 300, 60, 40));
    controller().setSelection({a, b});
    // A drag on one element of a selection moves them all.
    dragPage({250, 325}, {290, 365}, {}, 10);
    EXPECT_EQ(element(a)->frame, VectorRect(240, 340, 100, 50));
    EXPECT_EQ(element(b)->frame, VectorRect(440, 340, 60, 40));
    EXPECT_EQ(undoSteps(), 1);
    controller().undo();
    EXPECT_EQ(element(a)->frame, VectorRect(200, 300, 100, 50));
    EXPECT_EQ(element(b)->frame, VectorRect(400, 300, 60, 40));
}

TEST_F(SelectToolTest, ResizingHasAFloorAndKeepsTheOppositeCorner)
{
    const QUuid box = addShape(VectorRect(200, 300, 100, 50));
    controller().setSelection({box});
    dragPage({300, 350}, {100, 150});
    EXPECT_EQ(element(box)->frame, VectorRect(200, 300, 14, 12));
    EXPECT_EQ(undoSteps(), 1);
    controller().undo();
    EXPECT_EQ(element(box)->frame, VectorRect(200, 300, 100, 50));

    // The top-left handle: the bottom-right corner stays.
    dragPage({200, 300}, {180, 290});
    EXPECT_EQ(element(box)->frame, VectorRect(180, 290, 120, 60));
}

TEST_F(SelectToolTest, SignaturesKeepTheirAspectShapesOnlyWithShift)
{
    const QUuid box = addShape(VectorRect(200, 300, 100, 50));
    controller().setSelection({box});
    dragPage({300, 350}, {340, 350});
    EXPECT_EQ(element(box)->frame, VectorRect(200, 300, 140, 50));
    controller().undo();
    dragPage({300, 350}, {340, 350}, Qt::ShiftModifier);
    EXPECT_NEAR(element(box)->frame.width, 140, 1e-9);
    EXPECT_NEAR(element(box)->frame.height, 70, 1e-9);

    const QUuid signature = add(VectorOperations::makeFreehandSignatureElement(
        {{{100, 600}, {140, 620}, {180, 590}, {220, 630}}}, QStringLiteral("Ann"), QStringLiteral("#1E3A8A")));
    controller().setSelection({signature});
    const VectorRect frame = element(signature)->frame;
    const double aspect = frame.width / frame.height;
    dragPage({frame.maxX(), frame.maxY()}, {frame.maxX() + 50, frame.maxY() + 5});
    const VectorRect resized = element(signature)->frame;
    EXPECT_GT(resized.width, frame.width + 40);
    EXPECT_NEAR(resized.width / resized.height, aspect, 1e-9);
    EXPECT_NEAR(resized.x, frame.x, 1e-9);
    EXPECT_NEAR(resized.y, frame.y, 1e-9);
}

TEST_F(SelectToolTest, RotationSnapsToQuarterTurnsAndWithShiftTo15Degrees)
{
    const QUuid box = addShape(VectorRect(200, 300, 100, 50));
    controller().setSelection({box});
    EXPECT_EQ(rotateTo(box, 88.3, 88.7), 90);
    EXPECT_EQ(undoSteps(), 1);
    controller().undo();
    EXPECT_EQ(element(box)->rotationDegrees, 0);
    const double free = rotateTo(box, 87.3, 87.7);
    EXPECT_NEAR(free, 87.5, 0.21);
    controller().undo();
    EXPECT_EQ(rotateTo(box, 52.3, 52.45, Qt::ShiftModifier), 45);
    controller().undo();
    EXPECT_EQ(rotateTo(box, 52.55, 52.7, Qt::ShiftModifier), 60);
    // The knob of a turned element is where it is drawn.
    EXPECT_EQ(rotateTo(box, -30.3, -29.8, Qt::ShiftModifier), -30);
}

TEST_F(SelectToolTest, AnEmptyAreaDragPansWithoutUndo)
{
    const QSizeF pan = model->panOffset();
    drag(QPoint(500, 60), QPoint(540, 30));
    EXPECT_NEAR(model->panOffset().width(), pan.width() + 40, 1e-9);
    EXPECT_NEAR(model->panOffset().height(), pan.height() - 30, 1e-9);
    EXPECT_FALSE(controller().canUndo());
}

TEST_F(SelectToolTest, TheRotationKnobWinsOverAnElementBelowIt)
{
    const QUuid box = addShape(VectorRect(200, 300, 100, 50));
    const QUuid above = addShape(VectorRect(230, 260, 40, 30));
    controller().setSelection({box});
    // The knob (22 points above the box) lies on the other element.
    const QPoint knob = rotationKnob(box).toPoint();
    press(knob);
    moveTo(knob + QPoint(100, 10));
    release(knob + QPoint(100, 10));
    EXPECT_NE(element(box)->rotationDegrees, 0);
    EXPECT_EQ(element(above)->frame, VectorRect(230, 260, 40, 30));
}

// ---- Faults: drags must not outlive themselves ------------------------------

TEST_F(SelectToolTest, HiddenOrLockedElementsHaveNoHandles)
{
    const QUuid box = addShape(VectorRect(200, 300, 100, 50));
    controller().setSelection({box});
    controller().perform(QString(), [&](VectorDocument& d) {
        VectorOperations::updateElement(box, 0, d, [](VectorElement& e) { e.visible = false; });
    });
    const qsizetype steps = undoSteps();
    dragPage({300, 350}, {100, 150});
    EXPECT_EQ(element(box)->frame, VectorRect(200, 300, 100, 50));
    EXPECT_EQ(undoSteps(), steps);

    controller().perform(QString(), [&](VectorDocument& d) {
        VectorOperations::updateElement(box, 0, d, [](VectorElement& e) {
            e.visible = true;
            e.locked = true;
        });
    });
    controller().setSelection({box});
    dragPage({300, 350}, {100, 150});
    EXPECT_EQ(element(box)->frame, VectorRect(200, 300, 100, 50));
}

TEST_F(SelectToolTest, ADragEndedByAToolChangePlacesNothingAndStopsMoving)
{
    const QUuid box = addShape(VectorRect(200, 300, 100, 50));
    press(panePoint({250, 325}));
    moveTo(panePoint({270, 325}));
    // The rectangle key mid-drag.
    model->setActiveTool(EditorTool::rectangle);
    moveTo(panePoint({350, 400}));
    release(panePoint({350, 400}));
    EXPECT_EQ(page().elements.size(), 1);
    EXPECT_EQ(element(box)->frame, VectorRect(220, 300, 100, 50));
    // What moved before is one undo step.
    EXPECT_EQ(undoSteps(), 1);
    controller().undo();
    EXPECT_EQ(element(box)->frame, VectorRect(200, 300, 100, 50));
}

TEST_F(SelectToolTest, AReleaseThatNeverCameLeavesNothingBehind)
{
    const QUuid box = addShape(VectorRect(200, 300, 100, 50));
    press(panePoint({250, 325}));
    moveTo(panePoint({270, 325}));
    // The release went to another window; the next press starts afresh.
    QTest::mouseRelease(view.get(), Qt::LeftButton, {}, QPoint(1, 1));
    press(QPoint(500, 60));
    moveTo(QPoint(540, 80));
    release(QPoint(540, 80));
    EXPECT_EQ(element(box)->frame, VectorRect(220, 300, 100, 50));
    EXPECT_EQ(undoSteps(), 1);

    // Hiding the canvas ends a drag the same way...
    press(panePoint({230, 325}));
    moveTo(panePoint({240, 330}));
    view->hide();
    view->show();
    moveTo(panePoint({400, 500}));
    release(panePoint({400, 500}));
    EXPECT_EQ(element(box)->frame, VectorRect(230, 305, 100, 50));
    EXPECT_EQ(undoSteps(), 2);

    // ...and so does losing the focus to another window.
    press(panePoint({240, 330}));
    moveTo(panePoint({250, 330}));
    QFocusEvent focusOut(QEvent::FocusOut, Qt::ActiveWindowFocusReason);
    QApplication::sendEvent(&canvas(), &focusOut);
    moveTo(panePoint({400, 500}));
    release(panePoint({400, 500}));
    EXPECT_EQ(element(box)->frame, VectorRect(240, 305, 100, 50));
}

TEST_F(SelectToolTest, ARemoteEditMidDragWinsAndTheDragStopsWriting)
{
    const QUuid box = addShape(VectorRect(200, 300, 100, 50));
    press(panePoint({250, 325}));
    moveTo(panePoint({270, 325}));
    controller().addTextBlock(QStringLiteral("remote"), VectorPoint{50, 50});
    moveTo(panePoint({300, 325}));
    release(panePoint({300, 325}));
    // The remote edit cancelled the drag's step: the box is where it was.
    EXPECT_EQ(element(box)->frame, VectorRect(200, 300, 100, 50));
    EXPECT_EQ(page().elements.size(), 2);
    EXPECT_EQ(undoSteps(), 1);
}

TEST_F(SelectToolTest, ADocumentReplacedMidDragEndsIt)
{
    addShape(VectorRect(200, 300, 100, 50));
    press(panePoint({250, 325}));
    moveTo(panePoint({270, 325}));
    controller().createNewDocument(PageFormatPreset::a4Portrait);
    moveTo(panePoint({300, 325}));
    release(panePoint({300, 325}));
    EXPECT_TRUE(page().elements.isEmpty());
    EXPECT_FALSE(controller().canUndo());
}

// ---- Bad input --------------------------------------------------------------

TEST(ResizedFrameTest, DegenerateFramesGiveFiniteSizesAboveTheFloor)
{
    for (const VectorRect& start : {VectorRect(), [] {
                                        VectorRect r;
                                        r.width = 0;
                                        r.height = 0;
                                        return r;
                                    }(),
                                    [] {
                                        VectorRect r;
                                        r.x = 10;
                                        r.width = -50;
                                        r.height = -20;
                                        return r;
                                    }(),
                                    [] {
                                        VectorRect r;
                                        r.x = std::nan("");
                                        r.width = INFINITY;
                                        return r;
                                    }()}) {
        for (int handle = 0; handle < 4; ++handle) {
            for (const bool proportional : {false, true}) {
                const VectorRect frame = resizedFrame(start, handle, -300, 1e6, 33, proportional);
                EXPECT_TRUE(std::isfinite(frame.x) && std::isfinite(frame.y));
                EXPECT_TRUE(std::isfinite(frame.width) && std::isfinite(frame.height));
                EXPECT_GE(frame.width, 14);
                EXPECT_GE(frame.height, 12);
            }
        }
    }
}

TEST_F(SelectToolTest, DragsPastTheEdgeAndManyElementsStayFinite)
{
    QList<QUuid> ids;
    VectorDocument document = controller().document();
    for (int i = 0; i < 5000; ++i) {
        VectorElement e = VectorElement::make(QStringLiteral("Shape"),
                                              ShapePayload::make(VectorShapeType::rectangle, 0, false, false),
                                              VectorRect(20 + (i % 50) * 10, 20 + (i / 50) * 8, 8, 6), 0,
                                              VectorStyle(QStringLiteral("#2563EB"), std::nullopt, 1, 1, false));
        ids.append(e.id);
        VectorOperations::addElement(e, 0, document);
    }
    controller().setDocument(document);
    const VectorRect target = element(ids.last())->frame;
    press(panePoint(target.center()));
    moveTo(QPoint(-4000, 9000));
    moveTo(QPoint(30000, -30000));
    release(QPoint(30000, -30000));
    const VectorRect moved = element(ids.last())->frame;
    EXPECT_TRUE(std::isfinite(moved.x) && std::isfinite(moved.y));
    EXPECT_EQ(moved.width, target.width);
    EXPECT_EQ(undoSteps(), 1);
}

TEST_F(SelectToolTest, AFrameDuringADragLooksLikeTheSameSceneDrawnWhole)
{
    auto filled = [this](const VectorRect& frame, const QString& fill) {
        return add(VectorElement::make(QStringLiteral("Box"),
                                       ShapePayload::make(VectorShapeType::rectangle, 0, false, false), frame, 0,
                                       VectorStyle(QStringLiteral("#000000"), fill, 2, 0.6, false)));
    };
    filled(VectorRect(180, 280, 120, 90), QStringLiteral("#FF0000"));
    const QUuid dragged = filled(VectorRect(200, 300, 100, 50), QStringLiteral("#00FF00"));
    filled(VectorRect(260, 320, 120, 90), QStringLiteral("#0000FF"));
    press(panePoint({210, 305}));
    moveTo(panePoint({230, 325}));
    moveTo(panePoint({240, 335}));
    const QImage during = canvas().grab().toImage();
    release(panePoint({240, 335}));
    EXPECT_EQ(element(dragged)->frame, VectorRect(230, 330, 100, 50));
    const QImage after = canvas().grab().toImage();
    ASSERT_EQ(during.size(), after.size());
    // Layers composed over one another may round a translucent colour one
    // step differently; nothing more.
    int worst = 0;
    for (int y = 0; y < during.height(); ++y)
        for (int x = 0; x < during.width(); ++x) {
            const QColor a = during.pixelColor(x, y);
            const QColor b = after.pixelColor(x, y);
            worst = std::max({worst, std::abs(a.red() - b.red()), std::abs(a.green() - b.green()),
                              std::abs(a.blue() - b.blue())});
        }
    EXPECT_LE(worst, 2);
}

TEST_F(SelectToolTest, DraggingManyElementsIsOneUpdatePerMoveAndDrawsThemWhereTheyAre)
{
    VectorDocument document = controller().document();
    QList<VectorElement> originals;
    const VectorShapeType types[] = {VectorShapeType::rectangle, VectorShapeType::ellipse, VectorShapeType::arrow};
    for (int i = 0; i < 400; ++i) {
        const VectorRect frame(80 + (i % 20) * 20, 220 + (i / 20) * 11, 16, 9);
        VectorElement e = i % 10 == 0
                              ? VectorOperations::makeTextElement(QStringLiteral("t%1").arg(i), {frame.x, frame.y}, 6,
                                                                  QStringLiteral("#111317"), false)
                              : VectorElement::make(QStringLiteral("Shape"), ShapePayload::make(types[i % 3], 2, false, false),
                                                    frame, 0,
                                                    VectorStyle(QStringLiteral("#2563EB"), QStringLiteral("#DCFCE7"),
                                                                1.5, 0.8, false));
        originals.append(e);
        VectorOperations::addElement(e, 0, document);
    }
    controller().setDocument(document);
    QSet<QUuid> all;
    for (const VectorElement& e : originals)
        all.insert(e.id);
    controller().setSelection(all);
    QSignalSpy updates(&controller(), &VectorController::documentChanged);

    const QPoint start = panePoint(originals[45].frame.center());
    press(start);
    // Drawn at each move, as the window would: the later frames copy what
    // the first drew.
    for (int i = 1; i <= 3; ++i) {
        moveTo(start + QPoint(7 * i, 5 * i));
        canvas().grab();
    }
    moveTo(start + QPoint(40, 30));
    const QImage during = canvas().grab().toImage();
    EXPECT_TRUE(VectorSceneRenderCache::shared().liveLayer().complete);
    // One store of the document per move, not one per element.
    EXPECT_EQ(updates.count(), 4);
    release(start + QPoint(40, 30));
    EXPECT_EQ(undoSteps(), 1);
    for (const VectorElement& e : originals)
        EXPECT_EQ(element(e.id)->frame, VectorRect(e.frame.x + 40, e.frame.y + 30, e.frame.width, e.frame.height));

    const QImage after = canvas().grab().toImage();
    ASSERT_EQ(during.size(), after.size());
    int worst = 0;
    for (int y = 0; y < during.height(); ++y)
        for (int x = 0; x < during.width(); ++x) {
            const QColor a = during.pixelColor(x, y);
            const QColor b = after.pixelColor(x, y);
            worst = std::max({worst, std::abs(a.red() - b.red()), std::abs(a.green() - b.green()),
                              std::abs(a.blue() - b.blue())});
        }
    EXPECT_LE(worst, 2);
    controller().undo();
    EXPECT_EQ(page().elements, originals);
}

TEST_F(SelectToolTest, EscapeDroppingTheSelectionEndsTheMove)
{
    const QUuid box = addShape(VectorRect(200, 300, 100, 50));
    press(panePoint({250, 325}));
    moveTo(panePoint({270, 325}));
    // What Escape does with the select tool already active.
    controller().setSelection({});
    model->setActiveTool(EditorTool::select);
    moveTo(panePoint({350, 425}));
    release(panePoint({350, 425}));
    EXPECT_EQ(element(box)->frame, VectorRect(220, 300, 100, 50));
    EXPECT_EQ(undoSteps(), 1);
}
