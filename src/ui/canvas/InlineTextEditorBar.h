#pragma once

#include "model/TextPayload.h"

#include <QUuid>
#include <optional>
#include <QWidget>

class QLineEdit;

namespace zelvane {

class AppModel;
class Chip;
class IconButton;
class TextButton;

// The floating bar in which one text element is edited without leaving the
// canvas: a chip telling PDF text from typed text, the draft in a one-line
// field, Apply, Original PDF (while the stored text differs from the PDF's)
// and close. The draft reaches the document only when committed (Apply or
// Return), as one undo step; it follows the document when the element or
// its stored text changes underneath. While the field has the keyboard it
// keeps the editing keys (Ctrl+A selects the draft, Ctrl+Z undoes typing
// before it undoes the document) and Escape closes the bar.
class InlineTextEditorBar : public QWidget {
    Q_OBJECT

public:
    static constexpr int kFieldMinWidth = 280;
    static constexpr int kFieldMaxWidth = 440;

    explicit InlineTextEditorBar(AppModel& model, QWidget* parent = nullptr);

    // The element being edited and its payload as the document holds it
    // now. The draft starts anew when the bar appears, and while it is shown
    // only for another element or another stored text.
    void setElement(const QUuid& elementID, const TextPayload& payload);
    const QUuid& elementID() const { return m_elementID; }

    QString draftText() const { return m_draft; }
    void setDraftText(const QString& text);

    // Writes a changed draft into the element and refits its frame.
    void commitEdit();
    // Puts the element back as the PDF printed it.
    void restoreOriginalPDFText();
    // Ends the editing without committing the draft.
    void closeEditing();

    // Gives the field the keyboard: the cursor at `cursor` (a position in
    // the draft), or the whole draft selected.
    void focusField(std::optional<int> cursor = std::nullopt);

    QLineEdit* field() const { return m_field; }
    TextButton* applyButton() const { return m_apply; }
    TextButton* restoreButton() const { return m_restore; }
    IconButton* closeButton() const { return m_close; }
    Chip* chip() const { return m_chip; }

protected:
    void paintEvent(QPaintEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void retranslate();
    void refreshControls();

    AppModel& m_model;
    QUuid m_elementID;
    TextPayload m_payload;
    QString m_draft;
    Chip* m_chip;
    QLineEdit* m_field;
    TextButton* m_apply;
    TextButton* m_restore;
    IconButton* m_close;
};

}  // namespace zelvane
