#pragma once

#include "ElementInk.h"
#include "ImageLRU.h"
#include "SheetLayer.h"
#include "TextLayoutCache.h"
#include "fonts/PrintedLinePlacement.h"
#include "model/VectorPage.h"

#include <QHash>
#include <QImage>
#include <QList>
#include <QObject>
#include <QPainterPath>
#include <QRectF>
#include <QThreadPool>
#include <QUuid>
#include <atomic>
#include <memory>
#include <optional>

namespace zelvane {

class PDFCancel;
class PDFDocument;
class PictureBudget;

// One element's outline in page points, built once per page content and
// only transformed when drawn.
struct CachedElementGeometry {
    QUuid id;
    // The element's frame when the entry was built.
    VectorRect frame;
    // Signatures, paths and shapes; text and stamps have none.
    std::optional<QPainterPath> path;
    // The filled heads of line and arrow shapes.
    std::optional<QPainterPath> arrowHeadPath;
};

using ElementGeometries = QHash<QUuid, CachedElementGeometry>;

// An opaque raster of a page's PDF backdrop, in the page's own orientation
// (quarter turns already applied), covering `pageRect` in page points.
struct BackdropTile {
    QImage image;
    QRectF pageRect;
};

// The costly intermediate results of drawing, kept across frames on the
// main thread: the outlines of one page's elements, PDF backdrops rendered
// at the size the screen needs, and decoded signature and stamp artwork.
// Images live in one least-recently-used store bounded in bytes; their keys
// hold on to the bytes they were made from, so a key can never stand for
// other content. Backdrops at a new zoom are rendered on a worker thread
// (with its own PDF document) while the nearest older raster is drawn
// scaled; results that a newer request has overtaken are dropped.
class VectorSceneRenderCache : public QObject {
    Q_OBJECT

public:
    static constexpr qint64 kDefaultImageBudgetBytes = 192LL * 1024 * 1024;
    // A whole-page backdrop is rendered while its longer side stays within
    // this many pixels; past it the whole page is kept at a lower resolution
    // and only the visible part is rendered sharp.
    static constexpr int kMaxBackdropSide = 4096;
    static constexpr int kOverviewBackdropSide = 2048;
    // Artwork is decoded to at most this many pixels on its longer side.
    static constexpr int kAssetTargetDimension = 720;
    // A backdrop still being drawn after this long is given up: what was
    // drawn by then is shown and backdropCutShort() says so.
    static constexpr int kDrawingBoundMs = 5000;

    // Images are held within `imageBudgetBytes` and, with `sharedBudget`,
    // within that budget of all the window's picture caches too.
    explicit VectorSceneRenderCache(qint64 imageBudgetBytes = kDefaultImageBudgetBytes, QObject* parent = nullptr,
                                    PictureBudget* sharedBudget = nullptr);
    ~VectorSceneRenderCache() override;

    // The process-wide cache of the window's views.
    static VectorSceneRenderCache& shared();

    // Drops the queued backdrops and waits for the one being drawn; with a
    // timeout, at most that long (false when it is still being drawn).
    void stopBackdropWorker();
    bool stopBackdropWorker(int timeoutMs);

    // The outlines of the page's elements by element id, rebuilt when the
    // page, its content revision (the controller's pageRevision(), which
    // never repeats) or its element list differs from the last call. Only
    // one page is held.
    const ElementGeometries& geometries(const VectorPage& page, quint64 contentRevision);

    enum class BackdropWait {
        // A raster at another resolution may stand in while the right one
        // is rendered on the worker (backdropReady() says when).
        allowStale,
        // Render what is missing now (snapshots and tests).
        exact,
    };
    // The rasters to draw for the page's backdrop, in order, each over the
    // previous: the whole page, then sharper visible parts when zoomed far
    // in. `pixelsPerPoint` is the device pixels per page point wanted and
    // `visiblePageRect` the page area on screen. Empty for a page without
    // PDF data or whose PDF or page cannot be read.
    QList<BackdropTile> backdropImages(const VectorPage& page, double pixelsPerPoint, const QRectF& visiblePageRect,
                                       BackdropWait wait = BackdropWait::allowStale);

    // The decoded artwork of a signature or stamp; a null image when the
    // bytes cannot be decoded.
    QImage assetImage(const QByteArray& data, const std::optional<QString>& ext, bool removeWhiteBackground);

    // An element's outline and arrow heads in page points.
    static std::pair<std::optional<QPainterPath>, std::optional<QPainterPath>> buildPageSpacePath(
        const VectorElement& element);
    // The same as the entry geometries() keeps for it.
    static CachedElementGeometry buildGeometry(const VectorElement& element);

    // How the page's PDF printed the line a changed PDF text element was
    // made from, as the export draws it (PDFCodec::printedLineFor); null
    // when the element is not drawn over a printed line. Looked up once per
    // element, text and backdrop page: the backdrop's text is not read
    // again until one of them changes.
    const PDFCodec::PrintedLine* printedLine(const VectorPage& page, const VectorElement& element);

    // Where the elements of one block of a page's element list may paint,
    // all together, and whether any of them is PDF text: looked up by the
    // block's storage, so that a scene redrawing a small part of a large
    // page passes over the blocks that cannot reach it. The block is held
    // meanwhile, so that its storage cannot come to hold other elements.
    struct BlockInk {
        QList<VectorElement> block;
        ElementInk ink;
        bool hasPDFText = false;
    };
    const BlockInk& blockInk(const ElementList& elements, qsizetype block);

    // Where the elements whose ids are in `selection` lie in `elements`, in
    // list order (the scene draws their frames): found again only where the
    // list or the selection changed since the last call, as long as the
    // list is the one whose outlines are held and its ids are its own.
    const QList<qsizetype>& selectedPlaces(const ElementList& elements, const QSet<QUuid>& selection);

    // Laid-out text of elements, badges and labels.
    TextLayoutCache& textLayouts() { return m_textLayouts; }
    // Fonts may have changed (another document was opened): text is laid
    // out again.
    void forgetFonts() { m_textLayouts.forgetFonts(); }
    // Lets go of everything made for pages whose PDF is none of these
    // pages' (a document that was replaced): its backdrops, its opened PDF,
    // its printed lines, the outlines and kept sheet drawings.
    void releaseOtherDocuments(const QList<VectorPage>& pages);

    // The last frame's sheet content, for the scene drawing: the whole
    // sheet, or what lies under and over the elements being dragged.
    enum class SheetPart { whole, underLive, overLive };
    SheetLayer& sheetLayer(SheetPart part = SheetPart::whole) { return m_sheetLayers[int(part)]; }
    LiveLayer& liveLayer() { return m_liveLayer; }
    // A sheet layer was left drawn in part by the last frame, or the
    // outlines of the page are not all built yet: another frame will
    // carry on.
    bool hasUnfinishedSheet() const;

    // How long a backdrop may be drawn (kDrawingBoundMs unless set).
    void setDrawingBoundMs(int milliseconds) { m_drawingBoundMs.store(milliseconds); }
    int drawingBoundMs() const { return m_drawingBoundMs.load(); }

    qint64 imageBytes() const { return m_images.bytes(); }
    qint64 imageBudgetBytes() const { return m_images.budget(); }
    // Waits until the worker has nothing left to do, then delivers what it
    // made (for tests and benchmarks).
    void waitForBackdropWorker();

    // What a backdrop raster is made from (defined with the cache).
    struct BackdropSource;
    // The PDF last opened by one thread of the cache, kept for its next
    // page. Each thread has its own: PDF documents are not thread-safe.
    struct OpenedPDF {
        QByteArray data;
        std::shared_ptr<PDFDocument> document;
        // Set when a drawing of the document runs past the bound; the
        // document is then opened again for the next one.
        std::shared_ptr<PDFCancel> cancel;
    };

signals:
    // A backdrop rendered on the worker has been stored: views redraw.
    void backdropReady();
    // A backdrop ran past the drawing bound: it was stored as far as it
    // had been drawn.
    void backdropCutShort();

private:

    std::optional<BackdropTile> findBackdrop(const BackdropSource& source, const QSize& fullPixels,
                                             const QRect& pixelRect) const;
    std::optional<BackdropTile> nearestBackdrop(const BackdropSource& source, const QSize& fullPixels) const;
    bool hasFailed(const BackdropSource& source) const;
    std::optional<BackdropTile> renderNow(const BackdropSource& source, const QSize& fullPixels,
                                          const QRect& pixelRect);
    void schedule(const BackdropSource& source, const QSize& fullPixels, const QRect& pixelRect);
    void store(const BackdropSource& source, const QSize& fullPixels, const QRect& pixelRect, const QImage& image);
    void deliver(quint64 generation, const BackdropSource& source, const QSize& fullPixels, const QRect& pixelRect,
                 const QImage& image, bool cutShort);

    std::optional<QUuid> m_cachedPageID;
    quint64 m_cachedRevision = 0;
    ElementList m_cachedElements;
    ElementGeometries m_cachedGeometries;
    // Builds more of the outlines of m_cachedElements (all of them for a
    // page of few elements).
    void continueGeometries();
    static constexpr qsizetype kGeometryBudgetElements = 50000;
    static constexpr qint64 kGeometryMilliseconds = 30;
    // The next element whose outline is to be built; -1 once all are.
    qsizetype m_nextGeometry = -1;
    // Brings the outlines of m_cachedElements up to `elements` when few
    // changed; false (nothing done) when the page is better built whole.
    bool updateGeometries(const ElementList& elements);

    struct PrintedEntry {
        QByteArray pdfData;
        qint64 pdfPageIndex = 0;
        qint64 pdfRotation = 0;
        TextPayload text;
        std::optional<PDFCodec::PrintedLine> printed;
    };
    QHash<QUuid, PrintedEntry> m_printedLines;
    QHash<const VectorElement*, BlockInk> m_blockInks;
    struct SelectedPlaces {
        ElementList elements;
        QSet<QUuid> selection;
        QList<qsizetype> places;
    };
    std::optional<SelectedPlaces> m_selectedPlaces;

    ImageLRU m_images;
    TextLayoutCache m_textLayouts;
    SheetLayer m_sheetLayers[3];
    LiveLayer m_liveLayer;
    OpenedPDF m_mainDocument;
    // The PDF being opened on the worker for the main thread, if any.
    QByteArray m_openingHere;
    bool isOpenHere(const QByteArray& pdf) const;
    void openHereInBackground(const BackdropSource& source);
    // Used only by the worker's jobs, which run one at a time.
    OpenedPDF m_workerDocument;
    QThreadPool m_worker;
    std::atomic<quint64> m_latestJob{0};
    std::atomic<int> m_drawingBoundMs{kDrawingBoundMs};
    QByteArray m_pendingKey;
};

}  // namespace zelvane
