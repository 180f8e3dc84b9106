#include "bars/StatusBar.h"

#include "VectorController.h"
#include "appmodel/AppModel.h"
#include "theme/Theme.h"

#include <QHBoxLayout>
#include <QLabel>

namespace zelvane {

StatusBar::StatusBar(AppModel& model, QWidget* parent) : QWidget(parent), m_model(model), m_message(new QLabel(this))
{
    setAutoFillBackground(true);
    QPalette palette = this->palette();
    palette.setColor(QPalette::Window, Theme::header());
    palette.setColor(QPalette::WindowText, Theme::textDim());
    setPalette(palette);
    setFixedHeight(26);
    m_message->setTextFormat(Qt::PlainText);
    m_message->setFont(Theme::font(11));
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(12, 0, 12, 0);
    layout->addWidget(m_message, 1);
    connect(&model, &AppModel::flashMessageChanged, this, &StatusBar::refresh);
    connect(&model.controller(), &VectorController::statusMessageChanged, this, &StatusBar::refresh);
    refresh();
}

QString StatusBar::shownText() const
{
    return m_message->text();
}

void StatusBar::refresh()
{
    const std::optional<QString>& flash = m_model.flashMessage();
    m_message->setText(flash ? *flash : m_model.controller().statusMessage());
}

}  // namespace zelvane
