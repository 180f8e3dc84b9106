#include "bars/BarParts.h"

#include "controls/SymbolIcon.h"
#include "theme/Theme.h"

#include <QHash>
#include <QEvent>
#include <QPainter>
#include <QPainterPath>

namespace zelvane {

QString singleKeysText(SingleKeyAction action)
{
    QStringList keys;
    for (const SingleKeyShortcut& shortcut : singleKeyShortcuts()) {
        if (shortcut.action == action)
            keys.append(shortcutText(shortcut));
    }
    return keys.join(QStringLiteral(" / "));
}

QPixmap barSymbol(const QString& symbol, int size, const QColor& color, qreal devicePixelRatio)
{
    static QHash<QString, QPixmap> cache;
    const QString key = symbol + QLatin1Char('|') + QString::number(size) + QLatin1Char('|') +
                        QString::number(color.rgba(), 16) + QLatin1Char('|') + QString::number(devicePixelRatio);
    auto found = cache.constFind(key);
    if (found != cache.constEnd())
        return *found;
    const QPixmap pixmap = SymbolIcon::tinted(symbol, size, color, devicePixelRatio);
    // A handful of symbols in a few colours: the cache stays small.
    if (cache.size() < 512)
        cache.insert(key, pixmap);
    return pixmap;
}

BarDivider::BarDivider(int height, QWidget* parent) : QWidget(parent), m_height(height)
{
    setFixedSize(1, height);
}

void BarDivider::paintEvent(QPaintEvent*)
{
    QPainter(this).fillRect(rect(), Theme::white(0.12));
}

ElidedLabel::ElidedLabel(const QFont& font, QWidget* parent) : QWidget(parent), m_color(Theme::text())
{
    setFont(font);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
}

void ElidedLabel::setText(const QString& text)
{
    if (m_text == text)
        return;
    m_text = text;
    setToolTip(fontMetrics().horizontalAdvance(text) > width() ? text : QString());
    updateGeometry();
    update();
}

void ElidedLabel::setColor(const QColor& color)
{
    if (m_color == color)
        return;
    m_color = color;
    update();
}

QString ElidedLabel::shownText() const
{
    // Line breaks would not fit the one line: they read as blanks.
    QString line = m_text;
    line.replace(QLatin1Char('\n'), QLatin1Char(' '));
    return fontMetrics().elidedText(line, Qt::ElideRight, width());
}

QSize ElidedLabel::sizeHint() const
{
    return QSize(fontMetrics().horizontalAdvance(m_text), fontMetrics().height());
}

QSize ElidedLabel::minimumSizeHint() const
{
    return QSize(0, fontMetrics().height());
}

void ElidedLabel::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setPen(m_color);
    painter.drawText(rect(), Qt::AlignLeft | Qt::AlignVCenter, shownText());
}

PlainTextButton::PlainTextButton(const QString& text, const QFont& font, const QColor& color,
                                 std::function<void()> action, QWidget* parent)
    : QAbstractButton(parent), m_color(color)
{
    setText(text);
    setFont(font);
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::TabFocus);
    connect(this, &QAbstractButton::clicked, this, [action = std::move(action)] {
        if (action)
            action();
    });
}

void PlainTextButton::setColor(const QColor& color)
{
    m_color = color;
    update();
}

void PlainTextButton::setCapsule(const QColor& fill, double horizontalPadding, double verticalPadding)
{
    m_capsule = fill;
    m_horizontalPadding = horizontalPadding;
    m_verticalPadding = verticalPadding;
    updateGeometry();
    update();
}

QSize PlainTextButton::sizeHint() const
{
    const QFontMetrics metrics = fontMetrics();
    return QSize(qCeil(metrics.horizontalAdvance(text()) + 2 * m_horizontalPadding),
                 qCeil(metrics.height() + 2 * m_verticalPadding));
}

void PlainTextButton::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    if (m_capsule) {
        const QSizeF size = sizeHint();
        QRectF capsule(0, (height() - size.height()) / 2, width(), size.height());
        painter.setPen(Qt::NoPen);
        painter.setBrush(*m_capsule);
        painter.drawRoundedRect(capsule, capsule.height() / 2, capsule.height() / 2);
    }
    QColor color = m_color;
    if (!isEnabled())
        color = Theme::textFaint();
    else if (underMouse() && !m_capsule)
        color = color.lighter(130);
    painter.setPen(color);
    painter.drawText(rect(), Qt::AlignCenter, text());
}

SymbolButton::SymbolButton(const QString& symbol, int size, const QColor& color, std::function<void()> action,
                           QWidget* parent)
    : QAbstractButton(parent), m_symbol(symbol), m_size(size), m_color(color)
{
    setFocusPolicy(Qt::TabFocus);
    connect(this, &QAbstractButton::clicked, this, [action = std::move(action)] {
        if (action)
            action();
    });
}

bool SymbolButton::event(QEvent* event)
{
    if (event->type() == QEvent::ToolTipChange)
        setAccessibleName(toolTip());
    return QAbstractButton::event(event);
}

void SymbolButton::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    const QColor color = isEnabled() ? m_color : Theme::textFaint();
    const QPixmap pixmap = barSymbol(m_symbol, m_size, color, devicePixelRatioF());
    const QSizeF size = pixmap.deviceIndependentSize();
    painter.drawPixmap(QPointF((width() - size.width()) / 2, (height() - size.height()) / 2), pixmap);
}

}  // namespace zelvane
