#pragma once

#include <QWidget>

class QVariantAnimation;

namespace zelvane {

// A side-panel slot of the window: a panel of a fixed width with a
// one-point separator on its canvas side. Showing or hiding it animates the
// slot's width, the panel sliding in from (or out to) the window's edge
// while it fades in (or out).
class PanelSlot : public QWidget {
    Q_OBJECT

public:
    enum class Edge { leading, trailing };

    // Takes the panel as a child.
    PanelSlot(QWidget* panel, int panelWidth, Edge edge, bool shown, QWidget* parent = nullptr);

    QWidget* panel() const { return m_panel; }
    // The width of the panel and its separator.
    int fullWidth() const { return m_panelWidth + 1; }
    bool isShown() const { return m_shown; }
    void setShown(bool shown, bool animated);
    bool isAnimating() const;

protected:
    void resizeEvent(QResizeEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    void setSlotWidth(int width);
    void placePanel();

    QWidget* m_panel;
    int m_panelWidth;
    Edge m_edge;
    bool m_shown;
    QVariantAnimation* m_animation;
};

}  // namespace zelvane
