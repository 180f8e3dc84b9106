#include "VectorSceneRenderCache.h"

#include "ThreadHandOver.h"
#include "PictureBudget.h"

#include "render/PageRenderer.h"

#include "render/ArtworkRenderer.h"
#include "pdf/PDFCancel.h"
#include "pdf/PDFDocument.h"
#include "pdf/PDFDrawingDeadline.h"
#include "render/ElementRenderer.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QPainter>
#include <QSet>
#include <QtEndian>
#include <algorithm>
#include <cmath>
#include <memory>

namespace zelvane {

// What a backdrop is made from: the PDF bytes (named by address and kept
// alive by every entry made from them), the page of that PDF, the page's
// quarter turn and its sides.
struct VectorSceneRenderCache::BackdropSource {
    QByteArray pdf;
    qint64 pageIndex = 0;
    qint64 turn = 0;
    double width = 0;
    double height = 0;

    QByteArray key() const
    {
        QByteArray key("pdf:");
        appendRaw(key, quintptr(pdf.constData()));
        appendRaw(key, qint64(pdf.size()));
        appendRaw(key, pageIndex);
        appendRaw(key, turn);
        appendRaw(key, width);
        appendRaw(key, height);
        return key;
    }

    template <class T>
    static void appendRaw(QByteArray& out, const T& value)
    {
        out.append(reinterpret_cast<const char*>(&value), sizeof value);
    }
};

namespace {

using BackdropSource = VectorSceneRenderCache::BackdropSource;

QByteArray tileKey(const QByteArray& sourceKey, const QSize& fullPixels, const QRect& pixelRect)
{
    QByteArray key = sourceKey;
    for (const int v : {fullPixels.width(), fullPixels.height(), pixelRect.x(), pixelRect.y(), pixelRect.width(),
                        pixelRect.height()})
        BackdropSource::appendRaw(key, v);
    return key;
}

// The same bytes are shared by every page of a document, so comparing where
// they live is enough (and constant time).
bool sameBytes(const QByteArray& a, const QByteArray& b)
{
    return a.constData() == b.constData() && a.size() == b.size();
}

QByteArray failureKey(const QByteArray& sourceKey)
{
    return sourceKey + QByteArrayLiteral("!unreadable");
}

std::shared_ptr<PDFDocument> openThroughSlot(VectorSceneRenderCache::OpenedPDF& slot, const QByteArray& data)
{
    if (slot.document && sameBytes(data, slot.data)) {
        if (!slot.cancel || !slot.cancel->isCancelled())
            return slot.document;
        // A document whose drawing was given up reads nothing more of its
        // file: the next drawing takes another over the same file.
        auto cancel = std::make_shared<PDFCancel>();
        if (std::shared_ptr<PDFDocument> again = slot.document->reopen(cancel)) {
            slot.document = std::move(again);
            slot.cancel = std::move(cancel);
            return slot.document;
        }
    }
    slot.cancel = std::make_shared<PDFCancel>();
    slot.document = PDFDocument::open(data, nullptr, nullptr, slot.cancel);
    slot.data = slot.document ? data : QByteArray();
    return slot.document;
}

// image: drawn whole; cutShort: drawn as far as the drawing bound let it.
enum class RenderOutcome { image, cutShort, unreadable, failed };

// Renders the part `pixelRect` of the page's backdrop laid over a page of
// `fullPixels`, on opaque white, in the page's own orientation.
std::pair<RenderOutcome, QImage> renderBackdropPixels(VectorSceneRenderCache::OpenedPDF& slot,
                                                      const BackdropSource& source, const QSize& fullPixels,
                                                      const QRect& pixelRect, int boundMs)
{
    const std::shared_ptr<PDFDocument> document = openThroughSlot(slot, source.pdf);
    const qint64 index = std::max<qint64>(source.pageIndex, 0);
    if (!document || index >= document->pageCount())
        return {RenderOutcome::unreadable, QImage()};
    const int pageIndex = int(index);

    VectorPage turned;
    turned.width = source.width;
    turned.height = source.height;
    turned.pdfRotation = source.turn;
    const bool sideways = normalizedQuarterTurn(source.turn) % 180 != 0;
    const double unturnedW = sideways ? source.height : source.width;
    const double unturnedH = sideways ? source.width : source.height;

    // The wanted part in page points, then on the unturned page, then in
    // the PDF's user space (y up from the media box's bottom).
    const double sx = source.width / fullPixels.width();
    const double sy = source.height / fullPixels.height();
    const QRectF onPage(pixelRect.x() * sx, pixelRect.y() * sy, pixelRect.width() * sx, pixelRect.height() * sy);
    const QRectF unturned = turned.backdropTransform().inverted().mapRect(onPage);
    const QRectF media = document->mediaBox(pageIndex);
    const double ux = media.width() / std::max(unturnedW, 1e-9);
    const double uy = media.height() / std::max(unturnedH, 1e-9);
    const QRectF box(media.x() + unturned.x() * ux, media.y() + media.height() - unturned.bottom() * uy,
                     unturned.width() * ux, unturned.height() * uy);
    const QSize pixels = sideways ? pixelRect.size().transposed() : pixelRect.size();

    QImage drawn;
    bool cutShort = false;
    {
        // Past the bound the document stops reading its file, so poppler
        // ends the page at the next object it fetches.
        PDFDrawingDeadline deadline(*slot.cancel, boundMs);
        drawn = document->renderBox(pageIndex, box, pixels);
        cutShort = deadline.end();
    }
    if (drawn.isNull() && !cutShort)
        return {RenderOutcome::failed, QImage()};
    QImage paper(pixels, QImage::Format_RGB32);
    paper.fill(Qt::white);
    if (!drawn.isNull()) {
        QPainter painter(&paper);
        painter.drawImage(0, 0, drawn);
    }
    const qint64 turn = normalizedQuarterTurn(source.turn);
    if (turn != 0)
        paper = paper.transformed(QTransform().rotate(double(turn)));
    return {cutShort ? RenderOutcome::cutShort : RenderOutcome::image, paper};
}

BackdropTile tileOf(const ImageLRUEntry& entry, const BackdropSource& source)
{
    const double sx = source.width / entry.fullPixels.width();
    const double sy = source.height / entry.fullPixels.height();
    const QRect& r = entry.pixelRect;
    return {entry.image, QRectF(r.x() * sx, r.y() * sy, r.width() * sx, r.height() * sy)};
}

// Whole pixels for a side of `points` at `pixelsPerPoint`, at least 1;
// nothing when the product is not a usable number.
std::optional<int> pixelSide(double points, double pixelsPerPoint)
{
    const double pixels = std::round(points * pixelsPerPoint);
    if (!std::isfinite(pixels) || pixels > 1e9)
        return std::nullopt;
    return std::max(1, int(pixels));
}

}  // namespace

VectorSceneRenderCache::VectorSceneRenderCache(qint64 imageBudgetBytes, QObject* parent, PictureBudget* sharedBudget)
    : QObject(parent), m_images(imageBudgetBytes, sharedBudget)
{
    m_worker.setMaxThreadCount(1);
}

VectorSceneRenderCache::~VectorSceneRenderCache()
{
    // Queued jobs see that they are stale and end at once; the worker's
    // document then goes with the cache, on this thread.
    ++m_latestJob;
    m_worker.waitForDone();
}

VectorSceneRenderCache& VectorSceneRenderCache::shared()
{
    static VectorSceneRenderCache cache(kDefaultImageBudgetBytes, nullptr, &PictureBudget::shared());
    // A backdrop still drawn when the application goes would paint while
    // Qt's own state is being torn down: the worker is stopped with the
    // application, before the statics go.
    static const bool stopsWithTheApplication = [] {
        qAddPostRoutine([] { cache.stopBackdropWorker(); });
        return true;
    }();
    Q_UNUSED(stopsWithTheApplication);
    return cache;
}

void VectorSceneRenderCache::stopBackdropWorker()
{
    ++m_latestJob;
    m_worker.waitForDone();
    m_pendingKey.clear();
}

bool VectorSceneRenderCache::stopBackdropWorker(int timeoutMs)
{
    ++m_latestJob;
    if (!m_worker.waitForDone(timeoutMs))
        return false;
    m_pendingKey.clear();
    return true;
}

void VectorSceneRenderCache::releaseOtherDocuments(const QList<VectorPage>& pages)
{
    QSet<const char*> kept;
    for (const VectorPage& page : pages) {
        if (page.pdfPageData)
            kept.insert(page.pdfPageData->constData());
    }
    const auto gone = [&kept](const QByteArray& data) { return !data.isEmpty() && !kept.contains(data.constData()); };
    // Backdrops are grouped by their source; artwork has no group and may
    // serve any document.
    m_images.removeIf([&](const QByteArray& key, const ImageLRUEntry& entry) {
        return (!entry.group.isEmpty() || key.endsWith(failureKey({}))) && gone(entry.pinned);
    });
    if (gone(m_mainDocument.data)) {
        // Freeing a PDF of thousands of pages takes a while: the worker
        // lets it go, after the job it may be drawing.
        m_worker.start(handedOver([document = std::move(m_mainDocument.document)]() mutable { document.reset(); }));
        m_mainDocument = {};
    }
    if (gone(m_openingHere))
        m_openingHere.clear();
    m_printedLines.removeIf([&](decltype(m_printedLines)::iterator entry) { return gone(entry->pdfData); });
    m_blockInks.clear();
    m_selectedPlaces.reset();
    m_cachedPageID.reset();
    m_cachedElements.clear();
    m_cachedGeometries.clear();
    m_nextGeometry = -1;
    for (SheetLayer& layer : m_sheetLayers)
        layer = {};
    m_liveLayer = {};
}

bool VectorSceneRenderCache::hasUnfinishedSheet() const
{
    return m_nextGeometry >= 0 || std::any_of(std::begin(m_sheetLayers), std::end(m_sheetLayers),
                       [](const SheetLayer& layer) { return layer.unfinished(); });
}

// ---- Element outlines --------------------------------------------------------

const ElementGeometries& VectorSceneRenderCache::geometries(const VectorPage& page, quint64 contentRevision)
{
    // The element list is compared as well: a list held here compares in
    // constant time while the document still shares it, and it guards
    // callers whose revisions can repeat (a document's own revision comes
    // back with undo or a file opened again).
    if (m_cachedPageID == page.id && m_cachedRevision == contentRevision && m_cachedElements == page.elements) {
        continueGeometries();
        return m_cachedGeometries;
    }
    if (m_cachedPageID == page.id && updateGeometries(page.elements)) {
        m_cachedRevision = contentRevision;
        m_cachedElements = page.elements;
        continueGeometries();
        return m_cachedGeometries;
    }
    m_cachedPageID = page.id;
    m_cachedRevision = contentRevision;
    m_cachedElements = page.elements;
    m_cachedGeometries = ElementGeometries();
    m_cachedGeometries.reserve(page.elements.size());
    m_nextGeometry = 0;
    continueGeometries();
    return m_cachedGeometries;
}

CachedElementGeometry VectorSceneRenderCache::buildGeometry(const VectorElement& element)
{
    auto [path, heads] = buildPageSpacePath(element);
    return CachedElementGeometry{element.id, element.frame, std::move(path), std::move(heads)};
}

void VectorSceneRenderCache::continueGeometries()
{
    if (m_nextGeometry < 0)
        return;
    // The outlines of a page of very many elements are built over several
    // calls, in page order, about kGeometryMilliseconds at a time; an
    // element still without one is drawn from its own outline meanwhile.
    const qsizetype count = m_cachedElements.size();
    const bool budgeted = count > kGeometryBudgetElements;
    QElapsedTimer spent;
    spent.start();
    auto it = std::as_const(m_cachedElements).begin() + m_nextGeometry;
    for (qsizetype i = m_nextGeometry; i < count; ++it) {
        m_cachedGeometries.insert(it->id, buildGeometry(*it));
        ++i;
        if (budgeted && i % 1024 == 0 && spent.elapsed() >= kGeometryMilliseconds && i < count) {
            m_nextGeometry = i;
            return;
        }
    }
    m_nextGeometry = -1;
}

bool VectorSceneRenderCache::updateGeometries(const ElementList& elements)
{
    // Only the run between what the lists keep equal at both ends is built
    // again; an edit of one element of a large page builds one outline. A
    // page whose outlines are still being built keeps those it has: the
    // build carries on after them.
    const ElementList& before = m_cachedElements;
    const qsizetype built = m_nextGeometry < 0 ? before.size() : m_nextGeometry;
    // Only while every element built has an id of its own (one outline
    // each).
    if (m_cachedGeometries.size() != built)
        return false;
    const ElementList::ChangedRun changed = ElementList::changedRun(before, elements);
    const qsizetype same = changed.start;
    const qsizetype oldEnd = changed.oldEnd;
    const qsizetype newEnd = changed.newEnd;
    // A large change is built whole (the hash is then built at its size).
    if (changed.size() > elements.size() / 2 + 64)
        return false;
    // Nothing of the changed run was built yet: the build goes on over the
    // new list, in order, from where it was.
    if (m_nextGeometry >= 0 && built <= same)
        return true;
    QSet<QUuid> gone;
    for (qsizetype i = same; i < std::min(oldEnd, built); ++i)
        gone.insert(before.at(i).id);
    QSet<QUuid> added;
    for (qsizetype i = same; i < newEnd; ++i) {
        const QUuid& id = elements.at(i).id;
        // An id found twice on the page keeps the outline of its last
        // element only when the whole page is built in order.
        if (added.contains(id) || (!gone.contains(id) && m_cachedGeometries.contains(id)))
            return false;
        added.insert(id);
    }
    for (const QUuid& id : std::as_const(gone))
        m_cachedGeometries.remove(id);
    for (qsizetype i = same; i < newEnd; ++i) {
        const VectorElement& element = elements.at(i);
        m_cachedGeometries.insert(element.id, buildGeometry(element));
    }
    if (m_nextGeometry >= 0) {
        // What was built after the changed run keeps its outlines; the run
        // itself is built now.
        m_nextGeometry = built >= oldEnd ? built + (newEnd - oldEnd) : newEnd;
        if (m_nextGeometry >= elements.size())
            m_nextGeometry = -1;
    }
    return true;
}

const VectorSceneRenderCache::BlockInk& VectorSceneRenderCache::blockInk(const ElementList& elements,
                                                                         qsizetype block)
{
    const QList<VectorElement>& items = elements.block(block);
    if (const auto found = m_blockInks.constFind(items.constData()); found != m_blockInks.constEnd())
        return *found;
    // The blocks of lists no longer drawn go now and then.
    if (m_blockInks.size() > 2 * elements.blockCount() + 256) {
        QSet<const VectorElement*> current;
        for (qsizetype b = 0; b < elements.blockCount(); ++b)
            current.insert(elements.block(b).constData());
        m_blockInks.removeIf([&current](decltype(m_blockInks)::iterator entry) { return !current.contains(entry.key()); });
    }
    BlockInk entry;
    entry.block = items;
    for (const VectorElement& element : items) {
        std::optional<QRectF> outline;
        if (ElementInk::hasOutlineBeyondFrame(element)) {
            const auto cached = m_cachedGeometries.constFind(element.id);
            if (cached != m_cachedGeometries.constEnd() && cached->frame == element.frame) {
                if (cached->path)
                    outline = cached->path->boundingRect();
            } else if (const auto path = buildPageSpacePath(element).first) {
                outline = path->boundingRect();
            }
        }
        entry.ink.unite(ElementInk::of(element, outline));
        entry.hasPDFText = entry.hasPDFText || element.isPDFText();
    }
    return *m_blockInks.insert(items.constData(), std::move(entry));
}

const QList<qsizetype>& VectorSceneRenderCache::selectedPlaces(const ElementList& elements,
                                                               const QSet<QUuid>& selection)
{
    if (m_selectedPlaces && m_selectedPlaces->selection == selection && m_selectedPlaces->elements == elements)
        return m_selectedPlaces->places;
    const auto found = [&]() -> std::optional<QList<qsizetype>> {
        if (!m_selectedPlaces)
            return std::nullopt;
        // Every id once on the page: a chosen id found in the changed run
        // is nowhere else.
        if (m_nextGeometry >= 0 || !(m_cachedElements == elements) || m_cachedGeometries.size() != elements.size())
            return std::nullopt;
        constexpr qsizetype kMostChanged = 4096;
        const SelectedPlaces& was = *m_selectedPlaces;
        const ElementList& before = was.elements;
        const ElementList::ChangedRun changed = ElementList::changedRun(before, elements);
        const qsizetype same = changed.start;
        const qsizetype oldEnd = changed.oldEnd;
        const qsizetype newEnd = changed.newEnd;
        if (changed.size() > kMostChanged || selection.size() > kMostChanged ||
            was.selection.size() > kMostChanged)
            return std::nullopt;
        QSet<QUuid> unseen;
        for (const QUuid& id : selection) {
            if (!was.selection.contains(id))
                unseen.insert(id);
        }
        QList<qsizetype> places;
        qsizetype k = 0;
        for (; k < was.places.size() && was.places[k] < same; ++k) {
            if (selection.contains(before.at(was.places[k]).id))
                places.append(was.places[k]);
        }
        auto element = elements.begin() + same;
        for (qsizetype i = same; i < newEnd; ++i, ++element) {
            if (selection.contains(element->id)) {
                places.append(i);
                unseen.remove(element->id);
            }
        }
        for (; k < was.places.size(); ++k) {
            const qsizetype p = was.places[k];
            if (p >= oldEnd && selection.contains(before.at(p).id))
                places.append(p + (newEnd - oldEnd));
        }
        // A newly chosen element elsewhere is looked for over the page.
        if (!unseen.isEmpty())
            return std::nullopt;
        return places;
    }();
    QList<qsizetype> places;
    if (found) {
        places = *found;
    } else if (!selection.isEmpty()) {
        qsizetype i = 0;
        for (const VectorElement& element : elements) {
            if (selection.contains(element.id))
                places.append(i);
            ++i;
        }
    }
    m_selectedPlaces = SelectedPlaces{elements, selection, std::move(places)};
    return m_selectedPlaces->places;
}

// ---- Printed lines under edited PDF text ----------------------------------

const PDFCodec::PrintedLine* VectorSceneRenderCache::printedLine(const VectorPage& page, const VectorElement& element)
{
    const TextPayload* text = element.text();
    if (!page.pdfPageData || !text || !text->isPDFExtracted || !element.hasModifiedPDFText())
        return nullptr;
    const QByteArray& data = *page.pdfPageData;
    const auto found = m_printedLines.constFind(element.id);
    if (found != m_printedLines.constEnd() && sameBytes(found->pdfData, data) && found->pdfPageIndex == page.pdfPageIndex
        && found->pdfRotation == page.pdfRotation && found->text == *text)
        return found->printed ? &*found->printed : nullptr;
    // Entries of closed documents or deleted elements are dropped now and
    // then; each is small, but the bytes it holds on to are not.
    if (m_printedLines.size() >= 1024)
        m_printedLines.clear();
    const auto stored = m_printedLines.insert(
        element.id,
        PrintedEntry{data, page.pdfPageIndex, page.pdfRotation, *text, PDFCodec::printedLineFor(page, element)});
    return stored->printed ? &*stored->printed : nullptr;
}

namespace {

bool isFinite(const VectorRect& r)
{
    return std::isfinite(r.x) && std::isfinite(r.y) && std::isfinite(r.width) && std::isfinite(r.height);
}

// Polylines through points relative to the frame; points that are not
// numbers are left out.
void addPolyline(QPainterPath& path, const VectorRect& f, const QList<VectorPoint>& points, bool closed)
{
    bool started = false;
    for (const VectorPoint& p : points) {
        const QPointF q(f.x + f.width * p.x, f.y + f.height * p.y);
        if (!std::isfinite(q.x()) || !std::isfinite(q.y()))
            continue;
        if (started) {
            path.lineTo(q);
        } else {
            path.moveTo(q);
            started = true;
        }
    }
    if (started && closed)
        path.closeSubpath();
}

}  // namespace

std::pair<std::optional<QPainterPath>, std::optional<QPainterPath>> VectorSceneRenderCache::buildPageSpacePath(
    const VectorElement& element)
{
    const VectorRect& f = element.frame;
    if (!isFinite(f))
        return {};
    QPainterPath path;
    path.setFillRule(Qt::WindingFill);
    if (const auto* signature = std::get_if<SignaturePayload>(&element.kind)) {
        for (const QList<VectorPoint>& stroke : signature->strokes)
            addPolyline(path, f, stroke, false);
        return {path, std::nullopt};
    }
    if (const auto* payload = std::get_if<PathPayload>(&element.kind)) {
        for (const VectorSubpath& subpath : payload->subpaths)
            addPolyline(path, f, subpath.points, subpath.isClosed);
        return {path, std::nullopt};
    }
    const auto* shape = std::get_if<ShapePayload>(&element.kind);
    if (!shape)
        return {};
    const QRectF rect = f.toQRectF();
    switch (shape->shapeType) {
    case VectorShapeType::rectangle:
        path.addRect(rect);
        break;
    case VectorShapeType::roundedRectangle: {
        const double radius = std::max(std::min(std::min(f.width, f.height) * 0.5, shape->cornerRadius), 0.0);
        path.addRoundedRect(rect, radius, radius);
        break;
    }
    case VectorShapeType::ellipse:
        path.addEllipse(rect);
        break;
    case VectorShapeType::diamond:
        path.moveTo(f.x + f.width * 0.5, f.y);
        path.lineTo(f.x + f.width, f.y + f.height * 0.5);
        path.lineTo(f.x + f.width * 0.5, f.y + f.height);
        path.lineTo(f.x, f.y + f.height * 0.5);
        path.closeSubpath();
        break;
    case VectorShapeType::line:
    case VectorShapeType::arrow: {
        const auto [start, end] = lineEnds(*shape, f);
        path.moveTo(start);
        path.lineTo(end);
        const double size = std::max(element.style.strokeWidth * 4, 8.0);
        QPainterPath heads;
        heads.setFillRule(Qt::WindingFill);
        if (shape->endArrow || shape->shapeType == VectorShapeType::arrow)
            PDFCodec::addArrowHead(heads, start, end, size);
        if (shape->startArrow)
            PDFCodec::addArrowHead(heads, end, start, size);
        if (heads.isEmpty())
            return {path, std::nullopt};
        return {path, heads};
    }
    }
    return {path, std::nullopt};
}

// ---- Artwork -------------------------------------------------------------------

QImage VectorSceneRenderCache::assetImage(const QByteArray& data, const std::optional<QString>& ext,
                                         bool removeWhiteBackground)
{
    if (data.isEmpty())
        return QImage();
    QByteArray key("asset:");
    BackdropSource::appendRaw(key, quintptr(data.constData()));
    BackdropSource::appendRaw(key, qint64(data.size()));
    key.append(removeWhiteBackground ? '1' : '0');
    key.append(ext.value_or(QString()).toUtf8());
    if (const ImageLRUEntry* entry = m_images.find(key))
        return entry->image;
    ImageLRUEntry entry;
    entry.image = ArtworkRenderer::renderImage(data, ext, kAssetTargetDimension, removeWhiteBackground);
    entry.pinned = data;
    const QImage image = entry.image;
    m_images.insert(key, std::move(entry));
    return image;
}

// ---- Backdrops -----------------------------------------------------------------

QList<BackdropTile> VectorSceneRenderCache::backdropImages(const VectorPage& page, double pixelsPerPoint,
                                                           const QRectF& visiblePageRect, BackdropWait wait)
{
    if (!page.pdfPageData || page.pdfPageData->isEmpty())
        return {};
    if (!std::isfinite(pixelsPerPoint) || pixelsPerPoint <= 0 || !std::isfinite(page.width)
        || !std::isfinite(page.height) || page.width <= 0 || page.height <= 0)
        return {};
    const BackdropSource source{*page.pdfPageData, page.pdfPageIndex, normalizedQuarterTurn(page.pdfRotation),
                                page.width, page.height};
    if (hasFailed(source))
        return {};
    const auto fullW = pixelSide(page.width, pixelsPerPoint);
    const auto fullH = pixelSide(page.height, pixelsPerPoint);
    if (!fullW || !fullH)
        return {};
    const QSize full(*fullW, *fullH);
    const int longSide = std::max(full.width(), full.height());

    // The whole page, at the wanted resolution or, when that is too large,
    // at the overview's.
    QSize whole = full;
    if (longSide > kMaxBackdropSide) {
        const double k = double(kOverviewBackdropSide) / longSide;
        whole = QSize(std::max(1, int(std::round(full.width() * k))), std::max(1, int(std::round(full.height() * k))));
    }
    const QRect wholeRect(QPoint(0, 0), whole);
    QList<BackdropTile> tiles;
    if (auto exact = findBackdrop(source, whole, wholeRect)) {
        tiles.append(*exact);
    } else if (wait == BackdropWait::allowStale) {
        if (auto nearest = nearestBackdrop(source, whole)) {
            tiles.append(*nearest);
            schedule(source, whole, wholeRect);
        }
    }
    if (tiles.isEmpty() && wait == BackdropWait::allowStale && !isOpenHere(source.pdf)) {
        // A PDF not yet read on this thread may take long to open (a file
        // of thousands of pages): on screen, the worker renders this first
        // backdrop and opens the file for this thread meanwhile; the sheet
        // shows its page colour until then.
        schedule(source, whole, wholeRect);
        openHereInBackground(source);
        return {};
    }
    if (tiles.isEmpty()) {
        if (auto rendered = renderNow(source, whole, wholeRect))
            tiles.append(*rendered);
        else
            return {};
    }
    if (whole == full)
        return tiles;

    // Zoomed far in: the visible part at full resolution, with a margin so
    // that small pans need nothing new.
    const double px = full.width() / page.width;
    const double py = full.height() / page.height;
    const QRect fullRect(QPoint(0, 0), full);
    const QRect seen = QRectF(visiblePageRect.x() * px, visiblePageRect.y() * py, visiblePageRect.width() * px,
                              visiblePageRect.height() * py)
                           .toAlignedRect()
                           .intersected(fullRect);
    if (seen.isEmpty())
        return tiles;
    const QRect wanted = seen.adjusted(-256, -256, 256, 256).intersected(fullRect);
    const QByteArray group = source.key();
    std::optional<QRect> covering;
    QList<BackdropTile> partial;
    m_images.forEach([&](const ImageLRUEntry& entry) {
        if (entry.image.isNull() || entry.group != group || entry.fullPixels != full
            || !entry.pixelRect.intersects(seen))
            return;
        if (entry.pixelRect.contains(seen))
            covering = entry.pixelRect;
        else if (partial.size() < 3)
            partial.append(tileOf(entry, source));
    });
    if (covering) {
        tiles.append(*findBackdrop(source, full, *covering));
        return tiles;
    }
    if (wait == BackdropWait::exact) {
        if (auto rendered = renderNow(source, full, wanted))
            tiles.append(*rendered);
        return tiles;
    }
    tiles.append(partial);
    schedule(source, full, wanted);
    return tiles;
}

std::optional<BackdropTile> VectorSceneRenderCache::findBackdrop(const BackdropSource& source,
                                                                 const QSize& fullPixels, const QRect& pixelRect) const
{
    const ImageLRUEntry* entry = const_cast<ImageLRU&>(m_images).find(tileKey(source.key(), fullPixels, pixelRect));
    if (!entry || entry->image.isNull())
        return std::nullopt;
    return tileOf(*entry, source);
}

std::optional<BackdropTile> VectorSceneRenderCache::nearestBackdrop(const BackdropSource& source,
                                                                    const QSize& fullPixels) const
{
    const QByteArray group = source.key();
    const ImageLRUEntry* best = nullptr;
    double bestDistance = 0;
    m_images.forEach([&](const ImageLRUEntry& entry) {
        if (entry.image.isNull() || entry.group != group || entry.pixelRect != QRect(QPoint(0, 0), entry.fullPixels))
            return;
        const double distance = std::abs(std::log(double(entry.fullPixels.width()) / fullPixels.width()));
        if (!best || distance < bestDistance) {
            best = &entry;
            bestDistance = distance;
        }
    });
    if (!best)
        return std::nullopt;
    return tileOf(*best, source);
}

bool VectorSceneRenderCache::hasFailed(const BackdropSource& source) const
{
    return m_images.peek(failureKey(source.key())) != nullptr;
}

std::optional<BackdropTile> VectorSceneRenderCache::renderNow(const BackdropSource& source, const QSize& fullPixels,
                                                              const QRect& pixelRect)
{
    const auto [outcome, image] =
        renderBackdropPixels(m_mainDocument, source, fullPixels, pixelRect, m_drawingBoundMs.load());
    if (outcome == RenderOutcome::unreadable) {
        // Not a PDF, or no such page: remembered so it is not parsed again
        // every frame.
        ImageLRUEntry failure;
        failure.pinned = source.pdf;
        m_images.insert(failureKey(source.key()), std::move(failure));
        return std::nullopt;
    }
    if (outcome == RenderOutcome::failed)
        return std::nullopt;
    store(source, fullPixels, pixelRect, image);
    if (outcome == RenderOutcome::cutShort)
        emit backdropCutShort();
    const double sx = source.width / fullPixels.width();
    const double sy = source.height / fullPixels.height();
    return BackdropTile{image, QRectF(pixelRect.x() * sx, pixelRect.y() * sy, pixelRect.width() * sx,
                                      pixelRect.height() * sy)};
}

void VectorSceneRenderCache::store(const BackdropSource& source, const QSize& fullPixels, const QRect& pixelRect,
                                   const QImage& image)
{
    ImageLRUEntry entry;
    entry.image = image;
    entry.pinned = source.pdf;
    entry.group = source.key();
    entry.fullPixels = fullPixels;
    entry.pixelRect = pixelRect;
    const QByteArray key = tileKey(entry.group, fullPixels, pixelRect);
    m_images.insert(key, std::move(entry));
}

void VectorSceneRenderCache::schedule(const BackdropSource& source, const QSize& fullPixels, const QRect& pixelRect)
{
    const QByteArray key = tileKey(source.key(), fullPixels, pixelRect);
    if (key == m_pendingKey)
        return;
    m_pendingKey = key;
    const quint64 generation = ++m_latestJob;
    m_worker.start(handedOver([this, generation, source, fullPixels, pixelRect] {
        if (generation != m_latestJob.load())
            return;
        const auto [outcome, image] =
            renderBackdropPixels(m_workerDocument, source, fullPixels, pixelRect, m_drawingBoundMs.load());
        const bool cutShort = outcome == RenderOutcome::cutShort;
        QMetaObject::invokeMethod(
            this, handedOver([this, generation, source, fullPixels, pixelRect, image = image, cutShort] {
                deliver(generation, source, fullPixels, pixelRect, image, cutShort);
            }),
            Qt::QueuedConnection);
    }));
}

bool VectorSceneRenderCache::isOpenHere(const QByteArray& pdf) const
{
    return m_mainDocument.document && sameBytes(m_mainDocument.data, pdf);
}

void VectorSceneRenderCache::openHereInBackground(const BackdropSource& source)
{
    const QByteArray& pdf = source.pdf;
    if (sameBytes(m_openingHere, pdf))
        return;
    m_openingHere = pdf;
    m_worker.start(handedOver([this, pdf, failure = failureKey(source.key())] {
        auto cancel = std::make_shared<PDFCancel>();
        std::shared_ptr<PDFDocument> document = PDFDocument::open(pdf, nullptr, nullptr, cancel);
        // Used only on the main thread from now on.
        QMetaObject::invokeMethod(
            this, handedOver([this, pdf, failure, document = std::move(document), cancel = std::move(cancel)] {
                // Dropped when its document was let go meanwhile.
                if (!sameBytes(m_openingHere, pdf))
                    return;
                m_openingHere.clear();
                if (!document) {
                    // Not a PDF: remembered, as a failed render is.
                    ImageLRUEntry entry;
                    entry.pinned = pdf;
                    m_images.insert(failure, std::move(entry));
                } else if (!isOpenHere(pdf)) {
                    m_mainDocument = OpenedPDF{pdf, document, cancel};
                }
            }),
            Qt::QueuedConnection);
    }));
}

void VectorSceneRenderCache::deliver(quint64 generation, const BackdropSource& source, const QSize& fullPixels,
                                     const QRect& pixelRect, const QImage& image, bool cutShort)
{
    // A newer request overtook this one while it was drawn.
    if (generation != m_latestJob.load())
        return;
    m_pendingKey.clear();
    if (image.isNull())
        return;
    store(source, fullPixels, pixelRect, image);
    if (cutShort)
        emit backdropCutShort();
    emit backdropReady();
}

void VectorSceneRenderCache::waitForBackdropWorker()
{
    m_worker.waitForDone();
    QCoreApplication::sendPostedEvents(this, QEvent::MetaCall);
}

}  // namespace zelvane
