#pragma once

#include <QColor>

namespace zelvane::CanvasPalette {

// The window theme's colours that the canvas drawing uses.
inline QColor background() { return QColor(0x11, 0x13, 0x17); }
inline QColor accent() { return QColor(0xFF, 0xB4, 0x54); }
inline QColor alive() { return QColor(0x9E, 0xCE, 0x6A); }
inline QColor tcp() { return QColor(0x5C, 0xE1, 0xE6); }

}  // namespace zelvane::CanvasPalette
