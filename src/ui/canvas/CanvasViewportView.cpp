#include "canvas/CanvasViewportView.h"

#include "window/PlaceholderView.h"

namespace zelvane {

CanvasViewportView::CanvasViewportView(AppModel& model, QWidget* parent) : QWidget(parent), m_model(model)
{
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    fillWithPlaceholder(this, QStringLiteral("CanvasViewportView"));
}

}  // namespace zelvane
