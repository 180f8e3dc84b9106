#include "controls/IconButton.h"

#include "controls/SymbolIcon.h"
#include "theme/Theme.h"

#include <QPainter>
#include <QPainterPath>

namespace zelvane {

IconButton::IconButton(const QString& symbol, const QString& helpText, std::function<void()> action, QWidget* parent)
    : HoverButton(parent), m_symbol(symbol), m_tint(Theme::accent())
{
    setHelpText(helpText);
    setAction(std::move(action));
    setFixedSize(26, 24);
}

void IconButton::setHelpText(const QString& text)
{
    setToolTip(text);
    setAccessibleName(text);
}

void IconButton::setSymbol(const QString& symbol)
{
    m_symbol = symbol;
    update();
}

void IconButton::setActive(bool active)
{
    m_active = active;
    update();
}

void IconButton::setTint(const QColor& tint)
{
    m_tint = tint;
    update();
}

QColor IconButton::backgroundColor() const
{
    if (m_active)
        return m_tint;
    if (!isEnabled())
        return Theme::white(0.02);
    return Theme::white(hoverMix(0.06, 0.10));
}

QColor IconButton::foregroundColor() const
{
    if (!isEnabled())
        return Theme::textFaint();
    if (m_active)
        return Theme::background();
    return Theme::text();
}

void IconButton::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    QPainterPath shape;
    shape.addRoundedRect(QRectF(rect()), 5, 5);
    painter.fillPath(shape, backgroundColor());
    constexpr int glyph = 13;
    painter.drawPixmap(QPointF((width() - glyph) / 2.0, (height() - glyph) / 2.0),
                       SymbolIcon::tinted(m_symbol, glyph, foregroundColor(), devicePixelRatioF()));
}

}  // namespace zelvane
