// How fast the canvas answers the pointer and the page cards scroll:
// - one mouse move while an element of the busy A4 PDF page (200 elements)
//   is dragged, the repaint included, at 1380 x 820 (target < 16 ms);
// - one scroll step of a 300-page grid once its thumbnails are kept, the
//   repaint included (target < 16 ms a frame).
//
// References measured in the same run: the core's renderPage() of the same
// page at the same scale for the drag, and drawing one card thumbnail anew
// for the grid.

#include "CanvasBenchPage.h"
#include "VectorController.h"
#include "appmodel/AppModel.h"
#include "canvas/PageCardsView.h"
#include "canvas/SinglePageCanvas.h"
#include "canvas/render/PageThumbnailDrawing.h"
#include "canvas/render/VectorSceneRenderCache.h"
#include "render/PageRenderer.h"
#include "sample/SyntheticDocument.h"

#include <QApplication>
#include <QImage>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <cstdio>

using namespace zelvane;
using namespace zelvane::bench;

namespace {

constexpr QSize kWindow(1380, 820);
constexpr int kMoves = 120;
constexpr int kReferenceFrames = 15;
constexpr int kGridPages = 300;
constexpr int kScrollFrames = 200;

void sendMouse(QWidget& widget, QEvent::Type type, const QPointF& at, Qt::MouseButtons buttons)
{
    QMouseEvent event(type, at, widget.mapToGlobal(at), type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton,
                      buttons, Qt::NoModifier);
    QApplication::sendEvent(&widget, &event);
}

}  // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QByteArray pdf = SyntheticDocument::generateSampleRawPDFData();

    // ---- Dragging one of 200 elements ----------------------------------------
    const VectorPage page = benchPage(pdf);
    BenchCanvas bench(page, kWindow);
    VectorController& controller = bench.model.controller();
    VectorSceneRenderCache& cache = bench.cache;
    SinglePageCanvas& canvas = bench.canvas;
    QApplication::processEvents();
    canvas.repaint();

    const VectorElement& dragged = page.elements[kElements / 2];
    const PageCanvasGeometry geom = canvas.geometry();
    const QPointF start = geom.pageToPane(dragged.frame.center());
    sendMouse(canvas, QEvent::MouseButtonPress, start, Qt::LeftButton);
    canvas.repaint();
    std::vector<double> moves;
    for (int i = 1; i <= kMoves; ++i) {
        const QPointF at = start + QPointF(2.0 * i, std::sin(i * 0.2) * 20);
        moves.push_back(millisecondsOf([&] {
            sendMouse(canvas, QEvent::MouseMove, at, Qt::LeftButton);
            canvas.repaint();
        }));
    }
    sendMouse(canvas, QEvent::MouseButtonRelease, start + QPointF(2.0 * kMoves, 0), Qt::NoButton);
    const bool oneStep = controller.history().undoStack().size() == 1;

    const double move = median(moves);
    const double core = referenceRenderMilliseconds(page, geom.pageToPaneTransform(), kWindow, kReferenceFrames);
    std::printf("drag: one move of 1 of %d elements on an A4 PDF page at %dx%d, repaint included: median %.2f ms, "
                "worst %.2f ms (target < 16 ms)%s\n",
                kElements, kWindow.width(), kWindow.height(), move, *std::max_element(moves.begin(), moves.end()),
                oneStep ? "" : " [FAULT: not one undo step]");
    std::printf("  reference renderPage() of the same page: median %.2f ms; move/reference = %.3f\n", core,
                move / core);

    // ---- Scrolling a 300-page grid -------------------------------------------
    QList<VectorPage> pages;
    for (int i = 0; i < kGridPages; ++i) {
        VectorPage one = page;
        one.id = QUuid::createUuid();
        one.title = QStringLiteral("Page %1").arg(i + 1);
        one.elements = page.elements.mid(0, 40);
        pages.append(one);
    }
    AppModel gridModel(false, false);
    gridModel.controller().setDocument(documentOf(pages));
    gridModel.setDisplayMode(CanvasDisplayMode::multiPageGrid);
    PageCardsView cards(gridModel, cache);
    cards.resize(kWindow);
    cards.show();
    QApplication::processEvents();
    QScrollBar& bar = *cards.verticalScrollBar();
    // Every thumbnail drawn once, as a first scroll through would.
    const auto fill = Clock::now();
    for (int y = 0; y <= bar.maximum(); y += cards.viewport()->height() / 2) {
        bar.setValue(y);
        cards.finishThumbnails();
    }
    bar.setValue(bar.maximum());
    cards.finishThumbnails();
    const double fillSeconds = std::chrono::duration<double>(Clock::now() - fill).count();
    bar.setValue(0);
    cards.repaint();

    std::vector<double> scrolls;
    // Three wheel lines a frame.
    const int step = 120;
    int y = 0;
    int direction = 1;
    for (int i = 0; i < kScrollFrames; ++i) {
        if (y + step * direction > bar.maximum() || y + step * direction < 0)
            direction = -direction;
        y += step * direction;
        y = std::clamp(y, 0, bar.maximum());
        scrolls.push_back(millisecondsOf([&] {
            bar.setValue(y);
            cards.repaint();
        }));
    }
    const bool stillKept = !cards.hasPendingThumbnails();

    std::vector<double> thumbnails;
    const QSizeF thumbSize(cards.cardWidth(), MultiPageCardView::thumbnailHeight(page, cards.cardWidth()));
    for (int i = 0; i < kReferenceFrames; ++i) {
        thumbnails.push_back(millisecondsOf([&] { renderPageThumbnail(pages[i], thumbSize, 1, cache); }));
    }
    const double scroll = median(scrolls);
    const double thumb = median(thumbnails);
    std::printf("grid: %d pages (%d columns), thumbnails kept (first drawing of all: %.1f s): one scroll frame "
                "median %.2f ms, worst %.2f ms (target < 16 ms)%s\n",
                kGridPages, cards.columns(), fillSeconds, scroll, *std::max_element(scrolls.begin(), scrolls.end()),
                stillKept ? "" : " [thumbnails were drawn again]");
    std::printf("  reference: drawing one card thumbnail anew: median %.2f ms; frame/reference = %.3f\n", thumb,
                scroll / thumb);
    return oneStep ? 0 : 1;
}
