#pragma once

#include <QWidget>

namespace zelvane {

class AppModel;

// The export sheet: chooses PDF, SVG or PNG and saves. Shown while showExportSheet is up.
class ExportSheet : public QWidget {
    Q_OBJECT

public:
    explicit ExportSheet(AppModel& model, QWidget* parent = nullptr);

private:
    AppModel& m_model;
};

}  // namespace zelvane
