#pragma once

#include <QString>

namespace zelvane {

// Counting and cutting text by user-perceived characters (a letter with a
// combining accent is one character).
qsizetype graphemeCount(const QString& text);
QString leadingGraphemes(const QString& text, qsizetype count);

}  // namespace zelvane
