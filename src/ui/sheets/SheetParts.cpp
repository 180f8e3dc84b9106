#include "sheets/SheetParts.h"

#include "AppVersion.h"
#include "controls/SeparatorLine.h"
#include "controls/SymbolIcon.h"
#include "theme/Theme.h"

#include <QApplication>
#include <QClipboard>
#include <QFontMetricsF>
#include <QKeyEvent>
#include <QLayout>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QVBoxLayout>
#include <cmath>

namespace zelvane::SheetParts {

QString versionLabel(const AppVersion& version)
{
    QString text = QStringLiteral("v") + version.version;
    if (version.build)
        text += QStringLiteral(" (") + *version.build + QLatin1Char(')');
    return text;
}

QLabel* label(const QString& text, double size, QFont::Weight weight, const QColor& color, bool wraps,
              bool monospaced)
{
    auto* result = new QLabel(text);
    result->setTextFormat(Qt::PlainText);
    result->setFont(Theme::font(size, weight, monospaced));
    setTextColor(result, color);
    result->setWordWrap(wraps);
    if (wraps) {
        QSizePolicy policy(QSizePolicy::Preferred, QSizePolicy::Minimum);
        policy.setHeightForWidth(true);
        result->setSizePolicy(policy);
        result->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    }
    return result;
}

void setTextColor(QWidget* widget, const QColor& color)
{
    QPalette palette = widget->palette();
    palette.setColor(QPalette::WindowText, color);
    palette.setColor(QPalette::Text, color);
    palette.setColor(QPalette::ButtonText, color);
    widget->setPalette(palette);
}

QVBoxLayout* column(int spacing)
{
    auto* layout = new QVBoxLayout;
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(spacing);
    return layout;
}

void fillCapsule(QPainter& painter, const QRectF& area, const QColor& color)
{
    painter.setRenderHint(QPainter::Antialiasing);
    QPainterPath capsule;
    capsule.addRoundedRect(area, area.height() / 2, area.height() / 2);
    painter.fillPath(capsule, color);
}

QLabel* symbol(const QString& name, int size, const QColor& color)
{
    auto* result = new QLabel;
    result->setPixmap(SymbolIcon::tinted(name, size, color, 2.0));
    result->setFixedSize(size, size);
    result->setAlignment(Qt::AlignCenter);
    return result;
}

RoundedBox::RoundedBox(const QColor& fill, double radius, QWidget* parent)
    : QWidget(parent), m_fill(fill), m_radius(radius)
{
}

void RoundedBox::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF area = QRectF(rect());
    const double radius = m_radius < 0 ? area.height() / 2 : m_radius;
    QPainterPath shape;
    shape.addRoundedRect(area, radius, radius);
    painter.fillPath(shape, m_fill);
    if (m_border.isValid()) {
        QPainterPath inner;
        inner.addRoundedRect(area.adjusted(0.5, 0.5, -0.5, -0.5), std::max(0.0, radius - 0.5),
                             std::max(0.0, radius - 0.5));
        painter.strokePath(inner, QPen(m_border, 1));
    }
}

PlainButton::PlainButton(const QString& symbolName, const QString& title, double fontSize, const QColor& color,
                         std::function<void()> action, QWidget* parent)
    : QAbstractButton(parent), m_symbol(symbolName), m_font(Theme::font(fontSize)), m_color(color)
{
    setText(title);
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::TabFocus);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    connect(this, &QAbstractButton::clicked, this, [action = std::move(action)] {
        if (action)
            action();
    });
}

void PlainButton::setColor(const QColor& color)
{
    m_color = color;
    update();
}

void PlainButton::setLabel(const QString& title)
{
    setText(title);
    updateGeometry();
    update();
}

QSize PlainButton::sizeHint() const
{
    const QFontMetricsF metrics(m_font);
    const double symbolWidth = m_symbol.isEmpty() ? 0 : std::ceil(metrics.height()) + 4;
    return QSize(int(std::ceil(symbolWidth + metrics.horizontalAdvance(text()))) + 2,
                 int(std::ceil(metrics.height())) + 4);
}

void PlainButton::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QFontMetricsF metrics(m_font);
    const int iconSize = int(std::ceil(metrics.height()));
    QColor color = m_color;
    if (isDown())
        color = Theme::withOpacity(color, 0.6);
    double x = 1;
    if (!m_symbol.isEmpty()) {
        const QPixmap icon = SymbolIcon::tinted(m_symbol, iconSize, color, devicePixelRatioF());
        painter.drawPixmap(QPointF(x, (height() - iconSize) / 2.0), icon);
        x += iconSize + 4;
    }
    painter.setFont(m_font);
    painter.setPen(color);
    painter.drawText(QRectF(x, 0, width() - x, height()), Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
                     text());
}

QAbstractButton* pushButton(const QString& title, const char* objectName, std::function<void()> action,
                            bool isDefault)
{
    auto* button = new QPushButton(title);
    button->setObjectName(QLatin1String(objectName));
    button->setAutoDefault(false);
    button->setDefault(isDefault);
    button->setFocusPolicy(Qt::TabFocus);
    QObject::connect(button, &QPushButton::clicked, button, [action = std::move(action)] {
        if (action)
            action();
    });
    return button;
}

bool isReturn(const QKeyEvent* event)
{
    const Qt::KeyboardModifiers modifiers = event->modifiers() & ~Qt::KeypadModifier;
    return (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) && modifiers == Qt::NoModifier;
}

void copyPlainText(const QString& text)
{
    QClipboard* clipboard = QGuiApplication::clipboard();
    clipboard->clear();
    clipboard->setText(text);
}

void fitHeightToContent(QWidget* sheet, int width)
{
    QLayout* layout = sheet->layout();
    layout->activate();
    sheet->setFixedSize(width, layout->hasHeightForWidth() ? layout->totalHeightForWidth(width)
                                                           : layout->totalSizeHint().height());
}

}  // namespace zelvane::SheetParts
