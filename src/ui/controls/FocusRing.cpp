#include "controls/FocusRing.h"

#include "theme/Theme.h"

#include <QAbstractButton>
#include <QAbstractSlider>
#include <QApplication>
#include <QComboBox>
#include <QEvent>
#include <QPainter>
#include <QPainterPath>

namespace zelvane {

namespace {

QPointer<FocusRing>& ring()
{
    static QPointer<FocusRing> instance;
    return instance;
}

}  // namespace

FocusRing::FocusRing(QWidget* parent) : QWidget(parent)
{
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setAttribute(Qt::WA_NoSystemBackground);
    setAttribute(Qt::WA_TranslucentBackground);
    setFocusPolicy(Qt::NoFocus);
    hide();
}

void FocusRing::install()
{
    static bool installed = false;
    if (installed || !qApp)
        return;
    installed = true;
    // The ring itself goes with the window it is drawn in; a new one is made
    // for the next control.
    const auto mark = [](QWidget* now) {
        if (!ring()) {
            if (!marks(now) || !now->parentWidget())
                return;
            ring() = new FocusRing(now->parentWidget());
        }
        ring()->follow(now);
    };
    connect(qApp, &QApplication::focusChanged, qApp, [mark](QWidget*, QWidget* now) { mark(now); });
    mark(QApplication::focusWidget());
}

QWidget* FocusRing::markedWidget()
{
    return ring() && ring()->isVisible() ? ring()->m_target.data() : nullptr;
}

bool FocusRing::marks(const QWidget* widget)
{
    if (!widget)
        return false;
    if (qobject_cast<const QAbstractButton*>(widget) || qobject_cast<const QAbstractSlider*>(widget))
        return true;
    if (const auto* combo = qobject_cast<const QComboBox*>(widget))
        return !combo->isEditable();
    // Controls of their own kind that ask for it.
    return widget->property("zelvaneFocusRing").toBool();
}

void FocusRing::follow(QWidget* widget)
{
    if (m_target)
        m_target->removeEventFilter(this);
    m_target = marks(widget) ? widget : nullptr;
    if (!m_target || !m_target->parentWidget()) {
        m_target = nullptr;
        hide();
        return;
    }
    m_target->installEventFilter(this);
    place();
}

void FocusRing::place()
{
    if (!m_target || !m_target->isVisible()) {
        hide();
        return;
    }
    QWidget* parent = m_target->parentWidget();
    if (parentWidget() != parent)
        setParent(parent);
    setGeometry(m_target->geometry());
    show();
    raise();
    update();
}

bool FocusRing::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_target) {
        switch (event->type()) {
        case QEvent::Move:
        case QEvent::Resize:
        case QEvent::Show:
        case QEvent::Hide:
        case QEvent::ParentChange:
            place();
            break;
        default:
            break;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void FocusRing::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    QPainterPath outline;
    const double radius = std::min(5.0, std::min(width(), height()) / 2.0);
    outline.addRoundedRect(QRectF(rect()).adjusted(0.75, 0.75, -0.75, -0.75), radius, radius);
    painter.strokePath(outline, QPen(Theme::accent(), 1.5));
}

}  // namespace zelvane
