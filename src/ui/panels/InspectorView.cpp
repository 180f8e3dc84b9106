#include "panels/InspectorView.h"

#include "VectorController.h"
#include "appmodel/AppModel.h"
#include "controls/SeparatorLine.h"
#include "panels/inspector/PageDocumentSection.h"
#include "panels/inspector/QuickStampsSection.h"
#include "panels/inspector/SelectedElementSection.h"
#include "panels/inspector/SignatureLibrarySection.h"
#include "theme/Theme.h"

#include <QApplication>
#include <QFrame>
#include <QScrollArea>
#include <QScrollBar>
#include <QTimer>
#include <QVBoxLayout>

namespace zelvane {

InspectorView::InspectorView(AppModel& model, QWidget* parent)
    : QWidget(parent), m_model(model), m_scroll(new QScrollArea(this))
{
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->addWidget(m_scroll);

    m_scroll->setFrameShape(QFrame::NoFrame);
    m_scroll->setWidgetResizable(true);
    m_scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_scroll->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    QPalette palette = m_scroll->palette();
    palette.setColor(QPalette::Window, Theme::panel());
    m_scroll->setPalette(palette);
    m_scroll->setBackgroundRole(QPalette::Window);
    setAutoFillBackground(true);
    setPalette(palette);

    auto* content = new QWidget;
    content->setAutoFillBackground(true);
    content->setPalette(palette);
    m_column = new QVBoxLayout(content);
    m_column->setContentsMargins(12, 12, 12, 12);
    m_column->setSpacing(14);

    VectorController& controller = model.controller();
    m_selected = new SelectedElementSection(controller, content);
    // Styled now, with the window, rather than at the first selection.
    m_selected->ensurePolished();
    m_column->addWidget(m_selected);
    m_selectedDivider = separatorLine(Qt::Horizontal, content);
    m_column->addWidget(m_selectedDivider);

    // Sections below the selected element
    m_column->addWidget(new SignatureLibrarySection(model, content));
    m_column->addWidget(separatorLine(Qt::Horizontal, content));
    m_column->addWidget(new QuickStampsSection(model, content));
    m_column->addWidget(separatorLine(Qt::Horizontal, content));
    m_column->addWidget(new PageDocumentSection(model, content));

    m_column->addStretch(1);
    m_scroll->setWidget(content);

    connect(&controller, &VectorController::documentChanged, this, &InspectorView::refresh);
    connect(&controller, &VectorController::selectionChanged, this, &InspectorView::refresh);
    connect(&controller, &VectorController::currentPageIndexChanged, this, &InspectorView::refresh);
    refresh();
}

void InspectorView::refresh()
{
    // A field that commits while it hides or changes element edits the
    // document in the middle of a refresh: that change is shown right after.
    if (m_refreshing) {
        m_refreshAgain = true;
        return;
    }
    m_refreshing = true;
    // A field of another element (or of none) is not left holding the
    // keys: the focus would otherwise move on to the next field shown.
    // A draft left there still lands on its own element, or nowhere when no
    // element is shown any more (it may be gone).
    if (QWidget* focus = QApplication::focusWidget(); focus && m_selected->isAncestorOf(focus)) {
        const std::optional<VectorElement> next = m_model.controller().primarySelectedElement();
        if (!next)
            m_selected->retargetFields(QUuid());
        if (!next || next->id != m_shownElementID)
            focus->clearFocus();
    }
    do {
        m_refreshAgain = false;
        const std::optional<VectorElement> primary = m_model.controller().primarySelectedElement();
        if (primary) {
            m_selected->showElement(*primary);
            m_selected->setVisible(true);
            m_selectedDivider->setVisible(true);
        } else {
            m_selected->retargetFields(QUuid());
            m_selected->setVisible(false);
            m_selectedDivider->setVisible(false);
        }
    } while (m_refreshAgain);
    m_refreshing = false;

    // Another element selected: its section is brought into view once the
    // column has been laid out again.
    const std::optional<VectorElement> shown = m_model.controller().primarySelectedElement();
    const QUuid shownID = shown ? shown->id : QUuid();
    if (shownID != m_shownElementID) {
        m_shownElementID = shownID;
        if (!shownID.isNull())
            QTimer::singleShot(0, this, &InspectorView::revealSelectedSection);
    }
}

void InspectorView::revealSelectedSection()
{
    if (!m_selected->isVisible())
        return;
    m_scroll->widget()->layout()->activate();
    QScrollBar* bar = m_scroll->verticalScrollBar();
    // From the top of the column's margin, so the section starts clear of
    // the panel's edge; a section taller than the view shows its top.
    const int top = std::max(0, m_selected->y() - m_column->contentsMargins().top());
    const int bottom = m_selected->geometry().bottom() + 1;
    const int height = m_scroll->viewport()->height();
    if (bar->value() > top || bottom - top > height)
        bar->setValue(top);
    else if (bottom > bar->value() + height)
        bar->setValue(bottom - height);
}

}  // namespace zelvane
