#include "controls/CommitField.h"

#include "theme/Theme.h"

#include <QKeyEvent>
#include <QPainter>
#include <QPointer>
#include <QVariantAnimation>

namespace zelvane {

namespace {

QString rgba(const QColor& color)
{
    return QStringLiteral("rgba(%1, %2, %3, %4)")
        .arg(color.red())
        .arg(color.green())
        .arg(color.blue())
        .arg(color.alpha());
}

}  // namespace

CommitField::CommitField(const QString& value, const QString& placeholder, bool monospaced, Callback onCommit,
                         Callback onSubmit, QWidget* parent)
    : QLineEdit(value, parent),
      m_focusAnimation(new QVariantAnimation(this)),
      m_value(value),
      m_onCommit(std::move(onCommit)),
      m_onSubmit(std::move(onSubmit))
{
    m_focusAnimation->setDuration(150);
    m_focusAnimation->setEasingCurve(QEasingCurve::OutCubic);
    connect(m_focusAnimation, &QVariantAnimation::valueChanged, this, [this](const QVariant& progress) {
        m_focusProgress = progress.toDouble();
        update();
    });
    setPlaceholderText(placeholder);
    setFont(Theme::font(11.5, QFont::Normal, monospaced));
    setFrame(false);
    // The border is drawn over it by paintEvent(), so it can ease.
    setStyleSheet(QStringLiteral("QLineEdit { background: %1; color: %2; border: 1px solid transparent;"
                                 " border-radius: 5px; padding: 4px 7px; }")
                      .arg(rgba(Theme::white(0.05)), Theme::text().name()));
}

void CommitField::setValue(const QString& value)
{
    m_value = value;
    if (!hasFocus() && text() != value) {
        setText(value);
        // A long value shown, not typed: its beginning is what reads.
        setCursorPosition(0);
    }
}

void CommitField::keyPressEvent(QKeyEvent* event)
{
    if (event->key() != Qt::Key_Return && event->key() != Qt::Key_Enter) {
        QLineEdit::keyPressEvent(event);
        return;
    }
    event->accept();
    // Copies: a callback may delete this field, and with it the members.
    const QString committed = text();
    const Callback commit = m_onCommit;
    const Callback submit = m_onSubmit;
    if (commit)
        commit(committed);
    if (submit)
        submit(committed);
}

QColor CommitField::borderColor() const
{
    const QColor rest = Theme::white(0.08);
    const QColor focused = Theme::withOpacity(Theme::accent(), 0.6);
    const double t = m_focusProgress;
    return QColor::fromRgbF(float(rest.redF() + (focused.redF() - rest.redF()) * t),
                            float(rest.greenF() + (focused.greenF() - rest.greenF()) * t),
                            float(rest.blueF() + (focused.blueF() - rest.blueF()) * t),
                            float(rest.alphaF() + (focused.alphaF() - rest.alphaF()) * t));
}

void CommitField::animateFocus(bool focused)
{
    m_focusAnimation->stop();
    m_focusAnimation->setStartValue(m_focusProgress);
    m_focusAnimation->setEndValue(focused ? 1.0 : 0.0);
    m_focusAnimation->start();
}

void CommitField::paintEvent(QPaintEvent* event)
{
    QLineEdit::paintEvent(event);
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(borderColor(), 1));
    painter.setBrush(Qt::NoBrush);
    painter.drawRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), 5, 5);
}

void CommitField::focusInEvent(QFocusEvent* event)
{
    QLineEdit::focusInEvent(event);
    animateFocus(true);
}

void CommitField::focusOutEvent(QFocusEvent* event)
{
    QLineEdit::focusOutEvent(event);
    animateFocus(false);
    const QString committed = text();
    if (committed == m_value)
        return;
    QPointer<CommitField> self(this);
    const Callback commit = m_onCommit;
    if (commit)
        commit(committed);
    // A field deleted by its own commit is left alone.
    if (self)
        setText(m_value);
}

}  // namespace zelvane
