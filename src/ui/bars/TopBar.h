#pragma once

#include <QWidget>

namespace zelvane {

class AppModel;

// The top bar: file actions, tools, display modes, search and the panel switches.
class TopBar : public QWidget {
    Q_OBJECT

public:
    explicit TopBar(AppModel& model, QWidget* parent = nullptr);

private:
    AppModel& m_model;
};

}  // namespace zelvane
