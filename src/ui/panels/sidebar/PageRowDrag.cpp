#include "panels/sidebar/PageRowDrag.h"

#include "panels/sidebar/PageRowDelegate.h"
#include "theme/Theme.h"

#include <QApplication>
#include <QFrame>
#include <QListView>
#include <QMouseEvent>
#include <QScrollBar>

#include <algorithm>

namespace zelvane {

namespace {

// How near the list's top or bottom edge the mouse scrolls the list.
constexpr int kScrollMargin = 24;

}  // namespace

PageRowDrag::PageRowDrag(QListView& list, std::function<void(int from, int to)> onMove, QObject* parent)
    : QObject(parent), m_list(list), m_viewport(list.viewport()), m_onMove(std::move(onMove))
{
    // Painted by the style sheet the list's own sheet puts in charge.
    m_marker = new QFrame(m_viewport);
    m_marker->setStyleSheet(QStringLiteral("QFrame { background-color: %1; border: none; }")
                                .arg(Theme::accent().name(QColor::HexRgb)));
    m_marker->setAttribute(Qt::WA_TransparentForMouseEvents);
    m_marker->hide();
    m_viewport->installEventFilter(this);
}

int PageRowDrag::targetRow(const QPoint& point) const
{
    const int rows = m_list.model() ? m_list.model()->rowCount() : 0;
    if (rows == 0)
        return -1;
    const QModelIndex under = m_list.indexAt(point);
    if (under.isValid())
        return under.row();
    // Between rows or past either end: the nearest row.
    const QRect first = m_list.visualRect(m_list.model()->index(0, 0));
    if (point.y() < first.top())
        return 0;
    for (int row = 0; row < rows; ++row) {
        if (point.y() < m_list.visualRect(m_list.model()->index(row, 0)).bottom())
            return row;
    }
    return rows - 1;
}

void PageRowDrag::showMarker(int target)
{
    if (!m_pressedRow || target < 0 || target == *m_pressedRow) {
        m_marker->hide();
        return;
    }
    // Above the target row when the page goes up, below it when it goes down.
    const QRect item = m_list.visualRect(m_list.model()->index(target, 0));
    const int y = target < *m_pressedRow ? item.top() - PageRowDelegate::kRowSpacing / 2
                                         : item.top() + PageRowDelegate::kRowHeight + PageRowDelegate::kRowSpacing / 2;
    m_marker->setGeometry(item.left(), std::max(0, y - 1), item.width(), 2);
    m_marker->show();
    m_marker->raise();
}

void PageRowDrag::stop()
{
    if (m_dragging)
        m_viewport->unsetCursor();
    m_dragging = false;
    m_pressedRow.reset();
    m_marker->hide();
}

bool PageRowDrag::eventFilter(QObject* watched, QEvent* event)
{
    if (watched != m_viewport)
        return false;
    switch (event->type()) {
    case QEvent::MouseButtonPress: {
        const auto* mouse = static_cast<QMouseEvent*>(event);
        stop();
        if (mouse->button() == Qt::LeftButton) {
            const QModelIndex index = m_list.indexAt(mouse->position().toPoint());
            if (index.isValid()) {
                m_pressedRow = index.row();
                m_pressedAt = mouse->position().toPoint();
            }
        }
        return false;
    }
    case QEvent::MouseMove: {
        const auto* mouse = static_cast<QMouseEvent*>(event);
        if (!m_pressedRow || !(mouse->buttons() & Qt::LeftButton))
            return false;
        const QPoint at = mouse->position().toPoint();
        if (!m_dragging) {
            if ((at - m_pressedAt).manhattanLength() < QApplication::startDragDistance())
                return false;
            m_dragging = true;
            m_viewport->setCursor(Qt::ClosedHandCursor);
        }
        QScrollBar* bar = m_list.verticalScrollBar();
        if (at.y() < kScrollMargin)
            bar->setValue(bar->value() - bar->singleStep());
        else if (at.y() > m_viewport->height() - kScrollMargin)
            bar->setValue(bar->value() + bar->singleStep());
        showMarker(targetRow(at));
        return true;
    }
    case QEvent::MouseButtonRelease: {
        const auto* mouse = static_cast<QMouseEvent*>(event);
        if (mouse->button() != Qt::LeftButton || !m_dragging) {
            if (mouse->button() == Qt::LeftButton)
                stop();
            return false;
        }
        const int from = *m_pressedRow;
        const int to = targetRow(mouse->position().toPoint());
        stop();
        if (to >= 0 && to != from && m_onMove)
            m_onMove(from, to);
        return true;
    }
    default:
        return false;
    }
}

}  // namespace zelvane
