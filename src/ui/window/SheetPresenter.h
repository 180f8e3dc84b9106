#pragma once

#include <QList>
#include <QObject>
#include <QPointer>

#include <QDialog>
class QWidget;

namespace zelvane {

class AppModel;

// Shows the window's sheets as window-modal dialogs while their AppModel
// flags are up. Closing a dialog (Escape, the window's close button) lowers
// its flag; lowering the flag closes the dialog.
class SheetPresenter : public QObject {
    Q_OBJECT

public:
    SheetPresenter(AppModel& model, QWidget* window);
    ~SheetPresenter() override;

    // The dialog of a sheet (by its place in sheetEntries()), none when closed.
    QDialog* dialog(qsizetype index) const;
    // The sheet opened last among those still open; none without one.
    QDialog* topmost() const;
    // True when the widget is the dialog of an open sheet.
    bool isOpenSheet(const QWidget* widget) const;
    // Builds the open sheets' views again (after a language change).
    void rebuildOpenSheets();

signals:
    // A sheet opened or closed.
    void sheetsChanged();

private:
    void sync(qsizetype index);
    void open(qsizetype index);
    void close(qsizetype index);
    void dialogFinished();

    AppModel& m_model;
    QWidget* m_window;
    QList<QPointer<QDialog>> m_dialogs;
    QList<qsizetype> m_openOrder;
};

}  // namespace zelvane
