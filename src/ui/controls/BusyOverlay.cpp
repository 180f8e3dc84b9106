#include "controls/BusyOverlay.h"

#include "controls/ActivitySpinner.h"
#include "theme/Theme.h"

#include <QEvent>
#include <QLabel>
#include <QPainter>
#include <QVBoxLayout>

namespace zelvane {

BusyOverlay::BusyOverlay(QWidget* parent)
    : QWidget(parent), m_spinner(new ActivitySpinner(28)), m_label(new QLabel)
{
    m_label->setTextFormat(Qt::PlainText);
    m_label->setFont(Theme::font(12, QFont::DemiBold));
    m_label->setAlignment(Qt::AlignCenter);
    QPalette palette = m_label->palette();
    palette.setColor(QPalette::WindowText, Theme::text());
    m_label->setPalette(palette);

    auto* layout = new QVBoxLayout(this);
    layout->addStretch(1);
    layout->addWidget(m_spinner, 0, Qt::AlignHCenter);
    layout->addSpacing(10);
    layout->addWidget(m_label);
    layout->addStretch(1);

    parent->installEventFilter(this);
    setGeometry(parent->rect());
    hide();
}

void BusyOverlay::setText(const QString& text)
{
    m_label->setText(text);
}

QString BusyOverlay::text() const
{
    return m_label->text();
}

bool BusyOverlay::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == parentWidget() && event->type() == QEvent::Resize)
        setGeometry(parentWidget()->rect());
    return QWidget::eventFilter(watched, event);
}

void BusyOverlay::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    QColor veil = Theme::background();
    veil.setAlphaF(0.62);
    painter.fillRect(rect(), veil);
}

}  // namespace zelvane
