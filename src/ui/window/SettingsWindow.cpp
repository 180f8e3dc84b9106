#include "window/SettingsWindow.h"

#include "appmodel/AppModel.h"
#include "sheets/PreferencesView.h"

#include <QVBoxLayout>

namespace zelvane {

SettingsWindow::SettingsWindow(AppModel& model, QWidget* parent) : QWidget(parent, Qt::Window), m_model(model)
{
    setObjectName(QStringLiteral("SettingsWindow"));
    setFixedSize(PreferencesView::kWidth, PreferencesView::kHeight);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    rebuild();
    connect(&model, &AppModel::languageChanged, this, &SettingsWindow::rebuild);
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
