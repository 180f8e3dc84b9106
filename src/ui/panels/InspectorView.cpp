#include "panels/InspectorView.h"

#include "panels/inspector/PageDocumentSection.h"
#include "panels/inspector/QuickStampsSection.h"
#include "panels/inspector/SignatureLibrarySection.h"
#include "theme/Theme.h"

#include <QScrollArea>
#include <QVBoxLayout>

namespace zelvane {

namespace {

QWidget* divider()
{
    auto* line = new QWidget;
    line->setFixedHeight(1);
    line->setAutoFillBackground(true);
    QPalette palette = line->palette();
    palette.setColor(QPalette::Window, Theme::separator());
    line->setPalette(palette);
    return line;
}

}  // namespace

InspectorView::InspectorView(AppModel& model, QWidget* parent) : QWidget(parent), m_model(model)
{
    auto* column = new QWidget;
    auto* sections = new QVBoxLayout(column);
    sections->setContentsMargins(12, 12, 12, 12);
    sections->setSpacing(14);
    sections->addWidget(new SignatureLibrarySection(model));
    sections->addWidget(divider());
    sections->addWidget(new QuickStampsSection(model));
    sections->addWidget(divider());
    sections->addWidget(new PageDocumentSection(model));
    sections->addStretch(1);

    auto* scroll = new QScrollArea(this);
    scroll->setWidget(column);
    scroll->setWidgetResizable(true);
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    QPalette palette = scroll->palette();
    palette.setColor(QPalette::Window, Theme::panel());
    scroll->setPalette(palette);
    scroll->viewport()->setPalette(palette);
    column->setPalette(palette);
    column->setAutoFillBackground(true);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(scroll);
}

}  // namespace zelvane
