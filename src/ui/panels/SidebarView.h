#pragma once

#include <QWidget>

class QLabel;
class QListView;
class QStackedWidget;

namespace zelvane {

class AppModel;
class IconButton;
class LayerListModel;
class LayerRowDelegate;
class PageListModel;
class PageRowDelegate;
class PageRowDrag;
class SectionHeader;

// The left panel: the page list and the layer list of the current page.
// It keeps no state of its own: the lists read the controller, and every
// action goes through the controller's page commands or sets its current
// page and selection.
class SidebarView : public QWidget {
    Q_OBJECT

public:
    explicit SidebarView(AppModel& model, QWidget* parent = nullptr);

    QListView* pageList() const { return m_pageList; }
    QListView* layerList() const { return m_layerList; }
    SectionHeader* pagesHeader() const { return m_pagesHeader; }
    SectionHeader* layersHeader() const { return m_layersHeader; }
    QLabel* layerCountLabel() const { return m_layerCount; }
    QLabel* emptyLayersLabel() const { return m_emptyLayers; }
    IconButton* addPageButton() const { return m_addButton; }
    IconButton* duplicatePageButton() const { return m_duplicateButton; }
    IconButton* rotatePageButton() const { return m_rotateButton; }
    IconButton* deletePageButton() const { return m_deleteButton; }
    PageRowDelegate* pageDelegate() const { return m_pageDelegate; }
    LayerRowDelegate* layerDelegate() const { return m_layerDelegate; }
    PageRowDrag* pageDrag() const { return m_pageDrag; }

private:
    QWidget* buildPageSection();
    QWidget* buildLayerSection();
    void selectPage(int row);
    void movePage(int row, int offset);
    // Moves the page of row `from` to row `to` in one step; it stays current.
    void movePageTo(int from, int to);
    void updatePageListHeight();
    void selectLayer(int row);
    void updatePageHeader();
    void updateLayerHeader();

    AppModel& m_model;
    PageListModel* m_pages = nullptr;
    LayerListModel* m_layers = nullptr;
    PageRowDelegate* m_pageDelegate = nullptr;
    LayerRowDelegate* m_layerDelegate = nullptr;
    QListView* m_pageList = nullptr;
    QWidget* m_pageSection = nullptr;
    QWidget* m_pageHeaderRow = nullptr;
    QWidget* m_pageListBox = nullptr;
    PageRowDrag* m_pageDrag = nullptr;
    QListView* m_layerList = nullptr;
    SectionHeader* m_pagesHeader = nullptr;
    SectionHeader* m_layersHeader = nullptr;
    QLabel* m_layerCount = nullptr;
    QLabel* m_emptyLayers = nullptr;
    QStackedWidget* m_layerStack = nullptr;
    IconButton* m_addButton = nullptr;
    IconButton* m_duplicateButton = nullptr;
    IconButton* m_rotateButton = nullptr;
    IconButton* m_deleteButton = nullptr;
};

}  // namespace zelvane
