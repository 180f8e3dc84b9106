#pragma once

#include "model/VectorElement.h"

#include <QWidget>

class QCheckBox;

namespace zelvane {

class ElementCommitField;
class TextButton;
class VectorController;

// The controls of a signature: the white-background toggle for one made
// from a file, else the signer, the caption and saving it to the library.
class SignatureControls : public QWidget {
    Q_OBJECT

public:
    explicit SignatureControls(VectorController& controller, QWidget* parent = nullptr);

    void showElement(const VectorElement& element, const SignaturePayload& payload);

    QCheckBox* inkToggle() const { return m_ink; }
    ElementCommitField* signerField() const { return m_signer; }
    ElementCommitField* captionField() const { return m_caption; }
    TextButton* saveButton() const { return m_save; }

private:
    VectorController& m_controller;
    VectorElement m_element;
    QCheckBox* m_ink;
    QWidget* m_drawn;
    ElementCommitField* m_signer;
    ElementCommitField* m_caption;
    TextButton* m_save;
};

}  // namespace zelvane
