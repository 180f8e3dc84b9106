#pragma once

#include <QObject>

namespace zelvane {

class AppModel;

// The application-wide key filter that turns single keys into editor
// commands while no text field or sheet wants them. It lets every key
// through for now.
class KeyboardShortcutMonitor : public QObject {
    Q_OBJECT

public:
    explicit KeyboardShortcutMonitor(AppModel& model);

    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    AppModel& m_model;
};

}  // namespace zelvane
