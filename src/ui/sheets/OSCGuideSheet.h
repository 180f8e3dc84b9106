#pragma once

#include <QWidget>

namespace zelvane {

class AppModel;

// The remote-control guide (OSC, HTTP and MCP). Closing sets showOSCGuide to false.
class OSCGuideSheet : public QWidget {
    Q_OBJECT

public:
    explicit OSCGuideSheet(AppModel& model, QWidget* parent = nullptr);

private:
    AppModel& m_model;
};

}  // namespace zelvane
