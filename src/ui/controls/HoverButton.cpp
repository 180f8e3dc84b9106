#include "controls/HoverButton.h"

#include <QEnterEvent>
#include <QVariantAnimation>

namespace zelvane {

HoverButton::HoverButton(QWidget* parent) : QAbstractButton(parent)
{
    // Tab reaches it; a click leaves the keyboard where it was.
    setFocusPolicy(Qt::TabFocus);
    setAttribute(Qt::WA_Hover);
    m_animation = new QVariantAnimation(this);
    m_animation->setDuration(120);
    m_animation->setEasingCurve(QEasingCurve::OutCubic);
    connect(m_animation, &QVariantAnimation::valueChanged, this, [this](const QVariant& value) {
        m_hoverProgress = value.toDouble();
        update();
    });
    connect(this, &QAbstractButton::clicked, this, [this] {
        // A copy: the action may delete this button.
        const std::function<void()> action = m_action;
        if (action)
            action();
    });
}

void HoverButton::enterEvent(QEnterEvent* event)
{
    setHovered(true);
    QAbstractButton::enterEvent(event);
}

void HoverButton::leaveEvent(QEvent* event)
{
    setHovered(false);
    QAbstractButton::leaveEvent(event);
}

void HoverButton::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::EnabledChange)
        update();
    QAbstractButton::changeEvent(event);
}

double HoverButton::hoverMix(double resting, double hoveredValue) const
{
    return resting + (hoveredValue - resting) * m_hoverProgress;
}

void HoverButton::setHovered(bool hovered)
{
    if (m_hovered == hovered)
        return;
    m_hovered = hovered;
    m_animation->stop();
    m_animation->setStartValue(m_hoverProgress);
    m_animation->setEndValue(hovered ? 1.0 : 0.0);
    m_animation->start();
}

}  // namespace zelvane
