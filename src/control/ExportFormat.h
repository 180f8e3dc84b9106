#pragma once

#include "EnumCases.h"

#include <QString>
#include <array>

namespace zelvane {

// What a save writes: a PDF of every page, SVG text, or a PNG image of the
// current page. The raw value is the case name ("pdf", "svg", "png");
// fromRawValue<ExportFormat>() matches it exactly.
enum class ExportFormat { pdf, svg, png };

template <>
struct EnumCases<ExportFormat> {
    static constexpr std::array all{ExportFormat::pdf, ExportFormat::svg, ExportFormat::png};
};

QString rawValue(ExportFormat format);

}  // namespace zelvane
