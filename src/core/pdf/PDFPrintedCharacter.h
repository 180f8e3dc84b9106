#pragma once

#include <QRectF>
#include <QtGlobal>

namespace zelvane {

// A character of a page's text as the reader lays it out: its box and its
// place in the page's text (characters drawn one over the other, such as an
// accent put over a letter, come in the order the reader reads them).
struct PDFPrintedCharacter {
    QRectF box;
    qsizetype place = 0;
};

}  // namespace zelvane
