#pragma once

#include "model/ElementList.h"

#include <QList>
#include <optional>

namespace zelvane {

// The element under a page point: among the visible elements (text only
// when asked) whose frame grown by 3 points holds the point, those grown by
// only 0.5 are preferred; of these, topmost first, the one whose vertical
// centre is strictly nearer the point wins. Rotation and lock are ignored.
std::optional<VectorElement> hitTestElement(const VectorPoint& point, const ElementList& elements,
                                            bool textOnly);

}  // namespace zelvane
