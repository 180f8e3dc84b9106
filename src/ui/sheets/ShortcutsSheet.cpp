#include "sheets/ShortcutsSheet.h"

#include "window/PlaceholderView.h"

namespace zelvane {

ShortcutsSheet::ShortcutsSheet(AppModel& model, QWidget* parent) : QWidget(parent), m_model(model)
{
    setMinimumSize(440, 320);
    fillWithPlaceholder(this, QStringLiteral("ShortcutsSheet"));
}

}  // namespace zelvane
