#pragma once

#include <QWidget>

namespace zelvane {

class AppModel;

// The about sheet. Its help link raises showHelp on the next event-loop turn; closing sets showAbout to false.
class AboutSheet : public QWidget {
    Q_OBJECT

public:
    explicit AboutSheet(AppModel& model, QWidget* parent = nullptr);

private:
    AppModel& m_model;
};

}  // namespace zelvane
