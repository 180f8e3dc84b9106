#include "panels/inspector/ElementCommitField.h"

namespace zelvane {

ElementCommitField::ElementCommitField(const QString& placeholder, Commit commit, QWidget* parent)
    : CommitField(QString(), placeholder, false, {}, {}, parent), m_commit(std::move(commit))
{
    setOnCommit([this](const QString& text) {
        const QUuid target = m_draftFor.value_or(m_elementID);
        const bool draft = m_draftFor.has_value();
        m_draftFor.reset();
        const Commit handler = m_commit;
        if (handler)
            handler(target, draft, text);
    });
}

void ElementCommitField::retarget(const QUuid& elementID)
{
    if (elementID == m_elementID)
        return;
    if (!m_draftFor && hasFocus() && text() != value())
        m_draftFor = m_elementID;
    m_elementID = elementID;
}

void ElementCommitField::showElement(const QUuid& elementID, const QString& value)
{
    retarget(elementID);
    setValue(value);
}

}  // namespace zelvane
