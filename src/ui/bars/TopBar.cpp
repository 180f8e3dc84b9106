#include "bars/TopBar.h"

#include "window/PlaceholderView.h"

namespace zelvane {

TopBar::TopBar(AppModel& model, QWidget* parent) : QWidget(parent), m_model(model)
{
    setFixedHeight(44);
    fillWithPlaceholder(this, QStringLiteral("TopBar"));
}

}  // namespace zelvane
