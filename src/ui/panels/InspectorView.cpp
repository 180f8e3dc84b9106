#include "panels/InspectorView.h"

#include "window/PlaceholderView.h"

namespace zelvane {

InspectorView::InspectorView(AppModel& model, QWidget* parent) : QWidget(parent), m_model(model)
{
    fillWithPlaceholder(this, QStringLiteral("InspectorView"));
}

}  // namespace zelvane
