#include "window/SheetPresenter.h"

#include "appmodel/AppModel.h"
#include "appmodel/CommandShortcuts.h"
#include "window/SheetTable.h"

#include <QDialog>
#include <QShortcut>
#include <QVBoxLayout>

namespace zelvane {

SheetPresenter::SheetPresenter(AppModel& model, QWidget* window)
    : QObject(window), m_model(model), m_window(window)
{
    const QList<SheetEntry>& entries = sheetEntries();
    m_dialogs.resize(entries.size());
    for (qsizetype i = 0; i < entries.size(); ++i)
        connect(&model, entries[i].shownChanged, this, [this, i] { sync(i); });
}

SheetPresenter::~SheetPresenter()
{
    for (const QPointer<QDialog>& dialog : std::as_const(m_dialogs)) {
        if (dialog) {
            dialog->disconnect(this);
            delete dialog.data();
        }
    }
}

QDialog* SheetPresenter::dialog(qsizetype index) const
{
    return index >= 0 && index < m_dialogs.size() ? m_dialogs[index].data() : nullptr;
}

QDialog* SheetPresenter::topmost() const
{
    for (auto it = m_openOrder.crbegin(); it != m_openOrder.crend(); ++it) {
        if (QDialog* open = dialog(*it))
            return open;
    }
    return nullptr;
}

bool SheetPresenter::isOpenSheet(const QWidget* widget) const
{
    for (const QPointer<QDialog>& dialog : m_dialogs) {
        if (widget && dialog.data() == widget)
            return true;
    }
    return false;
}

void SheetPresenter::sync(qsizetype index)
{
    const SheetEntry& entry = sheetEntries()[index];
    const bool shown = (m_model.*entry.isShown)();
    if (shown && !m_dialogs[index])
        open(index);
    else if (!shown && m_dialogs[index])
        close(index);
}

void SheetPresenter::open(qsizetype index)
{
    const SheetEntry& entry = sheetEntries()[index];
    auto* dialog = new QDialog(m_window);
    dialog->setObjectName(QLatin1String(entry.name));
    dialog->setWindowModality(Qt::WindowModal);
    auto* layout = new QVBoxLayout(dialog);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(entry.makeView(m_model, dialog));
    connect(dialog, &QDialog::finished, this, &SheetPresenter::dialogFinished);
    // The sheet keeps the keys from the window's menu: Quit reaches the
    // window from here too, as it does while a save started here runs.
    auto* quit = new QShortcut(shortcutsFor(EditorCommand::quit).constFirst(), dialog);
    connect(quit, &QShortcut::activated, m_window, &QWidget::close);
    m_dialogs[index] = dialog;
    m_openOrder.removeAll(index);
    m_openOrder.append(index);
    dialog->open();
    emit sheetsChanged();
}

void SheetPresenter::dialogFinished()
{
    const qsizetype index = m_dialogs.indexOf(qobject_cast<QDialog*>(sender()));
    if (index < 0)
        return;
    const SheetEntry& closed = sheetEntries()[index];
    (m_model.*closed.setShown)(false);
    // Closed by the platform with the flag already down: forget it here.
    if (m_dialogs[index])
        close(index);
}

void SheetPresenter::close(qsizetype index)
{
    QPointer<QDialog> dialog = m_dialogs[index];
    m_dialogs[index] = nullptr;
    m_openOrder.removeAll(index);
    if (dialog) {
        dialog->disconnect(this);
        dialog->hide();
        dialog->deleteLater();
    }
    emit sheetsChanged();
}

void SheetPresenter::rebuildOpenSheets()
{
    const QList<SheetEntry>& entries = sheetEntries();
    for (qsizetype i = 0; i < entries.size(); ++i) {
        QDialog* open = dialog(i);
        if (!open)
            continue;
        QLayout* layout = open->layout();
        while (QLayoutItem* item = layout->takeAt(0)) {
            if (QWidget* view = item->widget())
                view->deleteLater();
            delete item;
        }
        layout->addWidget(entries[i].makeView(m_model, open));
    }
}

}  // namespace zelvane
