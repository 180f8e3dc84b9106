#pragma once

#define POINTERHOLDER_TRANSITION 4
#include <qpdf/QPDFObjectHandle.hh>

namespace zelvane {

// Poppler draws a function-based shading onto cairo as cells of its domain,
// stepping along the domain's axes by what ten units of the space it is
// drawn in make there. A shading turned so that a step comes out zero or
// backwards (a quarter or eighth of a turn, a flip) never ends, cell after
// cell in ever more memory, and one drawn very large makes millions of cells.
// The most cells such a drawing may make as it is.
constexpr double kMostFunctionShadingCells = 65536;

// For a function-based shading whose drawing would make more cells than
// that (or never end): the same colours on a lattice of triangles over the
// same place, of cells about ten units wide and at most 128 along each side
// of the domain, which poppler draws in bounded time. A shading whose
// functions cannot be read becomes one that draws nothing. A null object for
// any other shading, which draws as it is.
QPDFObjectHandle boundedFunctionShading(QPDFObjectHandle shading);

}  // namespace zelvane
