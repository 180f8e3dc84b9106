#include "sheets/HelpManualSheet.h"

#include "window/PlaceholderView.h"

namespace zelvane {

HelpManualSheet::HelpManualSheet(AppModel& model, QWidget* parent) : QWidget(parent), m_model(model)
{
    setMinimumSize(440, 320);
    fillWithPlaceholder(this, QStringLiteral("HelpManualSheet"));
}

}  // namespace zelvane
