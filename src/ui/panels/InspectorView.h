#pragma once

#include <QWidget>

namespace zelvane {

class AppModel;

// The right panel: edits the selected element, the page and the signature and stamp libraries.
class InspectorView : public QWidget {
    Q_OBJECT

public:
    explicit InspectorView(AppModel& model, QWidget* parent = nullptr);

private:
    AppModel& m_model;
};

}  // namespace zelvane
