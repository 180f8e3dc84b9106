#include "controls/Chip.h"

#include "theme/Theme.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QPainterPath>
#include <cmath>

namespace zelvane {

namespace {

QFont chipFont()
{
    return Theme::font(10, QFont::DemiBold, true);
}

}  // namespace

Chip::Chip(const QString& text, const QColor& tint, bool filled, QWidget* parent)
    : QWidget(parent), m_text(text), m_tint(tint), m_filled(filled)
{
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    setAttribute(Qt::WA_TransparentForMouseEvents);
}

void Chip::setText(const QString& text)
{
    m_text = text;
    updateGeometry();
    update();
}

void Chip::setTint(const QColor& tint)
{
    m_tint = tint;
    update();
}

void Chip::setFilled(bool filled)
{
    m_filled = filled;
    update();
}

QColor Chip::backgroundColor() const
{
    return m_filled ? m_tint : Theme::withOpacity(m_tint, 0.14);
}

QColor Chip::foregroundColor() const
{
    return m_filled ? Theme::background() : m_tint;
}

QSize Chip::sizeHint() const
{
    const QFontMetricsF metrics(chipFont());
    return QSize(int(std::ceil(metrics.horizontalAdvance(m_text) + 11)), int(std::ceil(metrics.height() + 4)));
}

void Chip::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    QPainterPath shape;
    shape.addRoundedRect(QRectF(rect()), 3.5, 3.5);
    painter.fillPath(shape, backgroundColor());
    painter.setFont(chipFont());
    painter.setPen(foregroundColor());
    painter.drawText(QRectF(rect()), Qt::AlignCenter | Qt::TextSingleLine, m_text);
}

}  // namespace zelvane
