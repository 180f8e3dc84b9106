#pragma once

#include "model/VectorElement.h"

#include <QString>
#include <QUuid>
#include <functional>

namespace zelvane {

class VectorController;

// How the inspector writes to one element.
namespace ElementEdits {

using Change = std::function<void(VectorElement&)>;

// One undo step through the controller: the change applies to the element
// with `id` on the current page (nothing when it is not there, but the step
// and a non-empty label are still recorded).
void apply(VectorController& controller, const QUuid& id, const QString& label, const Change& change);

// For a text typed while another element was shown: the change lands on the
// element with `id` on whichever page holds it, as one undo step; when no
// page holds it nothing happens at all. Returns whether it was applied.
bool applyWherever(VectorController& controller, const QUuid& id, const QString& label, const Change& change);

// A text field's commit. A commit that would leave the element as it is
// records nothing. Otherwise `draft` (a text typed while another element was
// shown) goes through applyWherever(), any other through apply().
void commitField(VectorController& controller, const QUuid& id, bool draft, const QString& label,
                 const Change& change);

// A change of the element's payload of kind `Payload`; other kinds stay.
template <class Payload>
Change payloadChange(std::function<void(Payload&)> change)
{
    return [change = std::move(change)](VectorElement& element) {
        if (auto* payload = std::get_if<Payload>(&element.kind))
            change(*payload);
    };
}

// The commit of a field that sets one text of the payload, with no label.
template <class Payload>
std::function<void(const QUuid&, bool, const QString&)> payloadTextCommit(
    VectorController& controller, std::function<void(Payload&, const QString&)> set)
{
    return [&controller, set = std::move(set)](const QUuid& target, bool draft, const QString& text) {
        commitField(controller, target, draft, QString(),
                    payloadChange<Payload>([&set, text](Payload& payload) { set(payload, text); }));
    };
}

// The page that holds the element, or -1.
qsizetype pageIndexOf(const VectorController& controller, const QUuid& id);

}  // namespace ElementEdits

}  // namespace zelvane
