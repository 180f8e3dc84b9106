#include "canvas/PageCardsView.h"

#include "DocumentChange.h"
#include "VectorController.h"
#include "appmodel/AppModel.h"
#include "canvas/render/PageThumbnailDrawing.h"
#include "canvas/render/PictureBudget.h"
#include "canvas/render/VectorSceneRenderCache.h"
#include "theme/Theme.h"

#include <QElapsedTimer>
#include <QScrollBar>
#include <QShowEvent>
#include <algorithm>
#include <cmath>

namespace zelvane {

namespace {

// Cards this far above and below the view are built too, so that a scroll
// finds them ready.
constexpr int kBuildMargin = 240;
// Time given to thumbnails between two events, in milliseconds.
constexpr int kThumbnailSliceMs = 12;
constexpr int kCardPadding = 2 * MultiPageCardView::kPadding;

}  // namespace

PageCardsView::PageCardsView(AppModel& model, QWidget* parent)
    : PageCardsView(model, VectorSceneRenderCache::shared(), parent)
{
}

PageCardsView::PageCardsView(AppModel& model, VectorSceneRenderCache& cache, QWidget* parent)
    : QScrollArea(parent), m_model(model), m_cache(cache), m_content(new QWidget),
      m_thumbnails(kThumbnailBudgetBytes, &PictureBudget::shared())
{
    setFrameShape(QFrame::NoFrame);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setWidgetResizable(false);
    QPalette palette = this->palette();
    palette.setColor(QPalette::Window, Theme::background());
    setPalette(palette);
    setAutoFillBackground(true);
    viewport()->setPalette(palette);
    viewport()->setAutoFillBackground(true);
    m_content->setPalette(palette);
    m_content->setAutoFillBackground(true);
    setWidget(m_content);
    verticalScrollBar()->setSingleStep(40);

    m_renderTimer.setSingleShot(true);
    m_renderTimer.setInterval(0);
    connect(&m_renderTimer, &QTimer::timeout, this, &PageCardsView::renderPending);

    // The current page is brought into view once the layout has settled:
    // when the cards are shown, when the mode changes, when the current
    // page changes and when another document comes in.
    m_revealTimer.setSingleShot(true);
    m_revealTimer.setInterval(0);
    connect(&m_revealTimer, &QTimer::timeout, this, [this] {
        if (isVisible())
            revealCard(m_model.controller().currentPageIndex());
    });

    VectorController& controller = m_model.controller();
    m_documentID = controller.document().id;
    connect(&controller, &VectorController::documentChanged, this, [this](const DocumentChange& change) {
        if (change.pageListChanged)
            forgetGonePages();
        const QUuid id = m_model.controller().document().id;
        if (id != m_documentID) {
            m_documentID = id;
            revealCurrentPageSoon();
        }
        if (isVisible())
            relayout();
    });
    connect(&controller, &VectorController::currentPageIndexChanged, this, [this] {
        refreshCards();
        revealCurrentPageSoon();
    });
    connect(&m_model, &AppModel::displayModeChanged, this, [this] {
        revealCurrentPageSoon();
        if (isVisible())
            relayout();
    });
    connect(&m_model, &AppModel::languageChanged, this, [this] {
        for (MultiPageCardView* card : m_shown)
            card->retranslate();
        for (MultiPageCardView* card : std::as_const(m_spare))
            card->retranslate();
    });
}

int PageCardsView::gridColumns(double width)
{
    if (!std::isfinite(width))
        return 1;
    return std::max(1, int(std::floor((width - 28) / 360)));
}

void PageCardsView::showEvent(QShowEvent* event)
{
    QScrollArea::showEvent(event);
    relayout();
    // Not when the window itself comes back from being minimized.
    if (!event->spontaneous())
        revealCurrentPageSoon();
}

void PageCardsView::revealCurrentPageSoon()
{
    if (isVisible())
        m_revealTimer.start();
}

void PageCardsView::resizeEvent(QResizeEvent* event)
{
    QScrollArea::resizeEvent(event);
    relayout();
}

void PageCardsView::scrollContentsBy(int dx, int dy)
{
    QScrollArea::scrollContentsBy(dx, dy);
    assignCards();
}

void PageCardsView::relayout()
{
    const QList<VectorPage>& pages = m_model.controller().document().pages;
    const bool grid = m_model.displayMode() == CanvasDisplayMode::multiPageGrid;
    const int width = std::max(viewport()->width(), 1);
    const int spacing = grid ? kGridSpacing : kContinuousSpacing;
    int cell = 0;
    int contentWidth = 0;
    if (grid) {
        m_columns = gridColumns(width);
        const int available = (width - 2 * kOuterPadding - kGridSpacing * (m_columns - 1)) / m_columns;
        // A narrow column takes a smaller thumbnail rather than overlapping
        // its neighbour.
        m_cardWidth = std::clamp(available - kCardPadding, 120, kGridCardWidth);
        cell = std::max(available, m_cardWidth + kCardPadding);
        contentWidth = std::max(width, 2 * kOuterPadding + m_columns * cell + kGridSpacing * (m_columns - 1));
    } else {
        m_columns = 1;
        m_cardWidth = kContinuousCardWidth;
        contentWidth = std::max(width, 2 * kOuterPadding + m_cardWidth + kCardPadding);
        cell = contentWidth - 2 * kOuterPadding;
    }

    m_cardRects.resize(pages.size());
    m_rowBottoms.resize(pages.size());
    int y = kOuterPadding;
    for (qsizetype row = 0; row < pages.size(); row += m_columns) {
        const qsizetype end = std::min(pages.size(), row + m_columns);
        int rowHeight = 0;
        for (qsizetype i = row; i < end; ++i)
            rowHeight = std::max(rowHeight, MultiPageCardView::cardSize(pages[i], m_cardWidth).height());
        for (qsizetype i = row; i < end; ++i) {
            const QSize size = MultiPageCardView::cardSize(pages[i], m_cardWidth);
            const int column = int(i - row);
            const int x = kOuterPadding + column * (cell + spacing) + (cell - size.width()) / 2;
            m_cardRects[i] = QRect(QPoint(x, y), size);
            m_rowBottoms[i] = y + rowHeight;
        }
        y += rowHeight + spacing;
    }
    const int contentHeight = pages.isEmpty() ? 2 * kOuterPadding : y - spacing + kOuterPadding;
    m_content->resize(contentWidth, contentHeight);
    // Pages may have moved between cards: every card is set again.
    for (MultiPageCardView* card : std::as_const(m_shown)) {
        card->hide();
        m_spare.append(card);
    }
    m_shown.clear();
    m_pending.clear();
    assignCards();
}

void PageCardsView::assignCards()
{
    const QList<VectorPage>& pages = m_model.controller().document().pages;
    if (m_cardRects.size() != pages.size())
        return;
    const int top = verticalScrollBar()->value() - kBuildMargin;
    const int bottom = verticalScrollBar()->value() + viewport()->height() + kBuildMargin;
    qsizetype first = std::lower_bound(m_rowBottoms.cbegin(), m_rowBottoms.cend(), top) - m_rowBottoms.cbegin();
    QSet<qsizetype> wanted;
    for (qsizetype i = first; i < pages.size() && m_cardRects[i].top() <= bottom; ++i)
        wanted.insert(i);
    for (auto it = m_shown.begin(); it != m_shown.end();) {
        if (wanted.contains(it.key())) {
            ++it;
            continue;
        }
        it.value()->hide();
        m_spare.append(it.value());
        it = m_shown.erase(it);
    }
    const qsizetype current = m_model.controller().currentPageIndex();
    for (const qsizetype i : std::as_const(wanted)) {
        if (m_shown.contains(i))
            continue;
        MultiPageCardView* card = nullptr;
        if (!m_spare.isEmpty()) {
            card = m_spare.takeLast();
        } else {
            card = new MultiPageCardView({[this](qsizetype index) { openPage(index); },
                                          [this](qsizetype index) { signPage(index); },
                                          [this](qsizetype index) { return thumbnail(index); }},
                                         m_content);
        }
        card->setPage(pages[i], i, i == current, m_cardWidth);
        card->setGeometry(m_cardRects[i]);
        card->show();
        m_shown.insert(i, card);
    }
}

void PageCardsView::refreshCards()
{
    const QList<VectorPage>& pages = m_model.controller().document().pages;
    const qsizetype current = m_model.controller().currentPageIndex();
    for (auto it = m_shown.cbegin(); it != m_shown.cend(); ++it) {
        if (it.key() < pages.size())
            it.value()->setPage(pages[it.key()], it.key(), it.key() == current, m_cardWidth);
    }
}

void PageCardsView::revealCard(qsizetype pageIndex)
{
    if (pageIndex < 0 || pageIndex >= m_cardRects.size())
        return;
    const QRect rect = m_cardRects[pageIndex];
    ensureVisible(rect.center().x(), rect.center().y(), rect.width() / 2, rect.height() / 2);
    assignCards();
}

QImage PageCardsView::thumbnail(qsizetype pageIndex)
{
    const VectorController& controller = m_model.controller();
    const QList<VectorPage>& pages = controller.document().pages;
    if (pageIndex < 0 || pageIndex >= pages.size())
        return {};
    const VectorPage& page = pages[pageIndex];
    const QSize pixels = (QSizeF(m_cardWidth, MultiPageCardView::thumbnailHeight(page, m_cardWidth))
                          * devicePixelRatioF())
                             .toSize();
    const ImageLRUEntry* kept = m_thumbnails.find(page.id.toRfc4122());
    if (kept && kept->version == controller.pageRevision(pageIndex) && kept->fullPixels == pixels)
        return kept->image;
    if (!m_pending.contains(pageIndex))
        m_pending.append(pageIndex);
    m_renderTimer.start();
    // Until the new one is drawn, the old one stands in.
    return kept ? kept->image : QImage();
}

void PageCardsView::renderPending()
{
    QElapsedTimer clock;
    clock.start();
    const VectorController& controller = m_model.controller();
    const QList<VectorPage>& pages = controller.document().pages;
    while (!m_pending.isEmpty()) {
        const qsizetype index = m_pending.takeFirst();
        MultiPageCardView* card = m_shown.value(index);
        if (!card || index >= pages.size())
            continue;
        const VectorPage& page = pages[index];
        const QSizeF size(m_cardWidth, MultiPageCardView::thumbnailHeight(page, m_cardWidth));
        ImageLRUEntry made;
        made.image = MultiPageCardView::withRoundedCorners(renderPageThumbnail(page, size, devicePixelRatioF(), m_cache));
        made.version = controller.pageRevision(index);
        made.fullPixels = (size * devicePixelRatioF()).toSize();
        m_thumbnails.insert(page.id.toRfc4122(), std::move(made));
        card->thumbnailChanged();
        if (clock.elapsed() >= kThumbnailSliceMs)
            break;
    }
    if (!m_pending.isEmpty())
        m_renderTimer.start();
}

void PageCardsView::forgetGonePages()
{
    QSet<QByteArray> ids;
    for (const VectorPage& page : m_model.controller().document().pages)
        ids.insert(page.id.toRfc4122());
    m_thumbnails.removeIf([&ids](const QByteArray& key, const ImageLRUEntry&) { return !ids.contains(key); });
}

void PageCardsView::finishThumbnails()
{
    for (auto it = m_shown.cbegin(); it != m_shown.cend(); ++it)
        thumbnail(it.key());
    while (!m_pending.isEmpty())
        renderPending();
    m_renderTimer.stop();
}

void PageCardsView::openPage(qsizetype pageIndex)
{
    m_model.controller().setCurrentPageIndex(pageIndex);
    m_model.setDisplayMode(CanvasDisplayMode::singlePage);
}

void PageCardsView::signPage(qsizetype pageIndex)
{
    VectorController& controller = m_model.controller();
    controller.setCurrentPageIndex(pageIndex);
    controller.stampActiveSignature();
}

}  // namespace zelvane
