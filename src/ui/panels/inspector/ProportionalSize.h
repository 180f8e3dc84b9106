#pragma once

#include "model/VectorGeometry.h"

namespace zelvane {

// The frame of a signature or stamp resized to `width` (at least 24) about
// its centre, keeping its proportions where it can: a height under 1 counts
// as 1, the ratio is at least 0.05 and the new height at least 12. A frame
// whose centre is not finite keeps its corner (or the page's origin).
VectorRect proportionalSizeFrame(const VectorRect& frame, double width);

}  // namespace zelvane
