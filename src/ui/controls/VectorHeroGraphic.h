#pragma once

#include <QWidget>

namespace zelvane {

// The illustration of the about and update sheets: two document sheets and
// a Bézier curve with its handles, drawn in a square of `size` points.
class VectorHeroGraphic : public QWidget {
    Q_OBJECT

public:
    explicit VectorHeroGraphic(int size, bool active = true, QWidget* parent = nullptr);

    bool active() const { return m_active; }
    void setActive(bool active) { m_active = active; }

    // Draws the graphic into a W × H area of the painter.
    static void draw(QPainter& painter, double width, double height);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    bool m_active;
};

}  // namespace zelvane
