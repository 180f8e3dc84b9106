#pragma once

#include <QWidget>

class QLabel;

namespace zelvane {

class AppModel;

// The bottom bar: the flash message while there is one, else the
// controller's status line.
class StatusBar : public QWidget {
    Q_OBJECT

public:
    explicit StatusBar(AppModel& model, QWidget* parent = nullptr);

    // The text shown now.
    QString shownText() const;

private:
    void refresh();

    AppModel& m_model;
    QLabel* m_message;
};

}  // namespace zelvane
