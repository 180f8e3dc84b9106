#include "sheets/OSCGuideSheet.h"

#include "window/PlaceholderView.h"

namespace zelvane {

OSCGuideSheet::OSCGuideSheet(AppModel& model, QWidget* parent) : QWidget(parent), m_model(model)
{
    setMinimumSize(440, 320);
    fillWithPlaceholder(this, QStringLiteral("OSCGuideSheet"));
}

}  // namespace zelvane
