#pragma once

#include <QByteArray>
#include <QList>

namespace zelvane {

// A PDF file of `objects`, numbered from 1 in order (object 1 is the
// catalog), with its cross-reference table; `trailerKeys` are written into
// the trailer after /Size and /Root.
QByteArray rawPDF(const QList<QByteArray>& objects, const QByteArray& trailerKeys = {});

}  // namespace zelvane
