#pragma once

#include "model/VectorElement.h"

#include <QList>
#include <QWidget>

class QLabel;

namespace zelvane {

class ElementCommitField;
class ElementSliderRow;
class FontFamilyList;
class IconButton;
class VectorController;

// The controls of a text element: the PDF status line, the content, the
// font, the size, bold, italic and the alignment. Built once; showElement()
// refreshes the values in place.
class TextControls : public QWidget {
    Q_OBJECT

public:
    explicit TextControls(VectorController& controller, QWidget* parent = nullptr);

    void showElement(const VectorElement& element, const TextPayload& payload);

    ElementCommitField* contentField() const { return m_content; }
    FontFamilyList* fontList() const { return m_fontList; }
    ElementSliderRow* sizeRow() const { return m_size; }
    IconButton* boldButton() const { return m_bold; }
    IconButton* italicButton() const { return m_italic; }
    IconButton* alignmentButton(int index) const { return m_alignment.value(index); }

private:
    // A discrete edit of the shown text element (none when it is no longer text).
    void editText(const QString& label, bool restyles, const std::function<void(TextPayload&)>& change);

    VectorController& m_controller;
    QUuid m_elementID;
    QWidget* m_pdfStatus;
    QLabel* m_pdfStatusText;
    ElementCommitField* m_content;
    FontFamilyList* m_fontList;
    ElementSliderRow* m_size;
    IconButton* m_bold;
    IconButton* m_italic;
    QList<IconButton*> m_alignment;
};

}  // namespace zelvane
