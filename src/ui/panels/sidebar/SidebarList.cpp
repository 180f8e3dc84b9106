#include "panels/sidebar/SidebarList.h"

#include "controls/RunKeys.h"
#include "theme/Theme.h"

#include <QKeyEvent>
#include <QPainter>
#include <QPainterPath>
#include <algorithm>
#include <optional>

namespace zelvane {

SidebarList::SidebarList(QWidget* parent) : QListView(parent)
{
    setFocusPolicy(Qt::StrongFocus);
}

void SidebarList::keyPressEvent(QKeyEvent* event)
{
    const int count = model() ? model()->rowCount() : 0;
    const int chosen = chosenRow ? chosenRow() : -1;
    const Qt::KeyboardModifiers modifiers = event->modifiers() & ~Qt::KeypadModifier;
    std::optional<int> target;
    if (modifiers == Qt::NoModifier) {
        const int key = event->key();
        if ((key == Qt::Key_PageDown || key == Qt::Key_PageUp) && onPageKey) {
            onPageKey(key == Qt::Key_PageDown ? 1 : -1);
            event->accept();
            return;
        }
        // The arrows move one row, as Page Down and Page Up do here.
        target = runKeyTarget(key == Qt::Key_Down ? Qt::Key_PageDown : key == Qt::Key_Up ? Qt::Key_PageUp : key,
                              chosen, count);
        switch (key) {
        case Qt::Key_Right:
        case Qt::Key_Left: {
            const int buttons = buttonCount && chosen >= 0 ? buttonCount() : 0;
            const int next = std::clamp(m_button + (event->key() == Qt::Key_Right ? 1 : -1), 0, buttons);
            if (next != m_button) {
                m_button = next;
                viewport()->update();
            }
            event->accept();
            return;
        }
        case Qt::Key_Space:
        case Qt::Key_Return:
        case Qt::Key_Enter:
            if (chosen >= 0 && m_button > 0 && buttonCount && m_button <= buttonCount()) {
                if (onPressButton)
                    onPressButton(chosen, m_button);
                viewport()->update();
                event->accept();
                return;
            }
            if (chosen >= 0 && m_button == 0 && onActivate) {
                onActivate(chosen);
                event->accept();
                return;
            }
            break;
        default:
            break;
        }
    }
    if (!target) {
        // Not the list's own moves: the keys go on to the window.
        event->ignore();
        return;
    }
    if (*target >= 0 && *target < count && *target != chosen && onChoose) {
        m_button = 0;
        onChoose(*target);
        scrollTo(model()->index(*target, 0));
    }
    event->accept();
}

bool SidebarList::marksButton(int row, int button) const
{
    return hasFocus() && m_button == button && button > 0 && chosenRow && chosenRow() == row;
}

void SidebarList::paintButtonMark(QPainter& painter, const QRectF& rect)
{
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    QPainterPath outline;
    outline.addRoundedRect(rect.adjusted(-1.25, -1.25, 1.25, 1.25), 4, 4);
    painter.strokePath(outline, QPen(Theme::accent(), 1.5));
    painter.restore();
}

void SidebarList::mousePressEvent(QMouseEvent* event)
{
    // The pointer chooses for itself: the keys start again from the row.
    m_button = 0;
    QListView::mousePressEvent(event);
}

void SidebarList::focusInEvent(QFocusEvent* event)
{
    QListView::focusInEvent(event);
    viewport()->update();
}

void SidebarList::focusOutEvent(QFocusEvent* event)
{
    QListView::focusOutEvent(event);
    viewport()->update();
}

void SidebarList::paintEvent(QPaintEvent* event)
{
    QListView::paintEvent(event);
    if (!hasFocus())
        return;
    QPainter painter(viewport());
    painter.setRenderHint(QPainter::Antialiasing);
    QPainterPath outline;
    outline.addRoundedRect(QRectF(viewport()->rect()).adjusted(0.75, 0.75, -0.75, -0.75), 6, 6);
    painter.strokePath(outline, QPen(Theme::withOpacity(Theme::accent(), 0.8), 1.5));
}

}  // namespace zelvane
