#pragma once

#include <QColor>
#include <QLineEdit>
#include <functional>

class QVariantAnimation;

namespace zelvane {

// A text field that keeps the user's text while it has focus and commits
// it: on every Return (onCommit, then onSubmit) and when focus leaves with
// changed text (onCommit only). The caller answers with setValue(); while
// the field has focus a new value waits, and once focus has left the field
// shows the caller's value again, so a refused or normalised commit never
// stays on screen. The callbacks may delete the field.
class CommitField : public QLineEdit {
    Q_OBJECT

public:
    using Callback = std::function<void(const QString&)>;

    CommitField(const QString& value, const QString& placeholder, bool monospaced, Callback onCommit,
                Callback onSubmit = {}, QWidget* parent = nullptr);

    const QString& value() const { return m_value; }
    // The caller's value; shown at once unless the user is typing.
    void setValue(const QString& value);
    void setOnCommit(Callback onCommit) { m_onCommit = std::move(onCommit); }
    void setOnSubmit(Callback onSubmit) { m_onSubmit = std::move(onSubmit); }

    // The border colour now: faint at rest, accent while focused, eased
    // between the two over 0.15 s.
    QColor borderColor() const;

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    void animateFocus(bool focused);

    QVariantAnimation* m_focusAnimation;
    double m_focusProgress = 0;
    QString m_value;
    Callback m_onCommit;
    Callback m_onSubmit;
};

}  // namespace zelvane
