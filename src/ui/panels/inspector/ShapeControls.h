#pragma once

#include "model/VectorElement.h"

#include <QWidget>

class QCheckBox;

namespace zelvane {

class VectorController;

// The controls of a shape: dashed, and the end arrow of lines and arrows.
class ShapeControls : public QWidget {
    Q_OBJECT

public:
    explicit ShapeControls(VectorController& controller, QWidget* parent = nullptr);

    void showElement(const VectorElement& element, const ShapePayload& payload);

    QCheckBox* dashedToggle() const { return m_dashed; }
    QCheckBox* endArrowToggle() const { return m_endArrow; }

private:
    VectorController& m_controller;
    QUuid m_elementID;
    QCheckBox* m_dashed;
    QCheckBox* m_endArrow;
};

}  // namespace zelvane
