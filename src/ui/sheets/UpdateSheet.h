#pragma once

#include <QWidget>

namespace zelvane {

class AppModel;

// The update sheet. Closing sets showUpdater to false.
class UpdateSheet : public QWidget {
    Q_OBJECT

public:
    explicit UpdateSheet(AppModel& model, QWidget* parent = nullptr);

private:
    AppModel& m_model;
};

}  // namespace zelvane
