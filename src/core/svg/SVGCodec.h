#pragma once

#include "model/VectorDocument.h"
#include "svg/SVGPathData.h"
#include "svg/SVGValueText.h"

#include <QByteArray>
#include <QString>
#include <QUrl>
#include <optional>

namespace zelvane {

// Reads SVG files into documents and writes documents as SVG in the
// program's own dialect, which any viewer draws and which reads back into
// the same document.
namespace SVGCodec {

// The whole document (several pages stacked top to bottom in one drawing,
// or a plain one-page drawing when it has a single page), or only the page at
// `pageIndex` when that index is in range. Never fails.
QString exportSVG(const VectorDocument& document, std::optional<qsizetype> pageIndex = std::nullopt);

// Reads the bytes of an SVG file. The encoding comes from the byte-order mark
// or the XML declaration; bytes without either that are not valid UTF-8 are
// read as ISO Latin-1. Throws CodecError("SVGCodec", 1) when the encoding is
// not supported or when the file holds no <svg> element. The document always
// takes `title` (a title written into the file is not read back).
VectorDocument importSVG(const QByteArray& data, const QString& title, const std::optional<QUrl>& fileURL);
// The same for a text already decoded (any encoding declaration is ignored).
VectorDocument importSVG(const QString& text, const QString& title, const std::optional<QUrl>& fileURL);

}  // namespace SVGCodec

}  // namespace zelvane
