#pragma once

#include <QEvent>
#include <QMouseEvent>
#include <QPoint>
#include <optional>

namespace zelvane::RowClick {

// How a painted row reads the mouse: left presses and double clicks are
// taken so that the list starts no selection of its own, and a left
// release gives the point where the click ended. Anything else is left to
// the list.
struct Outcome {
    bool handled = false;
    std::optional<QPoint> releasedAt;
};

inline Outcome read(QEvent* event)
{
    const QEvent::Type type = event->type();
    if (type != QEvent::MouseButtonRelease && type != QEvent::MouseButtonPress && type != QEvent::MouseButtonDblClick)
        return {};
    const auto* mouse = static_cast<QMouseEvent*>(event);
    if (mouse->button() != Qt::LeftButton)
        return {};
    if (type != QEvent::MouseButtonRelease)
        return {true, std::nullopt};
    return {true, mouse->position().toPoint()};
}

}  // namespace zelvane::RowClick
