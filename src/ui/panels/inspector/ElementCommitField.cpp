#include "panels/inspector/ElementCommitField.h"

#include <QPointer>

namespace zelvane {

ElementCommitField::ElementCommitField(const QString& placeholder, Commit commit, QWidget* parent)
    : CommitField(QString(), placeholder, false, {}, {}, parent), m_commit(std::move(commit))
{
    setOnCommit([this](const QString& text) {
        const QUuid target = m_draftFor.value_or(m_elementID);
        const bool draft = m_draftFor.has_value();
        m_draftFor.reset();
        const Commit handler = m_commit;
        QPointer<ElementCommitField> self(this);
        if (handler)
            handler(target, draft, text);
        // Committed once: the field goes back to the shown element's own
        // value, so neither another Return nor leaving the field can write
        // the same text again, least of all to another element.
        if (self)
            self->showOwnValue();
    });
}

void ElementCommitField::showOwnValue()
{
    if (text() != value())
        setText(value());
    setModified(false);
}

bool ElementCommitField::isTyping() const
{
    return hasFocus() && isModified() && text() != value();
}

void ElementCommitField::retarget(const QUuid& elementID)
{
    if (elementID == m_elementID)
        return;
    if (!m_draftFor && isTyping())
        m_draftFor = m_elementID;
    m_elementID = elementID;
}

void ElementCommitField::showElement(const QUuid& elementID, const QString& value)
{
    retarget(elementID);
    const bool keepText = m_draftFor.has_value() || isTyping();
    setValue(value);
    // A focused field the user has not typed into follows the element: a
    // stale text would otherwise be committed over it when focus leaves.
    if (!keepText && text() != value)
        setText(value);
    if (text() == value)
        setModified(false);
}

}  // namespace zelvane
