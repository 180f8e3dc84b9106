#include "canvas/CanvasHitTest.h"

#include <cmath>

namespace zelvane {

VectorPoint inOwnFrame(const VectorPoint& point, const VectorElement& element)
{
    const double degrees = element.rotationDegrees;
    if (!std::isfinite(degrees) || std::fmod(degrees, 360.0) == 0)
        return point;
    const double r = -degrees * M_PI / 180;
    const double cx = element.frame.midX();
    const double cy = element.frame.midY();
    const double dx = point.x - cx;
    const double dy = point.y - cy;
    return VectorPoint(cx + dx * std::cos(r) - dy * std::sin(r), cy + dx * std::sin(r) + dy * std::cos(r));
}

std::optional<VectorElement> hitTestElement(const VectorPoint& point, const ElementList& elements,
                                            bool textOnly)
{
    QList<const VectorElement*> kept;
    for (qsizetype i = elements.size() - 1; i >= 0; --i) {
        const VectorElement& element = elements[i];
        if (!element.visible || (textOnly && !element.text()))
            continue;
        if (element.frame.contains(inOwnFrame(point, element), 3))
            kept.append(&element);
    }
    if (kept.isEmpty())
        return std::nullopt;
    QList<const VectorElement*> narrow;
    for (const VectorElement* element : kept) {
        if (element->frame.contains(inOwnFrame(point, *element), 0.5))
            narrow.append(element);
    }
    const QList<const VectorElement*>& used = narrow.isEmpty() ? kept : narrow;
    const VectorElement* candidate = used.front();
    auto distance = [&point](const VectorElement* e) {
        return std::abs(e->frame.midY() - inOwnFrame(point, *e).y);
    };
    for (qsizetype i = 1; i < used.size(); ++i) {
        if (distance(used[i]) < distance(candidate))
            candidate = used[i];
    }
    return *candidate;
}

}  // namespace zelvane
