#pragma once

#include "controls/FieldRow.h"

#include <QColor>
#include <QString>

class QCheckBox;
class QLabel;
class QVBoxLayout;
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

// The toggle of signatures and stamps made from files.
QCheckBox* inkToggle(QWidget* parent = nullptr);
// A column layout on `owner`, edge to edge, `spacing` points between items.
QVBoxLayout* column(QWidget* owner, int spacing);

}  // namespace InspectorWidgets

}  // namespace zelvane
