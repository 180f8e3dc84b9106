#include "controls/TextButton.h"

#include "controls/SymbolIcon.h"
#include "theme/Theme.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QPainterPath>

namespace zelvane {

namespace {

constexpr double kSpacing = 5;
constexpr double kCornerRadius = 5;

}  // namespace

TextButton::TextButton(const QString& title, std::function<void()> action, QWidget* parent) : HoverButton(parent)
{
    setText(title);
    setAction(std::move(action));
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Preferred);
}

void TextButton::setTitle(const QString& title)
{
    setText(title);
    relayout();
}

void TextButton::setSymbol(const std::optional<QString>& symbol)
{
    m_symbol = symbol;
    relayout();
}

void TextButton::setProminent(bool prominent)
{
    m_prominent = prominent;
    relayout();
}

void TextButton::setDestructive(bool destructive)
{
    m_destructive = destructive;
    relayout();
}

void TextButton::setTint(const std::optional<QColor>& tint)
{
    m_tint = tint;
    update();
}

void TextButton::setCompact(bool compact)
{
    m_compact = compact;
    relayout();
}

void TextButton::relayout()
{
    updateGeometry();
    update();
}

QColor TextButton::buttonColor() const
{
    if (m_tint)
        return *m_tint;
    return m_destructive ? Theme::danger() : Theme::accent();
}

QColor TextButton::backgroundColor() const
{
    const bool disabled = !isEnabled();
    if (m_prominent || m_destructive)
        return Theme::withOpacity(buttonColor(), disabled ? 0.35 : hoverMix(1.0, 0.9));
    if (m_tint)
        return Theme::withOpacity(*m_tint, hoverMix(0.14, 0.22));
    return Theme::white(disabled ? 0.02 : hoverMix(0.07, 0.11));
}

QColor TextButton::foregroundColor() const
{
    if (!isEnabled())
        return Theme::textFaint();
    if (m_prominent || m_destructive)
        return Theme::background();
    if (m_tint)
        return *m_tint;
    return Theme::text();
}

QFont TextButton::titleFont() const
{
    return Theme::font(m_compact ? 11 : 11.5, m_prominent || m_destructive ? QFont::DemiBold : QFont::Medium);
}

int TextButton::symbolSize() const
{
    return m_compact ? 11 : 12;
}

QSize TextButton::sizeHint() const
{
    const QFontMetricsF metrics(titleFont());
    double width = metrics.horizontalAdvance(text());
    double height = metrics.height();
    if (m_symbol) {
        width += symbolSize() + kSpacing;
        height = std::max(height, double(symbolSize()));
    }
    const double horizontal = m_compact ? 8 : 11;
    const double vertical = m_compact ? 4 : 5;
    return QSize(int(std::ceil(width + 2 * horizontal)), int(std::ceil(height + 2 * vertical)));
}

void TextButton::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    QPainterPath shape;
    shape.addRoundedRect(QRectF(rect()), kCornerRadius, kCornerRadius);
    painter.fillPath(shape, backgroundColor());

    const QColor foreground = foregroundColor();
    const QFont font = titleFont();
    const QFontMetricsF metrics(font);
    double contentWidth = metrics.horizontalAdvance(text());
    if (m_symbol)
        contentWidth += symbolSize() + kSpacing;
    double x = (width() - contentWidth) / 2;
    if (m_symbol) {
        const QPixmap glyph = SymbolIcon::tinted(*m_symbol, symbolSize(), foreground, devicePixelRatioF());
        painter.drawPixmap(QPointF(x, (height() - symbolSize()) / 2.0), glyph);
        x += symbolSize() + kSpacing;
    }
    painter.setFont(font);
    painter.setPen(foreground);
    painter.drawText(QRectF(x, 0, width() - x, height()), Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
                     text());
}

}  // namespace zelvane
