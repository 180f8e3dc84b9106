#include "panels/inspector/ElementEdits.h"

#include "VectorController.h"
#include "operations/VectorOperations.h"

namespace zelvane::ElementEdits {

void apply(VectorController& controller, const QUuid& id, const QString& label, const Change& change)
{
    controller.perform(label, [&](VectorDocument& document) {
        VectorOperations::updateElement(id, controller.currentPageIndex(), document, change);
    });
}

qsizetype pageIndexOf(const VectorController& controller, const QUuid& id)
{
    const QList<VectorPage>& pages = controller.document().pages;
    for (qsizetype i = 0; i < pages.size(); ++i) {
        for (const VectorElement& element : pages[i].elements) {
            if (element.id == id)
                return i;
        }
    }
    return -1;
}

bool applyWherever(VectorController& controller, const QUuid& id, const QString& label, const Change& change)
{
    const qsizetype page = pageIndexOf(controller, id);
    if (page < 0)
        return false;
    controller.perform(label, [&](VectorDocument& document) {
        VectorOperations::updateElement(id, page, document, change);
    });
    return true;
}

void commitField(VectorController& controller, const QUuid& id, bool draft, const QString& label,
                 const Change& change)
{
    const qsizetype page = draft ? pageIndexOf(controller, id) : controller.currentPageIndex();
    const QList<VectorPage>& pages = controller.document().pages;
    if (page >= 0 && page < pages.size()) {
        for (const VectorElement& element : pages[page].elements) {
            if (element.id != id)
                continue;
            VectorElement changed = element;
            change(changed);
            if (changed == element)
                return;
            break;
        }
    }
    if (draft)
        applyWherever(controller, id, label, change);
    else
        apply(controller, id, label, change);
}

}  // namespace zelvane::ElementEdits
