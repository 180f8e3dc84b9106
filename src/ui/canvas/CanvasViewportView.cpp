#include "canvas/CanvasViewportView.h"

#include "appmodel/AppModel.h"
#include "canvas/PageCardsView.h"
#include "canvas/SinglePageCanvas.h"
#include "theme/Theme.h"

#include <QScrollArea>
#include <QStackedWidget>
#include <QVBoxLayout>

namespace zelvane {

CanvasViewportView::CanvasViewportView(AppModel& model, QWidget* parent)
    : QWidget(parent),
      m_model(model),
      m_stack(new QStackedWidget(this)),
      m_singlePage(new SinglePageCanvas(model, m_stack)),
      m_pageCards(new PageCardsView(model, m_stack))
{
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_stack);

    m_stack->addWidget(m_singlePage);
    m_stack->addWidget(m_pageCards);
    connect(&m_model, &AppModel::displayModeChanged, this, &CanvasViewportView::showDisplayMode);
    showDisplayMode();
}

void CanvasViewportView::showDisplayMode()
{
    if (m_model.displayMode() == CanvasDisplayMode::singlePage)
        m_stack->setCurrentWidget(m_singlePage);
    else
        m_stack->setCurrentWidget(m_pageCards);
}

}  // namespace zelvane
