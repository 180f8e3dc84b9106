#pragma once

#include <QWidget>

namespace zelvane {

class AppModel;

// The canvas: the pages of the document, zoomed and panned, and the
// editing gestures. Fills whatever size it is given.
class CanvasViewportView : public QWidget {
    Q_OBJECT

public:
    explicit CanvasViewportView(AppModel& model, QWidget* parent = nullptr);

private:
    AppModel& m_model;
};

}  // namespace zelvane
