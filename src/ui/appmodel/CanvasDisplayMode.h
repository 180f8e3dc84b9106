#pragma once

#include "EnumCases.h"

#include <QString>
#include <array>

namespace zelvane {

// How the canvas lays out the pages: the current page alone (and editable),
// every page in a vertical scroll, or every page as a grid of cards.
enum class CanvasDisplayMode { singlePage, multiPageContinuous, multiPageGrid };

template <>
struct EnumCases<CanvasDisplayMode> {
    static constexpr std::array all{CanvasDisplayMode::singlePage, CanvasDisplayMode::multiPageContinuous,
                                    CanvasDisplayMode::multiPageGrid};
};

QString rawValue(CanvasDisplayMode mode);

}  // namespace zelvane
