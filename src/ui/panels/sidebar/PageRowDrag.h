#pragma once

#include <QObject>
#include <QPoint>
#include <functional>
#include <optional>

class QListView;
class QWidget;

namespace zelvane {

// Lets the rows of the page list be dragged to another place. Pressing a
// row and moving the mouse further than the system's drag distance starts a
// drag; a line shows where the page will go, and the list scrolls when the
// mouse nears its top or bottom edge. Releasing the button runs onMove with
// the dragged row and the row under the mouse (the first or last row when
// the mouse is above or below them), and nothing else: the release chooses
// no row. A release over the dragged row itself moves nothing.
class PageRowDrag : public QObject {
    Q_OBJECT

public:
    PageRowDrag(QListView& list, std::function<void(int from, int to)> onMove, QObject* parent = nullptr);

    bool isDragging() const { return m_dragging; }
    // The line that shows where the dragged page will go.
    QWidget* dropMarker() const { return m_marker; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    int targetRow(const QPoint& point) const;
    void showMarker(int target);
    void stop();

    QListView& m_list;
    // The list's viewport, kept apart: the filter still sees its events
    // while the list around it is being destroyed.
    QWidget* m_viewport = nullptr;
    std::function<void(int from, int to)> m_onMove;
    std::optional<int> m_pressedRow;
    QPoint m_pressedAt;
    bool m_dragging = false;
    QWidget* m_marker = nullptr;
};

}  // namespace zelvane
