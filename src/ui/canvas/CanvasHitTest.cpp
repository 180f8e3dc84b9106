#include "canvas/CanvasHitTest.h"

#include <cmath>

namespace zelvane {

std::optional<VectorElement> hitTestElement(const VectorPoint& point, const ElementList& elements,
                                            bool textOnly)
{
    QList<const VectorElement*> kept;
    for (qsizetype i = elements.size() - 1; i >= 0; --i) {
        const VectorElement& element = elements[i];
        if (!element.visible || (textOnly && !element.text()))
            continue;
        if (element.frame.contains(point, 3))
            kept.append(&element);
    }
    if (kept.isEmpty())
        return std::nullopt;
    QList<const VectorElement*> narrow;
    for (const VectorElement* element : kept) {
        if (element->frame.contains(point, 0.5))
            narrow.append(element);
    }
    const QList<const VectorElement*>& used = narrow.isEmpty() ? kept : narrow;
    const VectorElement* candidate = used.front();
    auto distance = [&point](const VectorElement* e) { return std::abs(e->frame.midY() - point.y); };
    for (qsizetype i = 1; i < used.size(); ++i) {
        if (distance(used[i]) < distance(candidate))
            candidate = used[i];
    }
    return *candidate;
}

}  // namespace zelvane
