#pragma once

#include <QWidget>

namespace zelvane {

class AppModel;

// The user guide. Its shortcuts link raises showShortcuts on the next event-loop turn; closing sets showHelp to false.
class HelpManualSheet : public QWidget {
    Q_OBJECT

public:
    explicit HelpManualSheet(AppModel& model, QWidget* parent = nullptr);

private:
    AppModel& m_model;
};

}  // namespace zelvane
