#pragma once

#include "UiTestSupport.h"
#include "VectorController.h"
#include "appmodel/AppModel.h"
#include "canvas/CanvasViewportView.h"
#include "canvas/SinglePageCanvas.h"
#include "operations/VectorOperations.h"

#include <QApplication>
#include <QTest>
#include <cmath>
#include <memory>

namespace zelvane::testing {

// A shown canvas of 1000 × 700 on a model without services, one blank A4
// page, driven with the mouse; the document is checked through the
// controller.
class CanvasToolTest : public UiTest {
protected:
    void SetUp() override
    {
        UiTest::SetUp();
        model = std::make_unique<AppModel>(false, false);
        view = std::make_unique<CanvasViewportView>(*model);
        view->resize(1000, 700);
        view->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(view.get()));
        useUnitScale();
    }

    // One pane point per page point, the page's origin on a whole pane
    // point: page points given as whole numbers stay exact on the way.
    void useUnitScale()
    {
        model->setPanOffset(QSizeF(0, 0));
        model->setZoomScale(1);
        model->setZoomScale(1 / canvas().geometry().scale());
        const QPointF origin = canvas().geometry().pageToPane(VectorPoint{0, 0});
        model->setPanOffset(QSizeF(std::round(origin.x()) - origin.x(), std::round(origin.y()) - origin.y()));
    }

    void TearDown() override
    {
        view.reset();
        model.reset();
    }

    SinglePageCanvas& canvas() { return *view->singlePageCanvas(); }
    VectorController& controller() { return model->controller(); }
    const VectorPage& page(qsizetype index = 0) { return controller().document().pages.at(index); }

    // Adds an element without leaving an undo step behind.
    QUuid add(const VectorElement& element)
    {
        VectorDocument document = controller().document();
        VectorOperations::addElement(element, 0, document);
        controller().setDocument(document);
        return element.id;
    }
    QUuid addShape(const VectorRect& frame, VectorShapeType type = VectorShapeType::rectangle)
    {
        return add(VectorElement::make(QStringLiteral("Shape"), ShapePayload::make(type, 6, false, false), frame, 0,
                                       VectorStyle(QStringLiteral("#2563EB"), std::nullopt, 1.5, 1, false)));
    }
    QUuid addText(const QString& text, const VectorPoint& at)
    {
        return add(VectorOperations::makeTextElement(text, at, 12, QStringLiteral("#111317"), false));
    }
    std::optional<VectorElement> element(const QUuid& id)
    {
        for (const VectorElement& e : page().elements)
            if (e.id == id)
                return e;
        return std::nullopt;
    }
    qsizetype undoSteps() { return controller().history().undoStack().size(); }

    QPointF pane(const VectorPoint& p) { return canvas().geometry().pageToPane(p); }
    QPoint panePoint(const VectorPoint& p) { return pane(p).toPoint(); }

    void press(const QPoint& at, Qt::KeyboardModifiers modifiers = {})
    {
        QTest::mousePress(&canvas(), Qt::LeftButton, modifiers, at);
    }
    void moveTo(const QPoint& at, Qt::KeyboardModifiers modifiers = {})
    {
        QTest::mouseEvent(QTest::MouseMove, &canvas(), Qt::NoButton, modifiers, at);
    }
    void release(const QPoint& at, Qt::KeyboardModifiers modifiers = {})
    {
        QTest::mouseRelease(&canvas(), Qt::LeftButton, modifiers, at);
    }
    // Press, moves in `steps` even steps, release, all with the button held.
    void drag(const QPoint& from, const QPoint& to, Qt::KeyboardModifiers modifiers = {}, int steps = 4)
    {
        press(from, modifiers);
        for (int i = 1; i <= steps; ++i)
            moveTo(from + (to - from) * i / steps, modifiers);
        release(to, modifiers);
    }
    void dragPage(const VectorPoint& from, const VectorPoint& to, Qt::KeyboardModifiers modifiers = {}, int steps = 4)
    {
        drag(panePoint(from), panePoint(to), modifiers, steps);
    }
    void click(const QPoint& at) { QTest::mouseClick(&canvas(), Qt::LeftButton, {}, at); }

    std::unique_ptr<AppModel> model;
    std::unique_ptr<CanvasViewportView> view;
};

}  // namespace zelvane::testing
