#pragma once

#include "model/VectorDocument.h"
#include "svg/SVGPathData.h"
#include "svg/SVGValueText.h"

#include <QByteArray>
#include <QString>
#include <QUrl>
#include <optional>

namespace zelvane {

// Reads SVG files into documents: the program's own dialect (written by
// exportSVG, export/SVGExport.h) and foreign SVG as far as it can.
namespace SVGCodec {

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
