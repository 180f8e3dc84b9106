#pragma once

#include "model/VectorElement.h"

#include <QList>
#include <QWidget>

class QStackedWidget;

namespace zelvane {

class Chip;
class ColorSwatchStrip;
class CoordinateBadge;
class ElementCommitField;
class ElementSliderRow;
class ShapeControls;
class SignatureControls;
class StampControls;
class TextButton;
class TextControls;
class VectorController;

// The inspector's first section: the selected element's kind, name, its
// kind's own controls, colours, stroke width, geometry, size, rotation and
// order. Built once; showElement() refreshes every value in place with the
// controls' signals quiet, so focus, an open menu and a drag survive.
class SelectedElementSection : public QWidget {
    Q_OBJECT

public:
    explicit SelectedElementSection(VectorController& controller, QWidget* parent = nullptr);

    void showElement(const VectorElement& element);
    // Before the section hides or shows another element: a text typed for
    // the element shown so far stays that element's.
    void retargetFields(const QUuid& elementID);

    const QUuid& elementID() const { return m_elementID; }
    Chip* kindChip() const { return m_chip; }
    ElementCommitField* nameField() const { return m_name; }
    QStackedWidget* kindControls() const { return m_kindStack; }
    TextControls* textControls() const { return m_text; }
    SignatureControls* signatureControls() const { return m_signature; }
    ShapeControls* shapeControls() const { return m_shape; }
    StampControls* stampControls() const { return m_stamp; }
    ColorSwatchStrip* strokeStrip() const { return m_stroke; }
    ColorSwatchStrip* fillStrip() const { return m_fill; }
    ElementSliderRow* strokeWidthRow() const { return m_strokeWidth; }
    CoordinateBadge* badge(int index) const { return m_badges.value(index); }
    ElementSliderRow* sizeRow() const { return m_size; }
    ElementSliderRow* rotationRow() const { return m_rotation; }
    // "-15°", "0°", "+15°", "90°", then Front, Back, Duplicate.
    TextButton* button(const QString& title) const;

private:
    void rotate(const QString& label, const std::function<double(double)>& next);
    void showKindPage(QWidget* page);

    VectorController& m_controller;
    QUuid m_elementID;
    Chip* m_chip;
    ElementCommitField* m_name;
    QStackedWidget* m_kindStack;
    QWidget* m_noControls;
    TextControls* m_text;
    SignatureControls* m_signature;
    ShapeControls* m_shape;
    StampControls* m_stamp;
    ColorSwatchStrip* m_stroke;
    ColorSwatchStrip* m_fill;
    ElementSliderRow* m_strokeWidth;
    QList<CoordinateBadge*> m_badges;
    ElementSliderRow* m_size;
    ElementSliderRow* m_rotation;
    QList<TextButton*> m_buttons;
};

}  // namespace zelvane
