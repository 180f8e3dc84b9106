#include "window/PlaceholderView.h"

#include "theme/Theme.h"

#include <QPainter>
#include <QVBoxLayout>

namespace zelvane {

PlaceholderView::PlaceholderView(const QString& name, QWidget* parent) : QWidget(parent), m_name(name)
{
    setObjectName(name);
    setAttribute(Qt::WA_TransparentForMouseEvents);
}

void PlaceholderView::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    QPen pen(Theme::withOpacity(Theme::textFaint(), 0.8), 1, Qt::DashLine);
    painter.setPen(pen);
    painter.drawRoundedRect(QRectF(rect()).adjusted(3.5, 3.5, -3.5, -3.5), 6, 6);
    painter.setPen(Theme::textFaint());
    painter.setFont(Theme::font(11, QFont::Medium, true));
    painter.drawText(rect(), Qt::AlignCenter | Qt::TextWordWrap, m_name);
}

void fillWithPlaceholder(QWidget* host, const QString& name)
{
    auto* layout = new QVBoxLayout(host);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(new PlaceholderView(name, host));
}

}  // namespace zelvane
