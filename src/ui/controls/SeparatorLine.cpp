#include "controls/SeparatorLine.h"

#include "theme/Theme.h"

#include <QPalette>
#include <QWidget>

namespace zelvane {

QWidget* separatorLine(Qt::Orientation orientation, QWidget* parent)
{
    auto* line = new QWidget(parent);
    if (orientation == Qt::Horizontal)
        line->setFixedHeight(1);
    else
        line->setFixedWidth(1);
    line->setAutoFillBackground(true);
    QPalette palette = line->palette();
    palette.setColor(QPalette::Window, Theme::separator());
    line->setPalette(palette);
    return line;
}

}  // namespace zelvane
