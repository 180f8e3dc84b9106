#pragma once

#include "controls/FieldRow.h"

#include <QColor>
#include <QString>

class QCheckBox;
class QLabel;
class QWidget;

namespace zelvane {

// Small pieces the inspector's sections share.
namespace InspectorWidgets {

// A plain one-line text in the interface font.
QLabel* label(const QString& text, double size, const QColor& color, QWidget* parent = nullptr,
              bool monospaced = false);
// A FieldRow whose content takes the remaining width.
FieldRow* fieldRow(const QString& label, QWidget* content, QWidget* parent = nullptr);
// The platform toggle with its title in 11 points.
QCheckBox* toggle(const QString& title, QWidget* parent = nullptr);

}  // namespace InspectorWidgets

}  // namespace zelvane
