// How long one frame of the single-page canvas widget takes: an A4 PDF page
// with 200 elements painted offscreen at 1380 x 820, 100 % zoom, after the
// first frame has filled the render cache. Then how many image bytes the cache
// keeps after 300 different pages have been shown, against its bound.
//
// Reference: the core's renderPage() drawing the same page at the same scale
// onto the same image, measured in the same run.

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
using Clock = std::chrono::steady_clock;

namespace {

constexpr QSize kCanvas(1380, 820);
constexpr int kElements = 200;
constexpr int kFrames = 120;
constexpr int kReferenceFrames = 15;
constexpr int kPagesShown = 300;

VectorElement shapeElement(VectorShapeType type, const VectorRect& frame, const QString& stroke,
                           std::optional<QString> fill)
{
    return VectorElement::make(QStringLiteral("Shape"), ShapePayload::make(type, 6, false, false), frame, 0,
                               VectorStyle(stroke, std::move(fill), 1.5, 1, false));
}

VectorElement penPath(double x, double y)
{
    VectorSubpath subpath;
    for (int i = 0; i < 24; ++i)
        subpath.points.append({i / 23.0, 0.5 + 0.45 * std::sin(i * 0.7)});
    return VectorElement::make(QStringLiteral("Path"), PathPayload{{subpath}, false, false, true},
                               VectorRect(x, y, 90, 30), 0,
                               VectorStyle(QStringLiteral("#7A3FD0"), std::nullopt, 1.2, 1, false));
}

VectorElement signature(double x, double y)
{
    QList<VectorStroke> strokes;
    VectorStroke stroke;
    for (int i = 0; i < 40; ++i)
        stroke.append({x + i * 3.0, y + 20 + 12 * std::sin(i * 0.5)});
    strokes.append(stroke);
    return VectorOperations::makeFreehandSignatureElement(strokes, QStringLiteral("Ann Lee"), QStringLiteral("#1E3A8A"));
}

// A busy A4 page: text lines, boxes, ellipses, arrows, pen strokes,
// signatures and stamps spread over the sheet.
VectorPage benchPage(const QByteArray& pdf)
{
    VectorPage page = VectorPage::make(QUuid::createUuid(), QStringLiteral("Bench"), 595.28, 841.89,
                                       QStringLiteral("#FFFFFF"), pdf, 0);
    for (int i = 0; i < kElements; ++i) {
        const double x = 30 + (i % 5) * 110;
        const double y = 30 + (i / 5) * 19.5;
        switch (i % 10) {
        case 0: case 1: case 2: case 3: case 4:
            page.elements.append(VectorOperations::makeTextElement(QStringLiteral("Ligne de texte n° %1").arg(i),
                                                                   {x, y}, 9, QStringLiteral("#111317"), i % 3 == 0));
            break;
        case 5:
            page.elements.append(shapeElement(VectorShapeType::rectangle, VectorRect(x, y, 90, 16),
                                              QStringLiteral("#2563EB"), std::nullopt));
            break;
        case 6:
            page.elements.append(shapeElement(i % 20 == 6 ? VectorShapeType::ellipse : VectorShapeType::arrow,
                                              VectorRect(x, y, 80, 16), QStringLiteral("#DC2626"), std::nullopt));
            break;
        case 7:
            page.elements.append(penPath(x, y));
            break;
        case 8:
            page.elements.append(signature(x, y));
            break;
        default:
            page.elements.append(i % 20 == 9 ? VectorOperations::makeStampElement(VectorStampKind::approved, {x + 60, y})
                                             : shapeElement(VectorShapeType::roundedRectangle, VectorRect(x, y, 90, 16),
                                                            QStringLiteral("#16A34A"), QStringLiteral("#DCFCE7")));
            break;
        }
    }
    return page;
}

double millisecondsOf(const std::function<void()>& work)
{
    const auto start = Clock::now();
    work();
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

VectorDocument documentOf(QList<VectorPage> pages)
{
    return VectorDocument::make(QUuid::createUuid(), QStringLiteral("Bench"), DocumentSourceFormat::pdf, std::nullopt,
                                std::move(pages), 1);
}

}  // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);

    const QByteArray pdf = SyntheticDocument::generateSampleRawPDFData();
    const VectorPage page = benchPage(pdf);
    AppModel model(false, false);
    VectorController& controller = model.controller();
    controller.setDocument(documentOf({page}));
    VectorSceneRenderCache cache;
    SinglePageCanvas canvas(model, cache);
    canvas.resize(kCanvas);
    canvas.show();
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
    std::vector<double> reference;
    for (int i = 0; i < kReferenceFrames; ++i) {
        reference.push_back(millisecondsOf([&] {
            image.fill(QColor(0x11, 0x13, 0x17));
            QPainter painter(&image);
            painter.setTransform(geom.pageToPaneTransform());
            PDFCodec::renderPage(page, painter);
        }));
    }
    const double frame = median(frames);
    const double core = median(reference);
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
