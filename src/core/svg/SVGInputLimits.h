#pragma once

#include <QByteArray>
#include <QString>

namespace zelvane::SVGCodec {

// Bounds on what an SVG import reads, checked in one pass over the input
// before the XML reader sees it. The reader compares every attribute of a
// start tag with all the ones before it, so an element with very many
// attributes costs quadratic time; real files hold a few dozen at most.
inline constexpr qsizetype kMaxAttributesPerElement = 1024;
inline constexpr qsizetype kMaxSVGBytes = 128LL * 1024 * 1024;

// Throws CodecError "SVGCodec" 2, naming the limit, when the input goes
// past one of the bounds. The byte form takes any ASCII-compatible encoding
// and UTF-16 (with or without byte-order mark) or UTF-32 with one.
void checkInputLimits(const QByteArray& data);
void checkInputLimits(const QString& text);

}  // namespace zelvane::SVGCodec
