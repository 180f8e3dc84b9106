#include "window/SheetTable.h"

#include "appmodel/AppModel.h"
#include "sheets/AboutSheet.h"
#include "sheets/ExportSheet.h"
#include "sheets/HelpManualSheet.h"
#include "sheets/OSCGuideSheet.h"
#include "sheets/ShortcutsSheet.h"
#include "sheets/UpdateSheet.h"

namespace zelvane {

namespace {

template <class View>
QWidget* make(AppModel& model, QWidget* parent)
{
    return new View(model, parent);
}

}  // namespace

const QList<SheetEntry>& sheetEntries()
{
    static const QList<SheetEntry> entries{
        {"ExportSheet", &AppModel::showExportSheet, &AppModel::setShowExportSheet, &AppModel::showExportSheetChanged,
         make<ExportSheet>},
        {"OSCGuideSheet", &AppModel::showOSCGuide, &AppModel::setShowOSCGuide, &AppModel::showOSCGuideChanged,
         make<OSCGuideSheet>},
        {"ShortcutsSheet", &AppModel::showShortcuts, &AppModel::setShowShortcuts, &AppModel::showShortcutsChanged,
         make<ShortcutsSheet>},
        {"HelpManualSheet", &AppModel::showHelp, &AppModel::setShowHelp, &AppModel::showHelpChanged,
         make<HelpManualSheet>},
        {"AboutSheet", &AppModel::showAbout, &AppModel::setShowAbout, &AppModel::showAboutChanged, make<AboutSheet>},
        {"UpdateSheet", &AppModel::showUpdater, &AppModel::setShowUpdater, &AppModel::showUpdaterChanged,
         make<UpdateSheet>},
    };
    return entries;
}

}  // namespace zelvane
