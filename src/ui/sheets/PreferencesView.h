#pragma once

#include <QWidget>

namespace zelvane {

class AppModel;

// The settings window's content: language, panels, ports, automatic update check.
class PreferencesView : public QWidget {
    Q_OBJECT

public:
    explicit PreferencesView(AppModel& model, QWidget* parent = nullptr);

private:
    AppModel& m_model;
};

}  // namespace zelvane
