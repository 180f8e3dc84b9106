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

}  // namespace zelvane::ElementEdits
