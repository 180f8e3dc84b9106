#include "sheets/ExportSheet.h"

#include "window/PlaceholderView.h"

namespace zelvane {

ExportSheet::ExportSheet(AppModel& model, QWidget* parent) : QWidget(parent), m_model(model)
{
    setMinimumSize(440, 320);
    fillWithPlaceholder(this, QStringLiteral("ExportSheet"));
}

}  // namespace zelvane
