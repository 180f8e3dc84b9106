#pragma once

#include "model/ElementList.h"

#include <QList>
#include <optional>

namespace zelvane {

// The element under a page point: among the visible elements (text only
// when asked) whose frame grown by 3 points holds the point, those grown by
// only 0.5 are preferred; of these, topmost first, the one whose vertical
// centre is strictly nearer the point wins. A turned element is hit where it
// is drawn: frames and centres are taken in the element's own unturned
// frame, the point turned back about the frame's centre. Lock is ignored.
// A page point as the unturned frame of a turned element sees it: turned
// back about the frame's centre.
VectorPoint inOwnFrame(const VectorPoint& point, const VectorElement& element);

std::optional<VectorElement> hitTestElement(const VectorPoint& point, const ElementList& elements,
                                            bool textOnly);

}  // namespace zelvane
