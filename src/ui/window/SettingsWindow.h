#pragma once

#include <QWidget>

namespace zelvane {

class AppModel;
class PreferencesView;

// The settings window: language, panels, ports, automatic update check.
class SettingsWindow : public QWidget {
    Q_OBJECT

public:
    explicit SettingsWindow(AppModel& model, QWidget* parent = nullptr);

    // The page shown now (built again for each language).
    PreferencesView* view() const { return m_view; }

private:
    void rebuild();

    AppModel& m_model;
    PreferencesView* m_view = nullptr;
};

}  // namespace zelvane
