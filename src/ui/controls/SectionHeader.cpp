#include "controls/SectionHeader.h"

#include "theme/Theme.h"

#include <QHBoxLayout>
#include <QBoxLayout>
#include <QLabel>

namespace zelvane {

SectionHeader::SectionHeader(const QString& title, QWidget* trailing, QWidget* parent)
    : QWidget(parent), m_title(new QLabel(title.toUpper(), this)), m_trailing(trailing)
{
    m_title->setTextFormat(Qt::PlainText);
    QFont font = Theme::font(10.5, QFont::DemiBold);
    font.setLetterSpacing(QFont::AbsoluteSpacing, 0.6);
    m_title->setFont(font);
    QPalette palette = m_title->palette();
    palette.setColor(QPalette::WindowText, Theme::textDim());
    m_title->setPalette(palette);

    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 2);
    layout->addWidget(m_title);
    layout->addStretch(1);
    if (trailing)
        layout->addWidget(trailing, 0, Qt::AlignRight);
}

void SectionHeader::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    arrange();
}

void SectionHeader::arrange()
{
    auto* box = static_cast<QBoxLayout*>(layout());
    if (!m_trailing || !box)
        return;
    const QMargins margins = box->contentsMargins();
    const int sideBySide = margins.left() + m_title->sizeHint().width() + 2 * box->spacing() +
                           m_trailing->sizeHint().width() + margins.right();
    const QBoxLayout::Direction direction =
        width() >= sideBySide ? QBoxLayout::LeftToRight : QBoxLayout::TopToBottom;
    if (box->direction() != direction)
        box->setDirection(direction);
}

}  // namespace zelvane
