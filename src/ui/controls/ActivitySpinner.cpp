#include "controls/ActivitySpinner.h"

#include "theme/Theme.h"

#include <QPainter>
#include <QVariantAnimation>

namespace zelvane {

ActivitySpinner::ActivitySpinner(int size, QWidget* parent)
    : QWidget(parent), m_size(size), m_animation(new QVariantAnimation(this))
{
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    setAttribute(Qt::WA_TransparentForMouseEvents);
    m_animation->setStartValue(0.0);
    m_animation->setEndValue(360.0);
    m_animation->setDuration(900);
    m_animation->setLoopCount(-1);
    connect(m_animation, &QVariantAnimation::valueChanged, this, [this](const QVariant& value) {
        m_angle = value.toDouble();
        update();
    });
}

void ActivitySpinner::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const double pen = std::max(1.5, m_size / 8.0);
    const QRectF box = QRectF(0, 0, m_size, m_size).adjusted(pen, pen, -pen, -pen);
    painter.setPen(QPen(Theme::white(0.12), pen));
    painter.drawEllipse(box);
    painter.setPen(QPen(Theme::textDim(), pen, Qt::SolidLine, Qt::RoundCap));
    painter.drawArc(box, int(-m_angle * 16), 100 * 16);
}

void ActivitySpinner::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    m_animation->start();
}

void ActivitySpinner::hideEvent(QHideEvent* event)
{
    m_animation->stop();
    QWidget::hideEvent(event);
}

}  // namespace zelvane
