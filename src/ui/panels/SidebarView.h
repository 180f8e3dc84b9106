#pragma once

#include <QWidget>

namespace zelvane {

class AppModel;

// The left panel: the page list and the layer list of the current page.
class SidebarView : public QWidget {
    Q_OBJECT

public:
    explicit SidebarView(AppModel& model, QWidget* parent = nullptr);

private:
    AppModel& m_model;
};

}  // namespace zelvane
