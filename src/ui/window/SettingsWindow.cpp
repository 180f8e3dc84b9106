#include "window/SettingsWindow.h"

#include "appmodel/AppModel.h"
#include "controls/FocusRing.h"
#include "sheets/PreferencesView.h"

#include <QShortcut>
#include <QVBoxLayout>

namespace zelvane {

SettingsWindow::SettingsWindow(AppModel& model, QWidget* parent) : QWidget(parent, Qt::Window), m_model(model)
{
    setObjectName(QStringLiteral("SettingsWindow"));
    FocusRing::install();
    setFixedSize(PreferencesView::kWidth, PreferencesView::kHeight);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    rebuild();
    connect(&model, &AppModel::languageChanged, this, &SettingsWindow::rebuild);
    // Closed the way dialogs and utility windows close on Linux desktops.
    for (const QKeySequence& keys : {QKeySequence(Qt::Key_Escape), QKeySequence(Qt::ControlModifier | Qt::Key_W)}) {
        auto* shortcut = new QShortcut(keys, this);
        shortcut->setContext(Qt::WindowShortcut);
        connect(shortcut, &QShortcut::activated, this, &QWidget::close);
    }
}

void SettingsWindow::rebuild()
{
    setWindowTitle(L("Réglages", "Settings"));
    if (m_view) {
        // The language may have been chosen in this very view.
        layout()->removeWidget(m_view);
        m_view->hide();
        m_view->deleteLater();
    }
    m_view = new PreferencesView(m_model, this);
    layout()->addWidget(m_view);
    m_view->show();
}

}  // namespace zelvane
