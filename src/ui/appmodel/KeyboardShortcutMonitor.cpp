#include "appmodel/KeyboardShortcutMonitor.h"

#include "VectorController.h"
#include "appmodel/AppModel.h"
#include "appmodel/CommandShortcuts.h"

#include <QGuiApplication>
#include <QKeyEvent>

namespace zelvane {

KeyboardShortcutMonitor::KeyboardShortcutMonitor(AppModel& model) : QObject(&model), m_model(&model) {}

bool KeyboardShortcutMonitor::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() != QEvent::KeyPress || !m_model)
        return false;
    // The press is seen at its window first, then at each widget it reaches;
    // it counts once, at the focus.
    if (watched != QGuiApplication::focusObject())
        return false;
    const AppModel::SingleKeyTargetTest& aimedAtEditor = m_model->singleKeyTargetTest();
    if (!aimedAtEditor || !aimedAtEditor(watched))
        return false;
    return handleKey(*static_cast<QKeyEvent*>(event));
}

bool KeyboardShortcutMonitor::handleKey(const QKeyEvent& event)
{
    AppModel* model = m_model.data();
    // While a file opened from the window is read, the document is not to
    // be edited.
    if (!model || model->hasOpenSheet() || model->alert() || model->editingTextElementID() ||
        model->openingFileName())
        return false;
    if (event.modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier))
        return false;
    const std::optional<SingleKeyShortcut> shortcut =
        singleKeyShortcutFor(static_cast<Qt::Key>(event.key()), event.modifiers().testFlag(Qt::ShiftModifier));
    if (!shortcut)
        return false;
    VectorController& controller = model->controller();
    switch (shortcut->action) {
    case SingleKeyAction::resetView:
        model->resetView();
        return true;
    case SingleKeyAction::fitPageOrSelection:
        model->fitSelectionOrPageAnimated();
        return true;
    case SingleKeyAction::chooseTool:
        model->setActiveTool(shortcut->tool);
        return true;
    case SingleKeyAction::previousPage:
        if (controller.currentPageIndex() >= 1)
            controller.setCurrentPageIndex(controller.currentPageIndex() - 1);
        return true;
    case SingleKeyAction::nextPage:
        if (controller.currentPageIndex() + 1 < controller.document().pages.size())
            controller.setCurrentPageIndex(controller.currentPageIndex() + 1);
        return true;
    case SingleKeyAction::deleteSelection:
        if (controller.selection().isEmpty())
            return false;
        controller.deleteSelectedElements();
        return true;
    case SingleKeyAction::clearSelection:
        controller.setSelection({});
        model->setActiveTool(EditorTool::select);
        return true;
    }
    return false;
}

}  // namespace zelvane
