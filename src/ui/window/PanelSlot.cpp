#include "window/PanelSlot.h"

#include "theme/Theme.h"

#include <QGraphicsOpacityEffect>
#include <QPainter>
#include <QVariantAnimation>

namespace zelvane {

namespace {

constexpr int kAnimationMilliseconds = 220;

}  // namespace

PanelSlot::PanelSlot(QWidget* panel, int panelWidth, Edge edge, bool shown, QWidget* parent)
    : QWidget(parent), m_panel(panel), m_panelWidth(panelWidth), m_edge(edge), m_shown(shown),
      m_animation(new QVariantAnimation(this))
{
    panel->setParent(this);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Expanding);
    m_animation->setDuration(kAnimationMilliseconds);
    m_animation->setEasingCurve(QEasingCurve::OutCubic);
    connect(m_animation, &QVariantAnimation::valueChanged, this,
            [this](const QVariant& value) { setSlotWidth(value.toInt()); });
    connect(m_animation, &QVariantAnimation::finished, this, [this] {
        // The fade is for the move only: a panel at rest draws directly.
        m_panel->setGraphicsEffect(nullptr);
        setVisible(m_shown);
    });
    setSlotWidth(shown ? fullWidth() : 0);
    setVisible(shown);
}

void PanelSlot::setShown(bool shown, bool animated)
{
    if (m_shown == shown && !isAnimating())
        return;
    m_shown = shown;
    m_animation->stop();
    m_panel->setGraphicsEffect(nullptr);
    const int target = shown ? fullWidth() : 0;
    if (!animated) {
        setSlotWidth(target);
        setVisible(shown);
        return;
    }
    setVisible(true);
    m_animation->setStartValue(width());
    m_animation->setEndValue(target);
    m_animation->start();
}

bool PanelSlot::isAnimating() const
{
    return m_animation->state() == QAbstractAnimation::Running;
}

void PanelSlot::setSlotWidth(int width)
{
    setFixedWidth(width);
    placePanel();
    if (isAnimating()) {
        // The panel fades as it slides.
        auto* fade = qobject_cast<QGraphicsOpacityEffect*>(m_panel->graphicsEffect());
        if (!fade) {
            fade = new QGraphicsOpacityEffect(m_panel);
            m_panel->setGraphicsEffect(fade);
        }
        fade->setOpacity(double(width) / fullWidth());
    }
}

void PanelSlot::resizeEvent(QResizeEvent* event)
{
    placePanel();
    QWidget::resizeEvent(event);
}

void PanelSlot::placePanel()
{
    // The panel keeps its width and stays against the separator, so as the
    // slot narrows it slides out past the window's edge.
    const int x = m_edge == Edge::leading ? width() - fullWidth() : 1;
    m_panel->setGeometry(x, 0, m_panelWidth, height());
}

void PanelSlot::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    const int separatorX = m_edge == Edge::leading ? width() - 1 : 0;
    painter.fillRect(QRect(separatorX, 0, 1, height()), Theme::separator());
}

}  // namespace zelvane
