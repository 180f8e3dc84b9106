#include "controls/SectionHeader.h"

#include "theme/Theme.h"

#include <QHBoxLayout>
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
        layout->addWidget(trailing);
}

}  // namespace zelvane
