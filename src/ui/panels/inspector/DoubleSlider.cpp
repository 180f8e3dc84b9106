#include "panels/inspector/DoubleSlider.h"

#include "theme/Theme.h"

#include <QMouseEvent>
#include <QStyle>
#include <QStyleOptionSlider>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>

namespace zelvane {

namespace {

// Knob positions across the range: fine enough that a drag looks continuous.
constexpr int kSteps = 10000;

}  // namespace

DoubleSlider::DoubleSlider(double minimum, double maximum, QWidget* parent)
    : QSlider(Qt::Horizontal, parent), m_minimum(minimum), m_maximum(maximum)
{
    const QSignalBlocker blocker(this);
    setRange(0, kSteps);
    setSingleStep(kSteps / 100);
    setPageStep(kSteps / 10);
    // Focus by click or Tab only: the wheel belongs to the panel.
    setFocusPolicy(Qt::StrongFocus);
    QPalette tinted = palette();
    tinted.setColor(QPalette::Highlight, Theme::accent());
    setPalette(tinted);
    connect(this, &QSlider::valueChanged, this, &DoubleSlider::onValueChanged);
}

int DoubleSlider::positionForValue(double value) const
{
    const double span = m_maximum - m_minimum;
    if (std::isnan(value) || !(span > 0))
        return 0;
    // Clamped as a double first: converting a value beyond int is undefined.
    const double fraction = std::clamp((value - m_minimum) / span, 0.0, 1.0);
    return static_cast<int>(std::lround(fraction * kSteps));
}

double DoubleSlider::valueForPosition(int position) const
{
    return m_minimum + (m_maximum - m_minimum) * double(position) / kSteps;
}

double DoubleSlider::doubleValue() const
{
    return valueForPosition(value());
}

void DoubleSlider::setDoubleValue(double value)
{
    const int position = positionForValue(value);
    if (position == this->value())
        return;
    const QSignalBlocker blocker(this);
    setValue(position);
}

void DoubleSlider::onValueChanged(int position)
{
    const double value = valueForPosition(position);
    if (m_mouseGesture) {
        emit valueEdited(value);
        return;
    }
    // A key or a click on the track: one gesture of its own.
    emit gestureStarted();
    emit valueEdited(value);
    emit gestureEnded();
}

QRect DoubleSlider::handleRect() const
{
    QStyleOptionSlider option;
    initStyleOption(&option);
    return style()->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderHandle, this);
}

void DoubleSlider::mousePressEvent(QMouseEvent* event)
{
    if (!m_mouseGesture && isEnabled()) {
        m_mouseGesture = true;
        emit gestureStarted();
    }
    QSlider::mousePressEvent(event);
}

void DoubleSlider::mouseReleaseEvent(QMouseEvent* event)
{
    QSlider::mouseReleaseEvent(event);
    if (event->buttons() == Qt::NoButton)
        endMouseGesture();
}

void DoubleSlider::hideEvent(QHideEvent* event)
{
    // A hidden slider sees no release.
    QSlider::hideEvent(event);
    if (isSliderDown())
        setSliderDown(false);
    endMouseGesture();
}

void DoubleSlider::endMouseGesture()
{
    if (!m_mouseGesture)
        return;
    m_mouseGesture = false;
    emit gestureEnded();
}

void DoubleSlider::wheelEvent(QWheelEvent* event)
{
    event->ignore();
}

}  // namespace zelvane
