#pragma once

#include <Qt>

class QWidget;

namespace zelvane {

// A one-point line in the separator colour: across the layout
// (Qt::Horizontal) or down it (Qt::Vertical).
QWidget* separatorLine(Qt::Orientation orientation = Qt::Horizontal, QWidget* parent = nullptr);

}  // namespace zelvane
