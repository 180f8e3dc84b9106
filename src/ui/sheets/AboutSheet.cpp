#include "sheets/AboutSheet.h"

#include "window/PlaceholderView.h"

namespace zelvane {

AboutSheet::AboutSheet(AppModel& model, QWidget* parent) : QWidget(parent), m_model(model)
{
    setMinimumSize(440, 320);
    fillWithPlaceholder(this, QStringLiteral("AboutSheet"));
}

}  // namespace zelvane
