#include "panels/inspector/ShapeControls.h"

#include "Localization.h"
#include "VectorController.h"
#include "panels/inspector/ElementEdits.h"
#include "panels/inspector/InspectorWidgets.h"

#include <QCheckBox>
#include <QHBoxLayout>

namespace zelvane {

ShapeControls::ShapeControls(VectorController& controller, QWidget* parent)
    : QWidget(parent), m_controller(controller)
{
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(8);
    m_dashed = InspectorWidgets::toggle(L("Pointillés", "Dashed"), this);
    // The style of whatever element is there, shape or not.
    connect(m_dashed, &QCheckBox::clicked, this, [this](bool on) {
        ElementEdits::apply(m_controller, m_elementID, QString(),
                            [on](VectorElement& element) { element.style.dashed = on; });
    });
    row->addWidget(m_dashed);
    m_endArrow = InspectorWidgets::toggle(L("Flèche fin", "End Arrow"), this);
    connect(m_endArrow, &QCheckBox::clicked, this, [this](bool on) {
        ElementEdits::apply(m_controller, m_elementID, QString(), [on](VectorElement& element) {
            if (auto* payload = std::get_if<ShapePayload>(&element.kind))
                payload->endArrow = on;
        });
    });
    row->addWidget(m_endArrow);
    row->addStretch(1);
}

void ShapeControls::showElement(const VectorElement& element, const ShapePayload& payload)
{
    m_elementID = element.id;
    m_dashed->setChecked(element.style.dashed);
    m_endArrow->setVisible(payload.shapeType == VectorShapeType::line || payload.shapeType == VectorShapeType::arrow);
    m_endArrow->setChecked(payload.endArrow);
}

}  // namespace zelvane
