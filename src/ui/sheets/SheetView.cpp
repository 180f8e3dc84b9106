#include "sheets/SheetView.h"

#include "sheets/SheetParts.h"
#include "theme/Theme.h"

#include <QKeyEvent>
#include <QPainter>

namespace zelvane {

SheetView::SheetView(std::function<void()> close, QWidget* parent) : QWidget(parent), m_close(std::move(close))
{
    setFocusPolicy(Qt::StrongFocus);
}

void SheetView::closeSheet()
{
    if (m_close)
        m_close();
}

void SheetView::paintEvent(QPaintEvent*)
{
    QPainter(this).fillRect(rect(), Theme::panel());
}

void SheetView::keyPressEvent(QKeyEvent* event)
{
    if (SheetParts::isReturn(event)) {
        closeSheet();
        return;
    }
    QWidget::keyPressEvent(event);
}

void SheetView::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    setFocus();
}

}  // namespace zelvane
