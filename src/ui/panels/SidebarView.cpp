#include "panels/SidebarView.h"

#include "window/PlaceholderView.h"

namespace zelvane {

SidebarView::SidebarView(AppModel& model, QWidget* parent) : QWidget(parent), m_model(model)
{
    fillWithPlaceholder(this, QStringLiteral("SidebarView"));
}

}  // namespace zelvane
