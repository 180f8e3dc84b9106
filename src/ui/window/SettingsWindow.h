#pragma once

#include <QWidget>

namespace zelvane {

class AppModel;

// The settings window: language, panels, ports, automatic update check.
class SettingsWindow : public QWidget {
    Q_OBJECT

public:
    explicit SettingsWindow(AppModel& model, QWidget* parent = nullptr);

private:
    void rebuild();

    AppModel& m_model;
    QWidget* m_view = nullptr;
};

}  // namespace zelvane
