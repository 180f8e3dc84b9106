#pragma once

#include "model/VectorElement.h"

#include <QWidget>

class QCheckBox;

namespace zelvane {

class ElementCommitField;
class VectorController;

// The controls of a stamp: the white-background toggle for one made from a
// file, else its title and subtitle.
class StampControls : public QWidget {
    Q_OBJECT

public:
    explicit StampControls(VectorController& controller, QWidget* parent = nullptr);

    void showElement(const VectorElement& element, const StampPayload& payload);

    QCheckBox* inkToggle() const { return m_ink; }
    ElementCommitField* titleField() const { return m_title; }
    ElementCommitField* subtitleField() const { return m_subtitle; }

private:
    VectorController& m_controller;
    QUuid m_elementID;
    QCheckBox* m_ink;
    QWidget* m_builtIn;
    ElementCommitField* m_title;
    ElementCommitField* m_subtitle;
};

}  // namespace zelvane
