#include "controls/CommitField.h"

#include "theme/Theme.h"

#include <QKeyEvent>
#include <QPointer>

namespace zelvane {

namespace {

QString rgba(const QColor& color)
{
    return QStringLiteral("rgba(%1, %2, %3, %4)")
        .arg(color.red())
        .arg(color.green())
        .arg(color.blue())
        .arg(color.alpha());
}

}  // namespace

CommitField::CommitField(const QString& value, const QString& placeholder, bool monospaced, Callback onCommit,
                         Callback onSubmit, QWidget* parent)
    : QLineEdit(value, parent), m_value(value), m_onCommit(std::move(onCommit)), m_onSubmit(std::move(onSubmit))
{
    setPlaceholderText(placeholder);
    setFont(Theme::font(11.5, QFont::Normal, monospaced));
    setFrame(false);
    setStyleSheet(QStringLiteral("QLineEdit { background: %1; color: %2; border: 1px solid %3; border-radius: 5px;"
                                 " padding: 4px 7px; }"
                                 " QLineEdit:focus { border-color: %4; }")
                      .arg(rgba(Theme::white(0.05)), Theme::text().name(), rgba(Theme::white(0.08)),
                           rgba(Theme::withOpacity(Theme::accent(), 0.6))));
}

void CommitField::setValue(const QString& value)
{
    m_value = value;
    if (!hasFocus() && text() != value)
        setText(value);
}

void CommitField::keyPressEvent(QKeyEvent* event)
{
    if (event->key() != Qt::Key_Return && event->key() != Qt::Key_Enter) {
        QLineEdit::keyPressEvent(event);
        return;
    }
    event->accept();
    // Copies: a callback may delete this field, and with it the members.
    const QString committed = text();
    const Callback commit = m_onCommit;
    const Callback submit = m_onSubmit;
    if (commit)
        commit(committed);
    if (submit)
        submit(committed);
}

void CommitField::focusOutEvent(QFocusEvent* event)
{
    QLineEdit::focusOutEvent(event);
    const QString committed = text();
    if (committed == m_value)
        return;
    QPointer<CommitField> self(this);
    const Callback commit = m_onCommit;
    if (commit)
        commit(committed);
    // A field deleted by its own commit is left alone.
    if (self)
        setText(m_value);
}

}  // namespace zelvane
