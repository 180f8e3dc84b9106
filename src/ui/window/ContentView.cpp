#include "window/ContentView.h"

#include "appmodel/AppModel.h"
#include "bars/StatusBar.h"
#include "bars/TopBar.h"
#include "canvas/CanvasArea.h"
#include "controls/BusyOverlay.h"
#include "panels/InspectorView.h"
#include "panels/SidebarView.h"
#include "theme/Theme.h"
#include "window/PanelSlot.h"

#include <QHBoxLayout>
#include <QVBoxLayout>

namespace zelvane {

ContentView::ContentView(AppModel& model, QWidget* parent)
    : QWidget(parent),
      m_model(model),
      m_topBar(new TopBar(model)),
      m_sidebar(new SidebarView(model)),
      m_canvasArea(new CanvasArea(model)),
      m_inspector(new InspectorView(model)),
      m_statusBar(new StatusBar(model))
{
    setAutoFillBackground(true);
    QPalette palette = this->palette();
    palette.setColor(QPalette::Window, Theme::background());
    setPalette(palette);

    m_sidebarSlot = new PanelSlot(m_sidebar, kSidebarWidth, PanelSlot::Edge::leading, model.showSidebar());
    m_inspectorSlot = new PanelSlot(m_inspector, kInspectorWidth, PanelSlot::Edge::trailing, model.showInspector());

    auto* row = new QWidget(this);
    auto* rowLayout = new QHBoxLayout(row);
    rowLayout->setContentsMargins(0, 0, 0, 0);
    rowLayout->setSpacing(0);
    rowLayout->addWidget(m_sidebarSlot);
    rowLayout->addWidget(m_canvasArea, 1);
    rowLayout->addWidget(m_inspectorSlot);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(m_topBar);
    layout->addWidget(row, 1);
    layout->addWidget(m_statusBar);
    m_editingRow = row;

    m_busy = new BusyOverlay(m_canvasArea);
    m_busy->setObjectName(QStringLiteral("openingVeil"));
    connect(&model, &AppModel::openingFileNameChanged, this, &ContentView::showOpening);
    showOpening();

    connect(&model, &AppModel::showSidebarChanged, this,
            [this] { m_sidebarSlot->setShown(m_model.showSidebar(), m_animated && isVisible()); });
    connect(&model, &AppModel::showInspectorChanged, this,
            [this] { m_inspectorSlot->setShown(m_model.showInspector(), m_animated && isVisible()); });
}

void ContentView::showOpening()
{
    const std::optional<QString>& name = m_model.openingFileName();
    m_topBar->setEnabled(!name);
    m_editingRow->setEnabled(!name);
    if (name) {
        m_busy->setText(L(QStringLiteral("Ouverture de « ") + *name + QStringLiteral(" »…"),
                          QStringLiteral("Opening \"") + *name + QStringLiteral("\"…")));
        m_busy->raise();
        m_busy->show();
    } else {
        m_busy->hide();
    }
}

bool ContentView::isAnimating() const
{
    return m_sidebarSlot->isAnimating() || m_inspectorSlot->isAnimating();
}

}  // namespace zelvane
