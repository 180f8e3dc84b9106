#include "controls/FieldRow.h"

#include "theme/Theme.h"

#include <QHBoxLayout>
#include <QLabel>

namespace zelvane {

FieldRow::FieldRow(const QString& label, int labelWidth, QWidget* content, QWidget* parent)
    : QWidget(parent), m_label(new QLabel(label, this)), m_content(content)
{
    m_label->setTextFormat(Qt::PlainText);
    m_label->setFont(Theme::font(11.5));
    QPalette palette = m_label->palette();
    palette.setColor(QPalette::WindowText, Theme::textDim());
    m_label->setPalette(palette);
    m_label->setFixedWidth(labelWidth);
    m_label->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);

    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(8);
    layout->addWidget(m_label);
    if (content)
        layout->addWidget(content);
    layout->addStretch(1);
}

}  // namespace zelvane
