#pragma once

#include <QAbstractButton>
#include <functional>

class QVariantAnimation;

namespace zelvane {

// A plain button drawn by its subclass that follows the pointer: hovered()
// is true while the pointer is over it, and hoverProgress() eases from 0 to
// 1 (and back) over 0.12 s for the subclass's colours. A click runs the
// action.
class HoverButton : public QAbstractButton {
    Q_OBJECT

public:
    explicit HoverButton(QWidget* parent = nullptr);

    void setAction(std::function<void()> action) { m_action = std::move(action); }
    bool hovered() const { return m_hovered; }
    double hoverProgress() const { return m_hoverProgress; }

protected:
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void changeEvent(QEvent* event) override;
    // Mixes the resting and the hovered value by the hover progress.
    double hoverMix(double resting, double hoveredValue) const;

private:
    void setHovered(bool hovered);

    std::function<void()> m_action;
    bool m_hovered = false;
    double m_hoverProgress = 0;
    QVariantAnimation* m_animation = nullptr;
};

}  // namespace zelvane
