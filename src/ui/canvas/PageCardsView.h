#pragma once

#include "canvas/MultiPageCardView.h"
#include "canvas/render/ImageLRU.h"

#include <QHash>
#include <QList>
#include <QRect>
#include <QScrollArea>
#include <QTimer>
#include <QUuid>

namespace zelvane {

class AppModel;
class VectorSceneRenderCache;

// Every page at once, as cards in one column (continuous mode) or in a grid
// that fits as many 360-point columns as the width takes. Only the cards in
// or near view exist; they are reused as the view scrolls. Thumbnails are
// drawn from the render cache between events, visible cards first, at the
// size they are shown, and kept until their page changes, within the
// budget the window's picture caches share; those of pages no longer in
// the document are let go.
class PageCardsView : public QScrollArea {
    Q_OBJECT

public:
    static constexpr int kOuterPadding = 24;
    static constexpr int kContinuousCardWidth = 620;
    static constexpr int kContinuousSpacing = 22;
    static constexpr int kGridCardWidth = 360;
    static constexpr int kGridSpacing = 20;
    static constexpr qint64 kThumbnailBudgetBytes = 256LL * 1024 * 1024;

    PageCardsView(AppModel& model, VectorSceneRenderCache& cache, QWidget* parent = nullptr);
    explicit PageCardsView(AppModel& model, QWidget* parent = nullptr);

    // Columns of the grid for a view this wide.
    static int gridColumns(double width);
    int columns() const { return m_columns; }
    int cardWidth() const { return m_cardWidth; }
    // Where the card of a page lies in the scrolled content.
    QRect cardRect(qsizetype pageIndex) const { return m_cardRects.value(pageIndex); }
    // The card built for a page, if it is in or near view.
    MultiPageCardView* cardFor(qsizetype pageIndex) const { return m_shown.value(pageIndex); }
    int builtCardCount() const { return int(m_shown.size() + m_spare.size()); }
    // Scrolls so that the card of a page is in view.
    void revealCard(qsizetype pageIndex);

    // Draws every thumbnail still waiting for the cards in view, now.
    void finishThumbnails();
    bool hasPendingThumbnails() const { return !m_pending.isEmpty(); }
    qint64 thumbnailBytes() const { return m_thumbnails.bytes(); }

protected:
    void resizeEvent(QResizeEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;
    void showEvent(QShowEvent* event) override;

private:
    void relayout();
    // Reveals the current page's card on the next turn of the event loop,
    // after the layout of this turn.
    void revealCurrentPageSoon();
    void assignCards();
    void refreshCards();
    // Drops the thumbnails of pages that left the document.
    void forgetGonePages();
    QImage thumbnail(qsizetype pageIndex);
    void renderPending();
    void openPage(qsizetype pageIndex);
    void signPage(qsizetype pageIndex);

    AppModel& m_model;
    VectorSceneRenderCache& m_cache;
    QWidget* m_content;
    int m_columns = 1;
    int m_cardWidth = kGridCardWidth;
    QList<QRect> m_cardRects;
    QTimer m_revealTimer;
    QUuid m_documentID;
    // The bottom of each card's row, never decreasing with the index.
    QList<int> m_rowBottoms;
    QHash<qsizetype, MultiPageCardView*> m_shown;
    QList<MultiPageCardView*> m_spare;
    // By page id: the image, the page's revision (version) and its size in
    // pixels (fullPixels).
    ImageLRU m_thumbnails;
    QList<qsizetype> m_pending;
    QTimer m_renderTimer;
};

}  // namespace zelvane
