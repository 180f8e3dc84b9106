#pragma once

#include "EnumCases.h"

#include <QString>
#include <array>

namespace zelvane {

// The canvas tools, in the order the top bar shows them. The raw value is
// the case name.
enum class EditorTool { select, text, signature, pen, rectangle, ellipse, arrow, stamp };

template <>
struct EnumCases<EditorTool> {
    static constexpr std::array all{EditorTool::select,    EditorTool::text,    EditorTool::signature,
                                    EditorTool::pen,       EditorTool::rectangle, EditorTool::ellipse,
                                    EditorTool::arrow,     EditorTool::stamp};
};

QString rawValue(EditorTool tool);
// The short name on the tool buttons, in the current language.
QString label(EditorTool tool);
// The help line of the tool, ending with its single-key shortcut letter.
QString helpText(EditorTool tool);

}  // namespace zelvane
