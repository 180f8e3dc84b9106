#pragma once

#include <QList>
#include <functional>

class QWidget;

namespace zelvane {

class AppModel;

// One modal sheet of the main window: the AppModel flag that shows it and
// the view it shows. The view closes itself by setting the flag to false.
struct SheetEntry {
    const char* name;
    bool (AppModel::*isShown)() const;
    void (AppModel::*setShown)(bool);
    void (AppModel::*shownChanged)();
    std::function<QWidget*(AppModel&, QWidget* parent)> makeView;
};

// The window's sheets in the order they are attached: export, remote-control
// guide, shortcuts, user guide, about, update.
const QList<SheetEntry>& sheetEntries();

}  // namespace zelvane
