#include "sheets/UpdateSheet.h"

#include "window/PlaceholderView.h"

namespace zelvane {

UpdateSheet::UpdateSheet(AppModel& model, QWidget* parent) : QWidget(parent), m_model(model)
{
    setMinimumSize(440, 320);
    fillWithPlaceholder(this, QStringLiteral("UpdateSheet"));
}

}  // namespace zelvane
