#pragma once

#include <QWidget>

namespace zelvane {

class AppModel;

// The keyboard shortcuts card. Closing sets showShortcuts to false.
class ShortcutsSheet : public QWidget {
    Q_OBJECT

public:
    explicit ShortcutsSheet(AppModel& model, QWidget* parent = nullptr);

private:
    AppModel& m_model;
};

}  // namespace zelvane
