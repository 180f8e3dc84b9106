#pragma once

#include "model/VectorDocument.h"

#include <QByteArray>
#include <QString>
#include <optional>

namespace zelvane::SVGCodec {

// Writes documents as SVG in the program's own dialect, which any viewer
// draws and which importSVG (svg/SVGCodec.h) reads back into the same
// document: the whole document (several pages stacked top to bottom in one
// drawing, or a plain one-page drawing when it has a single page), or only
// the page at `pageIndex` when that index is in range. Never fails.
QString exportSVG(const VectorDocument& document, std::optional<qsizetype> pageIndex = std::nullopt);
// The same text as the UTF-8 bytes of the file, written straight as bytes.
QByteArray exportSVGUtf8(const VectorDocument& document, std::optional<qsizetype> pageIndex = std::nullopt);

}  // namespace zelvane::SVGCodec
