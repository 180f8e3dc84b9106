#pragma once

#include <QColor>
#include <QIcon>
#include <QPixmap>
#include <QString>

namespace zelvane::SymbolIcon {

// The icon for a symbol name: the icon theme's icon of that name or of the
// freedesktop name it stands for, else the bundled one, else none (null).
QIcon icon(const QString& symbol);

// The symbol drawn in one colour in a square of `size` pixels (device
// independent); a small neutral glyph when no icon is known.
QPixmap tinted(const QString& symbol, int size, const QColor& color, qreal devicePixelRatio = 1.0);

}  // namespace zelvane::SymbolIcon
