#pragma once

#include <QWidget>

class QStackedWidget;

namespace zelvane {

class AppModel;
class PageCardsView;
class SinglePageCanvas;

// The canvas: the document in the display mode the application model
// chooses. The single-page mode is the editing surface; the continuous and
// grid modes show the page cards in their own scroll view. Fills whatever
// size it is given.
class CanvasViewportView : public QWidget {
    Q_OBJECT

public:
    explicit CanvasViewportView(AppModel& model, QWidget* parent = nullptr);

    SinglePageCanvas* singlePageCanvas() const { return m_singlePage; }
    // The continuous and grid layouts.
    PageCardsView* pageCards() const { return m_pageCards; }

private:
    void showDisplayMode();

    AppModel& m_model;
    QStackedWidget* m_stack;
    SinglePageCanvas* m_singlePage;
    PageCardsView* m_pageCards;
};

}  // namespace zelvane
