#include "panels/inspector/CoordinateBadge.h"

#include "panels/inspector/InspectorFormat.h"
#include "theme/Theme.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>

namespace zelvane {

CoordinateBadge::CoordinateBadge(const QString& label, QWidget* parent)
    : QWidget(parent), m_label(new QLabel(label, this)), m_value(new QLabel(QStringLiteral("0"), this))
{
    m_label->setFont(Theme::font(9.5, QFont::Bold, true));
    m_label->setStyleSheet(QStringLiteral("color: %1;").arg(Theme::textFaint().name()));
    m_value->setFont(Theme::font(10.5, QFont::Normal, true));
    m_value->setStyleSheet(QStringLiteral("color: %1;").arg(Theme::text().name()));
    auto* layout = new QHBoxLayout(this);
    // 3.5 points above and below, kept whole.
    layout->setContentsMargins(7, 4, 7, 3);
    layout->setSpacing(4);
    layout->addStretch(1);
    layout->addWidget(m_label);
    layout->addWidget(m_value);
    layout->addStretch(1);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
}

void CoordinateBadge::setValue(double value)
{
    m_value->setText(InspectorFormat::integer(value));
}

QString CoordinateBadge::valueText() const
{
    return m_value->text();
}

void CoordinateBadge::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(Theme::white(0.05));
    painter.drawRoundedRect(QRectF(rect()), 4, 4);
}

}  // namespace zelvane
