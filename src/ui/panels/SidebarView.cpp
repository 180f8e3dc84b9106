#include "panels/SidebarView.h"

#include "Localization.h"
#include "VectorController.h"
#include "appmodel/AppModel.h"
#include "appmodel/CommandShortcuts.h"
#include "controls/IconButton.h"
#include "controls/SectionHeader.h"
#include "controls/SeparatorLine.h"
#include "panels/sidebar/LayerListModel.h"
#include "panels/sidebar/LayerRowDelegate.h"
#include "panels/sidebar/PageListModel.h"
#include "panels/sidebar/PageRowDrag.h"
#include "panels/sidebar/PageRowDelegate.h"
#include "panels/sidebar/SidebarList.h"
#include "theme/Theme.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QListView>
#include <QStackedWidget>
#include <QVBoxLayout>

#include <algorithm>

namespace zelvane {

namespace {

SidebarList* makeList(QWidget* parent)
{
    auto* list = new SidebarList(parent);
    list->setFrameShape(QFrame::NoFrame);
    list->setSelectionMode(QAbstractItemView::NoSelection);
    list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    list->setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    list->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    list->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    // Rows all have the same height, so only the rows in view are ever
    // measured or painted, whatever the number of pages.
    list->setUniformItemSizes(true);
    list->setMouseTracking(true);
    list->viewport()->setAutoFillBackground(false);
    list->setStyleSheet(QStringLiteral("QListView { background: transparent; }"));
    return list;
}

QLabel* makeLabel(const QString& text, const QFont& font, const QColor& color, QWidget* parent)
{
    auto* label = new QLabel(text, parent);
    label->setTextFormat(Qt::PlainText);
    label->setFont(font);
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, color);
    label->setPalette(palette);
    return label;
}

}  // namespace

SidebarView::SidebarView(AppModel& model, QWidget* parent) : QWidget(parent), m_model(model)
{
    setAutoFillBackground(true);
    QPalette palette = this->palette();
    palette.setColor(QPalette::Window, Theme::panel());
    setPalette(palette);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    // The two lists share the panel's height: the page list takes what its
    // rows need, up to half of it.
    layout->addWidget(buildPageSection(), 1);
    layout->addWidget(separatorLine(Qt::Horizontal, this));
    layout->addWidget(buildLayerSection(), 1);

    VectorController& controller = model.controller();
    connect(&controller, &VectorController::documentChanged, this, [this] {
        updatePageHeader();
        updatePageListHeight();
        updateLayerHeader();
    });
    connect(&controller, &VectorController::currentPageIndexChanged, this, [this] {
        updateLayerHeader();
        // Keep the current row in view (a page turned from elsewhere).
        const qsizetype current = m_model.controller().currentPageIndex();
        if (current >= 0 && current < m_pages->rowCount())
            m_pageList->scrollTo(m_pages->index(int(current)));
    });
    connect(m_layers, &LayerListModel::listed, this, &SidebarView::updateLayerHeader);
    updatePageHeader();
    updatePageListHeight();
    updateLayerHeader();
}

QWidget* SidebarView::buildPageSection()
{
    VectorController& controller = m_model.controller();
    auto* section = new QWidget(this);
    auto* layout = new QVBoxLayout(section);
    layout->setContentsMargins(0, 10, 0, 0);
    layout->setSpacing(6);

    auto* buttons = new QWidget;
    auto* buttonRow = new QHBoxLayout(buttons);
    buttonRow->setContentsMargins(0, 0, 0, 0);
    buttonRow->setSpacing(3);
    m_addButton = new IconButton(QStringLiteral("plus"),
                                 L("Ajouter une page vierge (", "Add a blank page (") +
                                     shortcutText(EditorCommand::addBlankPage) + QLatin1Char(')'),
                                 [&controller] { controller.addBlankPage(PageFormatPreset::a4Portrait); });
    m_duplicateButton = new IconButton(QStringLiteral("plus.square.on.square"),
                                       L("Dupliquer la page courante", "Duplicate current page"),
                                       [&controller] { controller.duplicateCurrentPage(); });
    m_rotateButton = new IconButton(QStringLiteral("rotate.right"), L("Pivoter la page de 90°", "Rotate page 90°"),
                                    [&controller] { controller.rotateCurrentPage(true); });
    m_deleteButton = new IconButton(QStringLiteral("trash"), L("Supprimer la page courante", "Delete current page"),
                                    [&controller] { controller.deleteCurrentPage(); });
    for (IconButton* button : {m_addButton, m_duplicateButton, m_rotateButton, m_deleteButton}) {
        button->setTint(Theme::accent());
        buttonRow->addWidget(button);
    }
    m_pagesHeader = new SectionHeader(QString(), buttons);
    auto* header = new QWidget(section);
    auto* headerLayout = new QHBoxLayout(header);
    headerLayout->setContentsMargins(10, 0, 10, 0);
    headerLayout->addWidget(m_pagesHeader);
    layout->addWidget(header);
    m_pageSection = section;
    m_pageHeaderRow = header;

    m_pages = new PageListModel(controller, this);
    m_pageDelegate = new PageRowDelegate(*m_pages, this);
    m_pageDelegate->onSelect = [this](int row) { selectPage(row); };
    m_pageDelegate->onMove = [this](int row, int offset) { movePage(row, offset); };
    auto* listBox = new QWidget(section);
    auto* listLayout = new QVBoxLayout(listBox);
    listLayout->setContentsMargins(8, 0, 8, 8);
    SidebarList* pageList = makeList(listBox);
    m_pageList = pageList;
    pageList->chosenRow = [this] { return int(m_model.controller().currentPageIndex()); };
    pageList->onChoose = [this](int row) { selectPage(row); };
    // The current row's move arrows, while there is somewhere to move.
    pageList->buttonCount = [this] { return m_model.controller().document().pages.size() >= 2 ? 2 : 0; };
    pageList->onPressButton = [this](int row, int button) {
        movePage(row, button == 1 ? -1 : +1);
        m_pageList->scrollTo(m_pages->index(int(m_model.controller().currentPageIndex())));
    };
    m_pageList->setModel(m_pages);
    m_pageList->setItemDelegate(m_pageDelegate);
    listLayout->addWidget(m_pageList);
    m_pageListBox = listBox;
    layout->addWidget(listBox, 1);
    m_pageDrag = new PageRowDrag(*m_pageList, [this](int from, int to) { movePageTo(from, to); }, this);
    return section;
}

QWidget* SidebarView::buildLayerSection()
{
    VectorController& controller = m_model.controller();
    auto* section = new QWidget(this);
    auto* layout = new QVBoxLayout(section);
    layout->setContentsMargins(0, 10, 0, 0);
    layout->setSpacing(6);

    m_layerCount = makeLabel(QString(), Theme::font(10, QFont::DemiBold, true), Theme::textFaint(), nullptr);
    m_layersHeader = new SectionHeader(QString(), m_layerCount);
    auto* header = new QWidget(section);
    auto* headerLayout = new QHBoxLayout(header);
    headerLayout->setContentsMargins(10, 0, 10, 0);
    headerLayout->addWidget(m_layersHeader);
    layout->addWidget(header);

    m_layers = new LayerListModel(controller, this);
    m_layerDelegate = new LayerRowDelegate(*m_layers, this);
    m_layerDelegate->onSelect = [this](int row) { selectLayer(row); };
    const auto toggle = [this](int row, bool visibility) {
        const VectorElement* element = m_layers->element(row);
        if (!element)
            return;
        m_model.controller().updateCurrentPageElement(element->id, QString(), [visibility](VectorElement& e) {
            if (visibility)
                e.visible = !e.visible;
            else
                e.locked = !e.locked;
        });
    };
    m_layerDelegate->onToggleVisible = [toggle](int row) { toggle(row, true); };
    m_layerDelegate->onToggleLock = [toggle](int row) { toggle(row, false); };

    m_layerStack = new QStackedWidget(section);
    auto* listBox = new QWidget;
    auto* listLayout = new QVBoxLayout(listBox);
    listLayout->setContentsMargins(8, 0, 8, 10);
    SidebarList* layerList = makeList(listBox);
    m_layerList = layerList;
    layerList->chosenRow = [this] {
        const QSet<QUuid>& selection = m_model.controller().selection();
        if (selection.isEmpty())
            return -1;
        for (int row = 0; row < m_layers->rowCount(); ++row) {
            if (selection.contains(m_layers->element(row)->id))
                return row;
        }
        return -1;
    };
    // Walking the list only chooses: the keys stay here, so Delete and
    // Backspace act on a text too. Return or Space opens it for editing.
    layerList->onChoose = [this](int row) {
        if (const VectorElement* element = m_layers->element(row)) {
            m_model.controller().setSelection({element->id});
            m_model.setEditingTextElementID(std::nullopt);
        }
    };
    layerList->onActivate = [this](int row) { selectLayer(row); };
    layerList->buttonCount = [] { return 2; };
    layerList->onPressButton = [this, toggle](int row, int button) {
        toggle(row, button == LayerRowDelegate::kEyeButton);
    };
    // Page Up and Page Down turn the page whose elements are listed.
    layerList->onPageKey = [this](int offset) {
        const VectorController& shown = m_model.controller();
        const qsizetype target = shown.currentPageIndex() + offset;
        if (target >= 0 && target < shown.document().pages.size())
            selectPage(int(target));
    };
    m_layerList->setModel(m_layers);
    m_layerList->setItemDelegate(m_layerDelegate);
    listLayout->addWidget(m_layerList);
    m_layerStack->addWidget(listBox);

    auto* emptyBox = new QWidget;
    auto* emptyLayout = new QVBoxLayout(emptyBox);
    emptyLayout->setContentsMargins(20, 12, 20, 12);
    m_emptyLayers = makeLabel(L("Aucun élément sur cette page.", "No elements on this page."), Theme::font(11),
                              Theme::textFaint(), emptyBox);
    m_emptyLayers->setWordWrap(true);
    m_emptyLayers->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    emptyLayout->addWidget(m_emptyLayers);
    emptyLayout->addStretch(1);
    m_layerStack->addWidget(emptyBox);
    layout->addWidget(m_layerStack, 1);
    return section;
}

void SidebarView::selectPage(int row)
{
    VectorController& controller = m_model.controller();
    controller.setCurrentPageIndex(row);
    controller.setSelection({});
    m_model.setEditingTextElementID(std::nullopt);
}

void SidebarView::movePage(int row, int offset)
{
    VectorController& controller = m_model.controller();
    controller.setCurrentPageIndex(row);
    const qsizetype target = controller.currentPageIndex() + offset;
    if (target >= 0 && target < controller.document().pages.size())
        controller.moveCurrentPage(offset);
}

void SidebarView::movePageTo(int from, int to)
{
    VectorController& controller = m_model.controller();
    controller.setCurrentPageIndex(from);
    if (to >= 0 && to < controller.document().pages.size())
        controller.moveCurrentPage(to - from);
}

void SidebarView::updatePageListHeight()
{
    // Room for every row, at least one, and no more.
    const int rows = std::max(int(m_model.controller().document().pages.size()), 1);
    const QMargins margins = m_pageListBox->layout()->contentsMargins();
    const int rowsHeight = rows * (PageRowDelegate::kRowHeight + PageRowDelegate::kRowSpacing);
    const int listHeight = rowsHeight + margins.bottom() + 2 * m_pageList->frameWidth();
    m_pageListBox->setMinimumHeight(PageRowDelegate::kRowHeight + PageRowDelegate::kRowSpacing + margins.bottom());
    m_pageListBox->setMaximumHeight(listHeight);
    // The section above the list: its top margin, the header and the gap.
    auto* sectionLayout = static_cast<QVBoxLayout*>(m_pageSection->layout());
    const int above = sectionLayout->contentsMargins().top() + m_pageHeaderRow->sizeHint().height()
                      + sectionLayout->spacing();
    m_pageSection->setMaximumHeight(above + listHeight);
}

void SidebarView::selectLayer(int row)
{
    const VectorElement* element = m_layers->element(row);
    if (!element)
        return;
    const QUuid id = element->id;
    const bool isText = element->text() != nullptr;
    m_model.controller().setSelection({id});
    m_model.setEditingTextElementID(isText ? std::optional<QUuid>(id) : std::nullopt);
}

void SidebarView::updatePageHeader()
{
    const qsizetype count = m_model.controller().document().pages.size();
    m_pagesHeader->titleLabel()->setText(QStringLiteral("PAGES (%1)").arg(count));
    m_deleteButton->setEnabled(count >= 2);
}

void SidebarView::updateLayerHeader()
{
    const VectorController& controller = m_model.controller();
    m_layersHeader->titleLabel()->setText(
        L(QStringLiteral("Éléments · Page "), QStringLiteral("Elements · Page ")).toUpper()
        + QString::number(controller.currentPageIndex() + 1));
    const int listed = m_layers->rowCount();
    m_layerCount->setText(QString::number(listed));
    m_layerStack->setCurrentIndex(listed == 0 ? 1 : 0);
}

}  // namespace zelvane
