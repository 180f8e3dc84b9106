#include "appmodel/KeyboardShortcutMonitor.h"

#include "appmodel/AppModel.h"

namespace zelvane {

KeyboardShortcutMonitor::KeyboardShortcutMonitor(AppModel& model) : QObject(&model), m_model(model) {}

bool KeyboardShortcutMonitor::eventFilter(QObject* watched, QEvent* event)
{
    return QObject::eventFilter(watched, event);
}

}  // namespace zelvane
