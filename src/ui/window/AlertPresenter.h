#pragma once

#include <QObject>
#include <QPointer>
#include <QUuid>

#include <QMessageBox>
class QWidget;

namespace zelvane {

class AppModel;
class SheetPresenter;

// Shows AppModel's alert as a window-modal message box with one OK button,
// its texts taken as plain text. The box goes over the sheet opened last,
// if any, else over the window; a newer alert replaces the one shown, and
// dismissing it clears the model's alert.
class AlertPresenter : public QObject {
    Q_OBJECT

public:
    AlertPresenter(AppModel& model, QWidget* window, SheetPresenter& sheets);
    ~AlertPresenter() override;

    QMessageBox* box() const { return m_box.data(); }

private:
    void present();
    void closeBox();

    AppModel& m_model;
    QWidget* m_window;
    SheetPresenter& m_sheets;
    QPointer<QMessageBox> m_box;
    QUuid m_shownID;
};

}  // namespace zelvane
