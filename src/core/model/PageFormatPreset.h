#pragma once

#include "EnumCases.h"

#include <QString>
#include <array>

namespace zelvane {

// Page sizes offered for new documents and pages. The raw values are French
// names, the same in both languages.
enum class PageFormatPreset { a4Portrait, a4Landscape, a3Landscape, letter, stage16x9 };

template <>
struct EnumCases<PageFormatPreset> {
    static constexpr std::array all{PageFormatPreset::a4Portrait, PageFormatPreset::a4Landscape,
                                    PageFormatPreset::a3Landscape, PageFormatPreset::letter,
                                    PageFormatPreset::stage16x9};
};

struct PageSize {
    double width = 0;
    double height = 0;
    bool operator==(const PageSize&) const = default;
};

QString rawValue(PageFormatPreset preset);
QString label(PageFormatPreset preset);
PageSize sizePoints(PageFormatPreset preset);

}  // namespace zelvane
