#include "CanvasToolsTestSupport.h"

#include <QTransform>

using namespace zelvane;
using namespace zelvane::testing;

namespace {

class PlacementToolTest : public CanvasToolTest {
protected:
    const VectorElement& last() { return page().elements.last(); }
};

}  // namespace

TEST_F(PlacementToolTest, ShapeToolsPlaceFromTheRubberBandOrAClick)
{
    model->setActiveTool(EditorTool::rectangle);
    dragPage({300, 200}, {250, 260});
    ASSERT_EQ(page().elements.size(), 1);
    const ShapePayload* shape = std::get_if<ShapePayload>(&last().kind);
    ASSERT_TRUE(shape);
    EXPECT_EQ(shape->shapeType, VectorShapeType::roundedRectangle);
    EXPECT_EQ(last().frame, VectorRect(250, 200, 50, 60));
    EXPECT_EQ(controller().selection(), QSet<QUuid>{last().id});
    EXPECT_EQ(model->activeTool(), EditorTool::select);
    EXPECT_EQ(undoSteps(), 1);

    model->setActiveTool(EditorTool::ellipse);
    dragPage({300, 200}, {250, 210});
    EXPECT_EQ(last().frame, VectorRect(250, 200, 50, 24));
    EXPECT_EQ(std::get<ShapePayload>(last().kind).shapeType, VectorShapeType::ellipse);

    model->setActiveTool(EditorTool::arrow);
    click(panePoint({400, 500}));
    EXPECT_EQ(last().frame, VectorRect(400, 500, 36, 24));
    EXPECT_EQ(std::get<ShapePayload>(last().kind).shapeType, VectorShapeType::arrow);
    EXPECT_EQ(undoSteps(), 3);
    controller().undo();
    EXPECT_EQ(page().elements.size(), 2);
}

TEST_F(PlacementToolTest, AnArrowPointsFromWhereTheDragStartsToWhereItEnds)
{
    // Where an arrow is drawn: between its points in its frame, turned
    // about the frame's centre.
    const auto tail_and_head = [](const VectorElement& arrow) {
        const QRectF r = arrow.frame.toQRectF();
        const QTransform turn = QTransform()
                                    .translate(r.center().x(), r.center().y())
                                    .rotate(arrow.rotationDegrees)
                                    .translate(-r.center().x(), -r.center().y());
        const auto [start, end] = lineEnds(std::get<ShapePayload>(arrow.kind), arrow.frame);
        return std::pair(turn.map(start), turn.map(end));
    };
    const VectorPoint start{300, 400};
    for (const VectorPoint end : {VectorPoint{420, 330}, VectorPoint{180, 470}, VectorPoint{410, 480},
                                  VectorPoint{200, 320}, VectorPoint{300, 250}, VectorPoint{150, 400}}) {
        model->setActiveTool(EditorTool::arrow);
        dragPage(start, end);
        ASSERT_EQ(std::get<ShapePayload>(last().kind).shapeType, VectorShapeType::arrow);
        const auto [tail, head] = tail_and_head(last());
        EXPECT_NEAR(tail.x(), start.x, 1) << end.x << "," << end.y;
        EXPECT_NEAR(tail.y(), start.y, 1) << end.x << "," << end.y;
        EXPECT_NEAR(head.x(), end.x, 1) << end.x << "," << end.y;
        EXPECT_NEAR(head.y(), end.y, 1) << end.x << "," << end.y;
        // Nobody turned it: its frame is the box the drag spans.
        EXPECT_EQ(last().rotationDegrees, 0) << end.x << "," << end.y;
        EXPECT_NEAR(last().frame.width, std::max(std::abs(end.x - start.x), 1.0), 1e-9) << end.x << "," << end.y;
        EXPECT_NEAR(last().frame.height, std::max(std::abs(end.y - start.y), 1.0), 1e-9) << end.x << "," << end.y;
    }
    EXPECT_EQ(undoSteps(), 6);

    // Left to right and down, as the inspector shows it.
    model->setActiveTool(EditorTool::arrow);
    dragPage({100, 100}, {287, 199});
    EXPECT_EQ(last().rotationDegrees, 0);
    EXPECT_EQ(last().frame, VectorRect(100, 100, 187, 99));
}

TEST_F(PlacementToolTest, PenStrokesAddPathsAndKeepThePen)
{
    model->setActiveTool(EditorTool::pen);
    click(panePoint({200, 200}));
    EXPECT_TRUE(page().elements.isEmpty());
    EXPECT_FALSE(controller().canUndo());
    EXPECT_EQ(model->activeTool(), EditorTool::pen);

    dragPage({200, 200}, {320, 260}, {}, 12);
    ASSERT_EQ(page().elements.size(), 1);
    const PathPayload* path = std::get_if<PathPayload>(&last().kind);
    ASSERT_TRUE(path);
    EXPECT_TRUE(path->smoothCurves);
    EXPECT_EQ(last().name, QStringLiteral("Freehand Path"));
    EXPECT_EQ(last().style.strokeColorHex, QStringLiteral("#111317"));
    EXPECT_NEAR(last().frame.x, 200, 1e-6);
    EXPECT_NEAR(last().frame.maxX(), 320, 1e-6);
    EXPECT_EQ(controller().statusMessage(), QStringLiteral("Vector path added"));
    EXPECT_EQ(controller().selection(), QSet<QUuid>{last().id});
    EXPECT_EQ(model->activeTool(), EditorTool::pen);
    EXPECT_EQ(undoSteps(), 1);
}

TEST_F(PlacementToolTest, SignatureDragsDrawInkAndShortOnesPlaceTheSavedSignature)
{
    model->setActiveTool(EditorTool::signature);
    // Three points: too few for ink.
    dragPage({200, 300}, {260, 320}, {}, 2);
    ASSERT_EQ(page().elements.size(), 1);
    EXPECT_TRUE(controller().statusMessage().startsWith(QStringLiteral("Signature placed (")));
    EXPECT_EQ(model->activeTool(), EditorTool::select);

    // Many points ending near where they began: a scribble, not ink.
    model->setActiveTool(EditorTool::signature);
    press(panePoint({200, 400}));
    moveTo(panePoint({240, 420}));
    moveTo(panePoint({260, 380}));
    moveTo(panePoint({230, 390}));
    moveTo(panePoint({204, 402}));
    release(panePoint({204, 402}));
    EXPECT_EQ(page().elements.size(), 2);
    EXPECT_TRUE(controller().statusMessage().startsWith(QStringLiteral("Signature placed (")));

    model->setActiveTool(EditorTool::signature);
    dragPage({200, 500}, {330, 540}, {}, 8);
    ASSERT_EQ(page().elements.size(), 3);
    EXPECT_EQ(controller().statusMessage(), QStringLiteral("Handwritten signature drawn"));
    const SignaturePayload* ink = std::get_if<SignaturePayload>(&last().kind);
    ASSERT_TRUE(ink);
    EXPECT_FALSE(ink->strokes.isEmpty());
    EXPECT_EQ(model->activeTool(), EditorTool::select);
    EXPECT_EQ(undoSteps(), 3);
}

TEST_F(PlacementToolTest, TheTextToolEditsAnExistingBlockOrAddsOne)
{
    const QUuid existing = addText(QStringLiteral("Hello"), {100, 100});
    model->setActiveTool(EditorTool::text);
    click(panePoint({110, 106}));
    EXPECT_EQ(page().elements.size(), 1);
    EXPECT_EQ(model->editingTextElementID(), existing);
    EXPECT_EQ(controller().selection(), QSet<QUuid>{existing});
    EXPECT_EQ(model->activeTool(), EditorTool::select);
    EXPECT_FALSE(controller().canUndo());

    model->setActiveTool(EditorTool::text);
    click(panePoint({300, 400}));
    ASSERT_EQ(page().elements.size(), 2);
    EXPECT_EQ(last().text()->text, QStringLiteral("Editable text"));
    EXPECT_EQ(model->editingTextElementID(), last().id);
    EXPECT_EQ(controller().statusMessage(), QStringLiteral("Text block added"));
    EXPECT_EQ(undoSteps(), 1);
}

TEST_F(PlacementToolTest, TheStampToolPlacesAStampWhereClicked)
{
    model->setActiveTool(EditorTool::stamp);
    click(panePoint({300, 400}));
    ASSERT_EQ(page().elements.size(), 1);
    EXPECT_TRUE(std::holds_alternative<StampPayload>(last().kind));
    EXPECT_NEAR(last().frame.center().x, 300, 1e-6);
    EXPECT_EQ(model->activeTool(), EditorTool::select);
    EXPECT_EQ(undoSteps(), 1);
}

// ---- Faults ---------------------------------------------------------------

TEST_F(PlacementToolTest, InkOfAnUnfinishedStrokeDoesNotJoinTheNext)
{
    model->setActiveTool(EditorTool::pen);
    press(panePoint({100, 100}));
    moveTo(panePoint({400, 100}));
    moveTo(panePoint({400, 600}));
    // The release went elsewhere; the next stroke is a single point.
    QTest::mouseRelease(view.get(), Qt::LeftButton, {}, QPoint(1, 1));
    click(panePoint({200, 200}));
    EXPECT_TRUE(page().elements.isEmpty());

    // Switching tools mid-stroke drops the ink too.
    press(panePoint({100, 100}));
    moveTo(panePoint({400, 100}));
    model->setActiveTool(EditorTool::pen);
    model->setActiveTool(EditorTool::select);
    model->setActiveTool(EditorTool::pen);
    release(panePoint({400, 100}));
    EXPECT_TRUE(page().elements.isEmpty());
}

TEST_F(PlacementToolTest, ASelectDragReleasedUnderAShapeToolPlacesNothing)
{
    press(panePoint({500, 100}));
    moveTo(panePoint({520, 120}));
    model->setActiveTool(EditorTool::rectangle);
    release(panePoint({540, 140}));
    EXPECT_TRUE(page().elements.isEmpty());
    EXPECT_EQ(model->activeTool(), EditorTool::rectangle);
}

TEST_F(PlacementToolTest, AnOutOfRangePageIndexEditsThePageShown)
{
    VectorDocument document = controller().document();
    VectorOperations::addPage(document, 0, PageFormatPreset::a4Portrait, QStringLiteral("Page 2"));
    controller().setDocument(document);
    controller().setCurrentPageIndex(7);
    useUnitScale();
    model->setActiveTool(EditorTool::pen);
    dragPage({200, 200}, {320, 260});
    EXPECT_EQ(controller().currentPageIndex(), 0);
    EXPECT_EQ(page(0).elements.size(), 1);

    controller().setCurrentPageIndex(-3);
    model->setActiveTool(EditorTool::signature);
    dragPage({200, 500}, {330, 540}, {}, 8);
    EXPECT_EQ(page(0).elements.size(), 2);
    EXPECT_TRUE(page(1).elements.isEmpty());
}
