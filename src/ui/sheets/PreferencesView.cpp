#include "sheets/PreferencesView.h"

#include "window/PlaceholderView.h"

namespace zelvane {

PreferencesView::PreferencesView(AppModel& model, QWidget* parent) : QWidget(parent), m_model(model)
{
    setMinimumSize(480, 360);
    fillWithPlaceholder(this, QStringLiteral("PreferencesView"));
}

}  // namespace zelvane
