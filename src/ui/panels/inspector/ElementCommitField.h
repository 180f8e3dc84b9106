#pragma once

#include "controls/CommitField.h"

#include <QUuid>
#include <functional>
#include <optional>

namespace zelvane {

// A CommitField bound to the element it shows. A text typed for one element
// stays that element's: when another element is shown while the field holds
// an uncommitted change, the later commit names the first element
// (`draft` true), never the one shown by then. A focused field the user has
// not typed into shows the element's value as it changes. After each commit
// the field shows the shown element's own value again.
class ElementCommitField : public CommitField {
    Q_OBJECT

public:
    using Commit = std::function<void(const QUuid& target, bool draft, const QString& text)>;

    ElementCommitField(const QString& placeholder, Commit commit, QWidget* parent = nullptr);

    // Call first whenever the shown element may have changed.
    void retarget(const QUuid& elementID);
    // Retargets and shows the element's value.
    void showElement(const QUuid& elementID, const QString& value);

    const QUuid& elementID() const { return m_elementID; }
    bool hasDraftForAnother() const { return m_draftFor.has_value(); }

private:
    // Focused, with text the user changed.
    bool isTyping() const;
    void showOwnValue();

    Commit m_commit;
    QUuid m_elementID;
    std::optional<QUuid> m_draftFor;
};

}  // namespace zelvane
