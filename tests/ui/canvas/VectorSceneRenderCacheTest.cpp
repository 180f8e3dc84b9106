#include "CanvasTestSupport.h"
#include "canvas/render/SceneDrawing.h"
#include "canvas/render/VectorSceneRenderCache.h"
#include "core/support/TestPDF.h"
#include "operations/VectorOperations.h"
#include "render/PageRenderer.h"

#include <QBuffer>
#include <QPainter>
#include <cmath>

using namespace zelvane;
using namespace zelvane::testing;

namespace {

VectorElement shapeElement(VectorShapeType type, VectorRect frame, double strokeWidth = 1)
{
    VectorElement e = VectorElement::make(QStringLiteral("shape"), ShapePayload::make(type, 0, false, false), frame,
                                          0, VectorStyle(QStringLiteral("#FF0000"), std::nullopt, strokeWidth, 1, false));
    return e;
}

// A page of a PDF whose left half is red and right half blue, so that any
// turn or stretch shows.
QByteArray twoColourPDF()
{
    TestPDFPage page;
    page.mediaBox = QRectF(0, 0, 200, 100);
    page.fills = {{QRectF(0, 0, 100, 100), Qt::red}, {QRectF(100, 0, 100, 100), Qt::blue}};
    return makeTestPDF({page});
}

VectorPage pdfPage(const QByteArray& pdf, qint64 index = 0)
{
    return VectorPage::make(QUuid::createUuid(), QStringLiteral("PDF"), 200, 100, QStringLiteral("#FFFFFF"), pdf,
                            index);
}

// The page drawn onto an image of its own size in points at `scale` pixels
// per point, through the canvas: backdrop only.
QImage canvasBackdrop(VectorSceneRenderCache& cache, const VectorPage& page, double scale)
{
    QImage image = blankImage(QSize(int(std::round(page.width * scale)), int(std::round(page.height * scale))));
    const PageCanvasGeometry geom{QSizeF(page.width * scale, page.height * scale), page.width, page.height, 1, {}, 0};
    const auto tiles = cache.backdropImages(page, geom.scale(), QRectF(0, 0, page.width, page.height),
                                            VectorSceneRenderCache::BackdropWait::exact);
    QPainter painter(&image);
    drawSinglePageScene(painter, page, geom, {}, tiles, {}, cache);
    return image;
}

QImage coreRender(const VectorPage& page, double scale)
{
    QImage image = blankImage(QSize(int(std::round(page.width * scale)), int(std::round(page.height * scale))));
    QPainter painter(&image);
    painter.scale(scale, scale);
    PDFCodec::renderPage(page, painter);
    return image;
}

// An uncompressed 32 x 32 picture whose middle rows take `middle`: the same
// length, header and first and last 64 bytes whatever the middle colour.
QByteArray bmpWithMiddle(const QColor& middle)
{
    QImage image(32, 32, QImage::Format_RGB888);
    image.fill(Qt::white);
    for (int y = 10; y < 22; ++y)
        for (int x = 0; x < 32; ++x)
            image.setPixelColor(x, y, middle);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "BMP");
    return bytes;
}

}  // namespace

class VectorSceneRenderCacheTest : public CanvasTest {};

TEST_F(VectorSceneRenderCacheTest, OutlinesFollowContentEvenWhenTheRevisionRepeats)
{
    VectorSceneRenderCache cache;
    VectorPage page = blankPage();
    page.elements = {shapeElement(VectorShapeType::rectangle, VectorRect(10, 10, 20, 20))};
    const QUuid id = page.elements[0].id;
    EXPECT_EQ(cache.geometries(page, 1)[id].path->boundingRect(), QRectF(10, 10, 20, 20));

    // An undo or a file opened again brings back revision 1 with other content.
    VectorPage moved = page;
    moved.elements[0].frame = VectorRect(60, 40, 20, 20);
    EXPECT_EQ(cache.geometries(moved, 1)[id].path->boundingRect(), QRectF(60, 40, 20, 20));
    EXPECT_EQ(cache.geometries(moved, 1)[id].frame, VectorRect(60, 40, 20, 20));

    // Another page in between, then the first one again.
    VectorPage other = blankPage();
    EXPECT_TRUE(cache.geometries(other, 1).isEmpty());
    EXPECT_EQ(cache.geometries(page, 1)[id].path->boundingRect(), QRectF(10, 10, 20, 20));
}

TEST_F(VectorSceneRenderCacheTest, LinesRunBottomLeftToTopRightWithTheirHeads)
{
    const VectorRect frame(10, 20, 100, 50);
    auto [line, noHeads] = VectorSceneRenderCache::buildPageSpacePath(shapeElement(VectorShapeType::line, frame));
    ASSERT_TRUE(line);
    EXPECT_EQ(line->elementAt(0), QPointF(10, 70));
    EXPECT_EQ(line->elementAt(1), QPointF(110, 20));
    EXPECT_FALSE(noHeads);

    // An arrow always has its end head; the barbs are max(4 x width, 8) long.
    for (const auto& [width, size] : {std::pair{1.0, 8.0}, std::pair{3.0, 12.0}}) {
        const auto [shaft, heads] =
            VectorSceneRenderCache::buildPageSpacePath(shapeElement(VectorShapeType::arrow, frame, width));
        ASSERT_TRUE(heads);
        const QPointF tip = heads->elementAt(0);
        const QPointF barb = heads->elementAt(1);
        EXPECT_EQ(tip, QPointF(110, 20));
        EXPECT_NEAR(std::hypot(tip.x() - barb.x(), tip.y() - barb.y()), size, 1e-9);
    }
    // Even with End Arrow turned off, as the exports draw it.
    VectorElement unticked = shapeElement(VectorShapeType::arrow, frame);
    std::get<ShapePayload>(unticked.kind).endArrow = false;
    const auto [untickedShaft, untickedHeads] = VectorSceneRenderCache::buildPageSpacePath(unticked);
    ASSERT_TRUE(untickedHeads);
    EXPECT_EQ(untickedHeads->elementAt(0), QPointF(110, 20));

    VectorElement rounded = shapeElement(VectorShapeType::roundedRectangle, VectorRect(0, 0, 40, 20));
    std::get<ShapePayload>(rounded.kind).cornerRadius = 50;
    const auto [roundedPath, none] = VectorSceneRenderCache::buildPageSpacePath(rounded);
    // Half the shorter side: the ends are half circles, so the middle of the
    // left side is reached.
    EXPECT_TRUE(roundedPath->contains(QPointF(0.5, 10)));
    EXPECT_FALSE(roundedPath->contains(QPointF(1, 1)));
}

TEST_F(VectorSceneRenderCacheTest, OutlinesOfUnreadableFramesAndPointsAreLeftOut)
{
    const double nan = std::numeric_limits<double>::quiet_NaN();
    VectorElement bad = shapeElement(VectorShapeType::rectangle, VectorRect(0, 0, 10, 10));
    bad.frame.width = nan;
    EXPECT_FALSE(VectorSceneRenderCache::buildPageSpacePath(bad).first);

    VectorElement path = VectorElement::make(
        QStringLiteral("pen"),
        PathPayload{{VectorSubpath{{VectorPoint{0, 0}, VectorPoint{nan, 1}, VectorPoint{1, 1}}, false}}}, VectorRect(0, 0, 10, 10), 0,
        VectorStyle::defaultInk());
    const auto [outline, heads] = VectorSceneRenderCache::buildPageSpacePath(path);
    ASSERT_TRUE(outline);
    EXPECT_EQ(outline->elementCount(), 2);
}

TEST_F(VectorSceneRenderCacheTest, ArtworkWithTheSameEndsButOtherContentIsNotConfused)
{
    VectorSceneRenderCache cache;
    const QByteArray red = bmpWithMiddle(Qt::red);
    const QByteArray blue = bmpWithMiddle(Qt::blue);
    ASSERT_EQ(red.size(), blue.size());
    ASSERT_EQ(red.left(64), blue.left(64));
    ASSERT_EQ(red.right(64), blue.right(64));

    const QImage first = cache.assetImage(red, QStringLiteral("bmp"), false);
    const QImage second = cache.assetImage(blue, QStringLiteral("bmp"), false);
    ASSERT_FALSE(first.isNull());
    ASSERT_FALSE(second.isNull());
    const QPoint middle(first.width() / 2, first.height() / 2);
    EXPECT_TRUE(colorNear(first.pixel(middle), Qt::red));
    EXPECT_TRUE(colorNear(second.pixel(middle), Qt::blue));
    // The same bytes again come from the store.
    EXPECT_EQ(cache.assetImage(red, QStringLiteral("bmp"), false).cacheKey(), first.cacheKey());
    EXPECT_TRUE(cache.assetImage(QByteArray("not an image"), std::nullopt, false).isNull());
}

TEST_F(VectorSceneRenderCacheTest, ATurnedPageGetsATurnedBackdrop)
{
    VectorSceneRenderCache cache;
    VectorDocument document = VectorDocument::make(QUuid::createUuid(), QStringLiteral("d"),
                                                   DocumentSourceFormat::pdf, std::nullopt, {pdfPage(twoColourPDF())}, 1);
    const QImage before = canvasBackdrop(cache, document.pages[0], 2);
    EXPECT_TRUE(colorNear(before.pixel(40, 100), Qt::red));

    // Turning keeps the page id: the raster must not be the old one stretched.
    VectorOperations::rotatePage(document, 0, true);
    const VectorPage& turned = document.pages[0];
    ASSERT_EQ(turned.width, 100);
    const QImage canvas = canvasBackdrop(cache, turned, 2);
    const QImage core = coreRender(turned, 2);
    ASSERT_EQ(canvas.size(), core.size());
    for (const QPoint p : {QPoint(100, 40), QPoint(100, 360), QPoint(20, 200), QPoint(180, 200)})
        EXPECT_TRUE(colorNear(canvas.pixel(p), QColor(core.pixel(p)))) << p.x() << "," << p.y();
    EXPECT_TRUE(colorNear(canvas.pixel(100, 40), Qt::red));
    EXPECT_TRUE(colorNear(canvas.pixel(100, 360), Qt::blue));
}

namespace {

// What the screen shows of a page's backdrop once the worker has delivered:
// a PDF not yet opened on the main thread is first rendered there.
QList<BackdropTile> settled(VectorSceneRenderCache& cache, const VectorPage& page, double pixelsPerPoint,
                            const QRectF& visible)
{
    QList<BackdropTile> tiles = cache.backdropImages(page, pixelsPerPoint, visible);
    if (tiles.isEmpty()) {
        cache.waitForBackdropWorker();
        tiles = cache.backdropImages(page, pixelsPerPoint, visible);
    }
    return tiles;
}

}  // namespace

TEST_F(VectorSceneRenderCacheTest, APDFNotYetOpenHereIsOpenedAndFirstRenderedOnTheWorker)
{
    VectorSceneRenderCache cache;
    const VectorPage page = pdfPage(twoColourPDF());
    const QRectF all(0, 0, 200, 100);
    int ready = 0;
    QObject::connect(&cache, &VectorSceneRenderCache::backdropReady, [&ready] { ++ready; });
    // On screen nothing waits for the file to be opened: the sheet shows its
    // colour until the worker delivers.
    EXPECT_TRUE(cache.backdropImages(page, 1, all).isEmpty());
    cache.waitForBackdropWorker();
    EXPECT_EQ(ready, 1);
    const auto tiles = cache.backdropImages(page, 1, all);
    ASSERT_EQ(tiles.size(), 1);
    EXPECT_EQ(tiles[0].image.size(), QSize(200, 100));
    // The file is open here now: another page of it is rendered at once.
    const VectorPage other = pdfPage(page.pdfPageData.value(), 0);
    VectorPage wider = other;
    wider.width = 400;
    EXPECT_EQ(cache.backdropImages(wider, 1, QRectF(0, 0, 400, 100)).size(), 1);
    // Waiting for the raster (a snapshot) still renders on the spot.
    VectorSceneRenderCache fresh;
    EXPECT_EQ(fresh.backdropImages(page, 1, all, VectorSceneRenderCache::BackdropWait::exact).size(), 1);
}

TEST_F(VectorSceneRenderCacheTest, UnreadablePDFsAndMissingPagesGiveNoBackdrop)
{
    VectorSceneRenderCache cache;
    const QRectF all(0, 0, 200, 100);
    EXPECT_TRUE(cache.backdropImages(blankPage(), 1, all).isEmpty());
    EXPECT_TRUE(settled(cache, pdfPage(QByteArray("%PDF-1.4 garbage")), 1, all).isEmpty());
    EXPECT_TRUE(settled(cache, pdfPage(twoColourPDF(), 3), 1, all).isEmpty());
    // A negative index reads the first page.
    const auto tiles = settled(cache, pdfPage(twoColourPDF(), -2), 1, all);
    ASSERT_EQ(tiles.size(), 1);
    EXPECT_EQ(tiles[0].image.size(), QSize(200, 100));
    EXPECT_TRUE(settled(cache, pdfPage(twoColourPDF()), std::nan(""), all).isEmpty());
}

TEST_F(VectorSceneRenderCacheTest, ANewZoomDrawsTheOldRasterUntilTheWorkerDelivers)
{
    VectorSceneRenderCache cache;
    const VectorPage page = pdfPage(twoColourPDF());
    const QRectF all(0, 0, 200, 100);
    ASSERT_EQ(settled(cache, page, 1, all)[0].image.width(), 200);

    int ready = 0;
    QObject::connect(&cache, &VectorSceneRenderCache::backdropReady, [&ready] { ++ready; });
    const auto stale = cache.backdropImages(page, 3, all);
    ASSERT_EQ(stale.size(), 1);
    EXPECT_EQ(stale[0].image.width(), 200);
    EXPECT_EQ(stale[0].pageRect, all);

    cache.waitForBackdropWorker();
    EXPECT_EQ(ready, 1);
    EXPECT_EQ(cache.backdropImages(page, 3, all)[0].image.width(), 600);

    // Requests overtaken by a newer one are dropped.
    cache.backdropImages(page, 2, all);
    cache.backdropImages(page, 2.5, all);
    cache.waitForBackdropWorker();
    EXPECT_EQ(ready, 2);
    EXPECT_EQ(cache.backdropImages(page, 2.5, all)[0].image.width(), 500);
}

TEST_F(VectorSceneRenderCacheTest, HugePagesGetACappedOverviewAndASharpVisiblePart)
{
    VectorSceneRenderCache cache;
    VectorPage page = pdfPage(twoColourPDF());
    page.width = 20000;
    page.height = 10000;
    const QRectF visible(9800, 4900, 400, 200);
    const auto tiles = cache.backdropImages(page, 1, visible, VectorSceneRenderCache::BackdropWait::exact);
    ASSERT_EQ(tiles.size(), 2);
    EXPECT_EQ(std::max(tiles[0].image.width(), tiles[0].image.height()),
              VectorSceneRenderCache::kOverviewBackdropSide);
    EXPECT_TRUE(tiles[1].pageRect.contains(visible));
    EXPECT_LE(tiles[1].image.width(), 400 + 2 * 256 + 2);
    // Left of the middle is red, right of it blue.
    const QImage& sharp = tiles[1].image;
    EXPECT_TRUE(colorNear(sharp.pixel(int(100 - tiles[1].pageRect.x() + 9800), sharp.height() / 2), Qt::red));
    EXPECT_TRUE(colorNear(sharp.pixel(int(300 - tiles[1].pageRect.x() + 9800), sharp.height() / 2), Qt::blue));

    // Absurd sides give nothing rather than a huge allocation.
    page.width = 1e300;
    EXPECT_TRUE(cache.backdropImages(page, 1, visible).isEmpty());
}

TEST_F(VectorSceneRenderCacheTest, ImageBytesStayWithinTheBudget)
{
    const qint64 budget = 2 * 1024 * 1024;
    VectorSceneRenderCache cache(budget);
    const QByteArray pdf = twoColourPDF();
    for (int i = 0; i < 60; ++i) {
        // Every page its own PDF bytes, as after opening many files.
        const QByteArray copy(pdf.constData(), pdf.size());
        const auto tiles = settled(cache, pdfPage(copy), 2, QRectF(0, 0, 200, 100));
        ASSERT_EQ(tiles.size(), 1);
        EXPECT_LE(cache.imageBytes(), budget);
    }
    EXPECT_GT(cache.imageBytes(), budget / 2);
}

TEST_F(VectorSceneRenderCacheTest, AReplacedDocumentLeavesNoBackdropBehind)
{
    VectorSceneRenderCache cache;
    const QByteArray pdf = twoColourPDF();
    const QByteArray other(pdf.constData(), pdf.size());
    const VectorPage kept = pdfPage(pdf);
    const VectorPage replaced = pdfPage(other);
    ASSERT_EQ(cache.backdropImages(kept, 1, QRectF(0, 0, 200, 100), VectorSceneRenderCache::BackdropWait::exact).size(), 1);
    const qint64 one = cache.imageBytes();
    ASSERT_EQ(cache.backdropImages(replaced, 2, QRectF(0, 0, 200, 100), VectorSceneRenderCache::BackdropWait::exact).size(),
              1);
    ASSERT_GT(cache.imageBytes(), one);
    // Unreadable bytes are remembered as such; they go with their document.
    VectorPage broken = pdfPage(QByteArray("%PDF-1.4 not really"));
    EXPECT_TRUE(cache.backdropImages(broken, 1, QRectF(0, 0, 200, 100), VectorSceneRenderCache::BackdropWait::exact).isEmpty());

    cache.releaseOtherDocuments({kept});
    EXPECT_EQ(cache.imageBytes(), one);
    // What is kept still serves, and the released page is made again.
    const auto tiles = cache.backdropImages(kept, 1, QRectF(0, 0, 200, 100), VectorSceneRenderCache::BackdropWait::exact);
    ASSERT_EQ(tiles.size(), 1);
    EXPECT_EQ(cache.imageBytes(), one);
    EXPECT_EQ(cache.backdropImages(replaced, 2, QRectF(0, 0, 200, 100), VectorSceneRenderCache::BackdropWait::exact).size(),
              1);
    cache.releaseOtherDocuments({});
    EXPECT_EQ(cache.imageBytes(), 0);
}

// The outlines of a page of very many elements are built over several
// calls; an edit at every call (a drag while the page is still being built)
// keeps what was built, so the build still ends.
TEST_F(VectorSceneRenderCacheTest, AnEditDuringTheBuildOfManyOutlinesKeepsWhatWasBuilt)
{
    VectorSceneRenderCache cache;
    VectorPage page = blankPage(2000, 2000);
    constexpr int kCount = 400000;
    page.elements.reserve(kCount);
    for (int i = 0; i < kCount; ++i)
        page.elements.append(shapeElement(VectorShapeType::rectangle, VectorRect(i % 1000 * 2, i / 1000 * 2, 1.5, 1.5)));
    quint64 revision = 1;
    cache.geometries(page, revision);
    ASSERT_TRUE(cache.hasUnfinishedSheet());
    int calls = 1;
    for (; cache.hasUnfinishedSheet() && calls < 1000; ++calls) {
        page.elements[calls % 7].frame.x += 1;
        cache.geometries(page, ++revision);
    }
    EXPECT_FALSE(cache.hasUnfinishedSheet());
    const ElementGeometries& built = cache.geometries(page, revision);
    ASSERT_EQ(built.size(), kCount);
    for (int i = 0; i < 7; ++i) {
        const VectorElement& element = page.elements.at(i);
        EXPECT_EQ(built.value(element.id).path->boundingRect(), element.frame.toQRectF());
    }
}
