// How long one frame of the single-page canvas widget takes: an A4 PDF page
// with 200 elements painted offscreen at 1380 x 820, 100 % zoom, after the
// first frame has filled the render cache. Then how many image bytes the cache
// keeps after 300 different pages have been shown, against its bound.
//
// Reference: the core's renderPage() drawing the same page at the same scale
// onto the same image, measured in the same run.

#include "CanvasBenchPage.h"
#include "VectorController.h"
#include "appmodel/AppModel.h"
#include "canvas/SinglePageCanvas.h"
#include "canvas/render/VectorSceneRenderCache.h"
#include "operations/VectorOperations.h"
#include "render/PageRenderer.h"
#include "sample/SyntheticDocument.h"

#include <QApplication>
#include <QImage>
#include <QPainter>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <vector>

using namespace zelvane;

namespace {

constexpr QSize kCanvas(1380, 820);
constexpr int kFrames = 120;
constexpr int kReferenceFrames = 15;
constexpr int kPagesShown = 300;

}  // namespace

using namespace zelvane::bench;

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);

    const QByteArray pdf = SyntheticDocument::generateSampleRawPDFData();
    const VectorPage page = benchPage(pdf);
    BenchCanvas bench(page, kCanvas);
    VectorController& controller = bench.model.controller();
    VectorSceneRenderCache& cache = bench.cache;
    SinglePageCanvas& canvas = bench.canvas;
    QImage image(kCanvas, QImage::Format_ARGB32_Premultiplied);
    auto paint = [&] { canvas.render(&image); };

    const double first = millisecondsOf(paint);
    std::vector<double> frames;
    for (int i = 0; i < kFrames; ++i)
        frames.push_back(millisecondsOf(paint));

    // A drag: one element moves at every frame, so the page's content is
    // drawn anew each time.
    VectorDocument dragged = controller.document();
    std::vector<double> dragFrames;
    for (int i = 0; i < kFrames / 2; ++i) {
        dragged.pages[0].elements[kElements / 2].frame.x += 1;
        controller.setDocument(dragged);
        dragFrames.push_back(millisecondsOf(paint));
    }

    const PageCanvasGeometry geom = canvas.geometry();
    const double core = referenceRenderMilliseconds(page, geom.pageToPaneTransform(), kCanvas, kReferenceFrames);
    const double frame = median(frames);
    const double drag = median(dragFrames);
    std::printf("canvas frame, A4 PDF page + %d elements at %dx%d, 100 %% zoom: first %.2f ms, median %.2f ms "
                "(target < 8 ms)\n",
                kElements, kCanvas.width(), kCanvas.height(), first, frame);
    std::printf("  reference renderPage() of the same page at the same scale: median %.2f ms; canvas/reference = "
                "%.3f\n",
                core, frame / core);
    std::printf("  frame while an element is dragged (content drawn anew): median %.2f ms; drag/reference = %.3f\n",
                drag, drag / core);

    // Many pages shown one after the other, each with its own PDF bytes (as
    // after opening many files): the cache stays within its bound.
    QList<VectorPage> many;
    for (int i = 0; i < kPagesShown; ++i)
        many.append(VectorPage::make(QUuid::createUuid(), QStringLiteral("Page %1").arg(i + 1), 595.28, 841.89,
                                     QStringLiteral("#FFFFFF"), QByteArray(pdf.constData(), pdf.size()), i % 2));
    controller.setDocument(documentOf(many));
    for (int i = 0; i < kPagesShown; ++i) {
        controller.setCurrentPageIndex(i);
        paint();
    }
    std::printf("render cache after %d pages: %.1f MiB of images, bound %.1f MiB (%.0f %% of it)\n", kPagesShown,
                cache.imageBytes() / 1048576.0, cache.imageBudgetBytes() / 1048576.0,
                100.0 * cache.imageBytes() / cache.imageBudgetBytes());
    return cache.imageBytes() <= cache.imageBudgetBytes() ? 0 : 1;
}
