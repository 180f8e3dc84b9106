#pragma once

#include "appmodel/AppModel.h"

class QWidget;

namespace zelvane {

// Asks, over the window, whether to save the changes of the document
// before it is replaced or the window closes: Save, Discard or Cancel.
UnsavedChangesAnswer askToSaveChanges(QWidget* window, const QString& documentTitle);

}  // namespace zelvane
