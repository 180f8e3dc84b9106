#include "SceneDrawing.h"

#include "theme/Theme.h"
#include "ElementDrawing.h"
#include "ElementInk.h"
#include "PaneText.h"
#include "model/RGBAColor.h"

#include "render/MaskCover.h"

#include <QElapsedTimer>
#include <QPainter>
#include <QPainterPath>
#include <QRegion>
#include <algorithm>
#include <cmath>

namespace zelvane {

namespace {

QPointF rotatedAbout(const QPointF& p, const QPointF& c, double degrees)
{
    if (std::abs(degrees) <= 0.01)
        return p;
    const double theta = degrees * M_PI / 180;
    const double dx = p.x() - c.x();
    const double dy = p.y() - c.y();
    return {c.x() + std::cos(theta) * dx - std::sin(theta) * dy, c.y() + std::sin(theta) * dx + std::cos(theta) * dy};
}

QPen scenePen(const QColor& color, double width, const QList<qreal>& dashInPoints = {})
{
    QPen pen(color, width, Qt::SolidLine, Qt::FlatCap, Qt::MiterJoin);
    pen.setMiterLimit(10);
    if (!dashInPoints.isEmpty()) {
        QList<qreal> pattern;
        for (const qreal length : dashInPoints)
            pattern.append(length / width);
        pen.setDashPattern(pattern);
    }
    return pen;
}

QColor withAlpha(QColor color, double alpha)
{
    color.setAlphaF(float(alpha));
    return color;
}

bool isFinite(const QRectF& r)
{
    return std::isfinite(r.x()) && std::isfinite(r.y()) && std::isfinite(r.width()) && std::isfinite(r.height());
}

// Draws the backdrop rasters over the sheet. A raster made for exactly the
// device pixels it covers is copied pixel for pixel; others are scaled.
void drawBackdrop(QPainter& painter, const QList<BackdropTile>& tiles, const QTransform& tx)
{
    const double dpr = painter.device() ? painter.device()->devicePixelRatioF() : 1.0;
    const QTransform world = painter.worldTransform();
    const bool plainWorld = world.type() <= QTransform::TxTranslate;
    for (const BackdropTile& tile : tiles) {
        const QRectF target = tx.mapRect(tile.pageRect);
        if (!isFinite(target) || tile.image.isNull())
            continue;
        const QRectF onDevice(QPointF((target.x() + world.dx()) * dpr, (target.y() + world.dy()) * dpr),
                              target.size() * dpr);
        if (plainWorld && std::abs(onDevice.width() - tile.image.width()) < 1
            && std::abs(onDevice.height() - tile.image.height()) < 1) {
            painter.save();
            painter.setWorldTransform(QTransform::fromScale(1 / dpr, 1 / dpr));
            painter.drawImage(QPointF(std::round(onDevice.x()), std::round(onDevice.y())), tile.image);
            painter.restore();
        } else {
            painter.save();
            painter.setRenderHint(QPainter::SmoothPixmapTransform);
            painter.drawImage(target, tile.image);
            painter.restore();
        }
    }
}

// The backdrop is opaque: when one raster holds the whole page, the page
// colour underneath would never show.
bool coversSheet(const QList<BackdropTile>& tiles, const VectorPage& page)
{
    for (const BackdropTile& tile : tiles) {
        if (!tile.image.isNull() && !tile.image.hasAlphaChannel()
            && tile.pageRect.contains(QRectF(0, 0, page.width, page.height).adjusted(0.5, 0.5, -0.5, -0.5)))
            return true;
    }
    return false;
}

void drawPDFTextBox(QPainter& painter, const VectorElement& element, const QRectF& paneRect, bool selected)
{
    const QColor color = element.hasModifiedPDFText() ? Theme::alive() : Theme::tcp();
    const double width = selected ? 1.3 : 0.8;
    QPainterPath box;
    box.addRoundedRect(paneRect.adjusted(-1, -1, 1, 1), 2, 2);
    // A turned line's box turns with it about its centre.
    if (std::abs(element.rotationDegrees) > 0.01) {
        const QPointF c = paneRect.center();
        box = QTransform::fromTranslate(c.x(), c.y()).rotate(element.rotationDegrees).translate(-c.x(), -c.y()).map(box);
    }
    painter.strokePath(box, scenePen(withAlpha(color, selected ? 0.85 : 0.4), width, {3, 2}));
}

void drawPreviews(QPainter& painter, const PageCanvasGeometry& geom, const SceneOverlay& overlay)
{
    if (overlay.freehandPoints.size() >= 2) {
        QPainterPath stroke;
        stroke.moveTo(geom.pageToPane(overlay.freehandPoints.front()));
        for (qsizetype i = 1; i < overlay.freehandPoints.size(); ++i)
            stroke.lineTo(geom.pageToPane(overlay.freehandPoints[i]));
        const QColor color =
            overlay.signatureToolActive ? QColor::fromRgbF(0.12f, 0.23f, 0.54f) : Theme::accent();
        QPen pen = scenePen(color, std::max(2.2 * geom.zoomScale, 0.1));
        pen.setCapStyle(Qt::RoundCap);
        pen.setJoinStyle(Qt::RoundJoin);
        painter.strokePath(stroke, pen);
    }
    if (overlay.shapeDragStart && overlay.shapeDragCurrent) {
        const VectorPoint& a = *overlay.shapeDragStart;
        const VectorPoint& b = *overlay.shapeDragCurrent;
        VectorRect rect;
        rect.x = std::min(a.x, b.x);
        rect.y = std::min(a.y, b.y);
        rect.width = std::max(std::abs(b.x - a.x), 1.0);
        rect.height = std::max(std::abs(b.y - a.y), 1.0);
        QPainterPath outline;
        outline.addRect(geom.pageToPane(rect));
        painter.strokePath(outline, scenePen(Theme::accent(), 1.5, {4, 3}));
    }
}

void drawSelection(QPainter& painter, const VectorElement& element, const PageCanvasGeometry& geom,
                   bool isRotating, TextLayoutCache& layouts)
{
    const QRectF rect = geom.pageToPane(element.frame);
    if (!isFinite(rect))
        return;
    const double degrees = std::isfinite(element.rotationDegrees) ? element.rotationDegrees : 0.0;
    const QColor accent = Theme::accent();
    const QColor background = Theme::background();

    painter.save();
    if (std::abs(degrees) > 0.01) {
        painter.translate(rect.center());
        painter.rotate(degrees);
        painter.translate(-rect.center());
    }
    QPainterPath frame;
    frame.addRect(rect);
    painter.strokePath(frame, scenePen(accent, 1.5));
    for (const QPointF& corner : {rect.topLeft(), rect.topRight(), rect.bottomRight(), rect.bottomLeft()}) {
        QPainterPath handle;
        handle.addRoundedRect(QRectF(corner.x() - 4, corner.y() - 4, 8, 8), 2, 2);
        painter.fillPath(handle, background);
        painter.strokePath(handle, scenePen(accent, 1.5));
    }
    if (!element.locked) {
        const QPointF top(rect.center().x(), rect.top());
        const QPointF knob(top.x(), top.y() - 22);
        QPainterPath stalk;
        stalk.moveTo(top);
        stalk.lineTo(knob);
        painter.strokePath(stalk, scenePen(accent, 1.4));
        QPainterPath circle;
        circle.addEllipse(knob, 5.5, 5.5);
        painter.fillPath(circle, accent);
        painter.strokePath(circle, scenePen(background, 1.5));
    }
    painter.restore();

    if (isRotating || std::abs(degrees) > 0.2) {
        const PaneTextLine& label =
            layouts.line(QString::asprintf("%+.0f°", degrees), paneSystemFont(10, QFont::Bold, true));
        const QPointF handle = rotationHandlePoint(rect, degrees);
        label.drawCentered(painter, QPointF(handle.x(), handle.y() - 14), accent);
    }
}

}  // namespace

QPointF rotationHandlePoint(const QRectF& paneRect, double rotationDegrees)
{
    const QPointF handle(paneRect.center().x(), paneRect.top() - 22);
    return rotatedAbout(handle, paneRect.center(), rotationDegrees);
}

QList<QPointF> rotatedCornerHandles(const QRectF& paneRect, double rotationDegrees)
{
    QList<QPointF> corners;
    for (const QPointF& corner :
         {paneRect.topLeft(), paneRect.topRight(), paneRect.bottomRight(), paneRect.bottomLeft()})
        corners.append(rotatedAbout(corner, paneRect.center(), rotationDegrees));
    return corners;
}

std::optional<VectorRect> rotatedBounds(const VectorRect& frame, double rotationDegrees)
{
    const QRectF rect = frame.toQRectF().normalized();
    if (!isFinite(rect))
        return std::nullopt;
    QRectF bounds = rect;
    if (std::isfinite(rotationDegrees) && std::abs(rotationDegrees) > 0.01) {
        QPolygonF corners;
        for (const QPointF& corner : {rect.topLeft(), rect.topRight(), rect.bottomRight(), rect.bottomLeft()})
            corners.append(rotatedAbout(corner, rect.center(), rotationDegrees));
        bounds = corners.boundingRect();
    }
    VectorRect out;
    out.x = bounds.x();
    out.y = bounds.y();
    out.width = bounds.width();
    out.height = bounds.height();
    return out;
}

namespace {

// Part of the sheet to draw again, as rectangles in page points, and the
// masks that may lie there, in the order the page gives them.
struct RedrawArea {
    QList<QRectF> rects;
    QRectF bounds;
    QList<MaskRect> masks;

    void add(const QRectF& rect)
    {
        rects.append(rect);
        bounds = bounds.isNull() ? rect : bounds.united(rect);
    }
    bool intersects(const QRectF& rect) const
    {
        if (rect.isNull() || !rect.intersects(bounds))
            return false;
        return std::any_of(rects.begin(), rects.end(), [&](const QRectF& r) { return r.intersects(rect); });
    }
};

// The element's outline in page points for ElementInk, from the cache when
// it holds one made for the element as it is.
std::optional<QRectF> outlineBounds(const VectorElement& element, const ElementGeometries& cachedGeometries)
{
    if (!ElementInk::hasOutlineBeyondFrame(element))
        return std::nullopt;
    if (const auto found = cachedGeometries.constFind(element.id);
        found != cachedGeometries.constEnd() && found->frame == element.frame)
        return found->path ? std::optional<QRectF>(found->path->boundingRect()) : std::nullopt;
    const auto path = VectorSceneRenderCache::buildPageSpacePath(element).first;
    return path ? std::optional<QRectF>(path->boundingRect()) : std::nullopt;
}

// The sheet's own content: page colour, backdrop, masks, PDF text boxes and
// elements, clipped to the sheet.
// Only the elements from `first` up to before `end` are drawn, over the
// page's colour, backdrop and masks when `base` is set. Without
// `withinSheet` the elements are drawn whole over the pane, for a caller
// that clips them later. With `only`, the elements that cannot paint into
// that area are left out (a caller that clips to it).
void drawSheetContent(QPainter& painter, const VectorPage& page, const PageCanvasGeometry& geom,
                      const ElementGeometries& cachedGeometries, const QList<BackdropTile>& backdrop,
                      const SceneOverlay& overlay, VectorSceneRenderCache& cache, qsizetype first = 0,
                      qsizetype end = -1, bool base = true, bool withinSheet = true,
                      const RedrawArea* only = nullptr)
{
    if (end < 0)
        end = page.elements.size();
    const QRect sheetPixels = geom.sheetRect().toAlignedRect();
    const QTransform tx = geom.pageToPaneTransform();
    const VectorRect visible = geom.visiblePageRect();
    const QColor pageColor = RGBAColor::fromHex(page.backgroundColorHex).value_or(RGBAColor(1, 1, 1, 1)).toQColor();

    painter.save();
    // Pixel-aligned, so the fill and the clip stay plain rectangles.
    if (base && !coversSheet(backdrop, page))
        painter.fillRect(sheetPixels, QColor(pageColor.red(), pageColor.green(), pageColor.blue()));
    if (withinSheet)
        painter.setClipRect(sheetPixels, Qt::IntersectClip);
    painter.setRenderHint(QPainter::Antialiasing);
    if (base)
        drawBackdrop(painter, backdrop, tx);
    for (const MaskRect& mask : base ? (only ? only->masks : page.activeMaskRects()) : QList<MaskRect>()) {
        if (!mask.rect.intersects(visible))
            continue;
        const auto color = RGBAColor::fromHex(mask.colorHex);
        const QColor fill = color ? QColor::fromRgbF(float(color->r), float(color->g), float(color->b)) : pageColor;
        const QRectF paneRect = geom.pageToPane(mask.rect);
        if (isFinite(paneRect))
            painter.fillRect(coveringDevicePixels(paneRect, painter.deviceTransform()),
                             QColor(fill.red(), fill.green(), fill.blue()));
    }
    StrokeBatch batch;
    const auto draw = [&](const VectorElement& element) {
        if (!element.visible)
            return;
        // Culled by the area the turned element covers, so a long turned
        // element crossing the view is not lost.
        const auto bounds = rotatedBounds(element.frame, element.rotationDegrees);
        if (!bounds || !bounds->intersects(visible))
            return;
        const auto found = cachedGeometries.constFind(element.id);
        const CachedElementGeometry* cached = found == cachedGeometries.constEnd() ? nullptr : &*found;
        // An outline not built yet (a very large page is built over a few
        // frames) is made for this drawing.
        std::optional<CachedElementGeometry> own;
        if (!cached) {
            own = VectorSceneRenderCache::buildGeometry(element);
            cached = &*own;
        }
        if (batch.add(element, geom, tx, cached, painter))
            return;
        batch.flush(painter);
        const TextPayload* text = element.text();
        if (text && text->isPDFExtracted) {
            const bool selected = overlay.selection.contains(element.id);
            if (overlay.showPDFTextBoxes || overlay.textToolActive || selected)
                drawPDFTextBox(painter, element, geom.pageToPane(element.frame), selected);
            if (page.pdfPageData && !element.hasModifiedPDFText())
                return;
        }
        drawElementInLayer(painter, element, geom, tx, cached, cache, cache.printedLine(page, element));
    };
    if (!only) {
        for (qsizetype i = first; i < end; ++i)
            draw(page.elements[i]);
    } else {
        // Block by block, passing over those that cannot reach the area.
        const ElementList& elements = page.elements;
        const double s = geom.scale();
        for (qsizetype b = elements.blockOf(first); b < elements.blockCount() && elements.blockStart(b) < end; ++b) {
            if (!only->intersects(cache.blockInk(elements, b).ink.at(s)))
                continue;
            const QList<VectorElement>& items = elements.block(b);
            const qsizetype start = elements.blockStart(b);
            for (qsizetype k = std::max<qsizetype>(first - start, 0); k < items.size() && start + k < end; ++k) {
                const VectorElement& element = items.at(k);
                if (element.visible &&
                    only->intersects(ElementInk::area(element, outlineBounds(element, cachedGeometries), s)))
                    draw(element);
            }
        }
    }
    batch.flush(painter);
    painter.restore();
}

}  // namespace

namespace {

// Progressive drawing: pages of more elements than this are drawn in slices
// of kProgressiveSlice elements, for about kProgressiveMilliseconds a frame.
constexpr qsizetype kProgressiveElements = 50000;
constexpr qsizetype kProgressiveSlice = 8192;
constexpr qint64 kProgressiveMilliseconds = 40;

// How far around the pane, in points, the drawing of dragged elements
// reaches.
constexpr double kLiveMargin = 64;

// Whether `now` are the `drawn` elements moved all by one offset and
// otherwise unchanged; the offset in page points goes to `by`.
bool movedTogether(const ElementList& now, const ElementList& drawn, QPointF& by)
{
    if (now.size() != drawn.size() || now.isEmpty())
        return false;
    by = QPointF(now[0].frame.x - drawn[0].frame.x, now[0].frame.y - drawn[0].frame.y);
    const double tolerance = 1e-6 * (1 + std::abs(by.x()) + std::abs(by.y()));
    for (qsizetype i = 0; i < now.size(); ++i) {
        const VectorRect& a = now[i].frame;
        const VectorRect& b = drawn[i].frame;
        if (std::abs(a.x - b.x - by.x()) > tolerance || std::abs(a.y - b.y - by.y()) > tolerance ||
            a.width != b.width || a.height != b.height)
            return false;
        VectorElement same = now[i];
        same.frame = b;
        if (!(same == drawn[i]))
            return false;
    }
    return true;
}

// The pane area an element and its selection frame may paint: its turned
// bounds grown by its stroke, and by the handles, the rotation knob above
// and the angle label when `withSelection`.
QRectF paintedPaneArea(const VectorElement& element, const PageCanvasGeometry& geom, bool withSelection,
                       bool rotating)
{
    const auto bounds = rotatedBounds(element.frame, element.rotationDegrees);
    if (!bounds)
        return {};
    const QRectF rect = geom.pageToPane(*bounds);
    const double stroke = std::isfinite(element.style.strokeWidth) ? std::abs(element.style.strokeWidth) : 0;
    const double ink = stroke * geom.scale() + 6;
    if (!withSelection)
        return rect.adjusted(-ink, -ink, ink, ink);
    const bool labelled = rotating || std::abs(element.rotationDegrees) > 0.2;
    const double around = std::max(ink, labelled ? 48.0 : 8.0);
    return rect.adjusted(-around, -std::max(around, 32.0), around, around);
}

}  // namespace

void drawSinglePageScene(QPainter& painter, const VectorPage& page, const PageCanvasGeometry& geom,
                         const ElementGeometries& cachedGeometries, const QList<BackdropTile>& backdrop,
                         const SceneOverlay& overlay, VectorSceneRenderCache& cache)
{
    const QRectF sheet = geom.sheetRect();
    if (!isFinite(sheet))
        return;

    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    // The shadow is the sheet moved 4 points down with rounded corners; the
    // opaque sheet hides all of it but the strip below its bottom edge, so
    // only that strip is filled (large antialiased fills are costly).
    QPainterPath shadow;
    shadow.addRoundedRect(QRectF(sheet.left(), sheet.bottom() - 4, sheet.width(), 8), 4, 4);
    painter.fillPath(shadow, QColor::fromRgbF(0, 0, 0, 0.45f));

    const double dpr = painter.device() ? painter.device()->devicePixelRatioF() : 1.0;
    const QTransform world = painter.worldTransform();
    const QRectF paneOnDevice(QPointF(0, 0), geom.paneSize * dpr);
    const QRectF sheetOnDevice((sheet.x() + world.dx()) * dpr, (sheet.y() + world.dy()) * dpr, sheet.width() * dpr,
                               sheet.height() * dpr);
    const QRect held = sheetOnDevice.toAlignedRect().intersected(
        paneOnDevice.translated(world.dx() * dpr, world.dy() * dpr).toAlignedRect());
    // The dragged elements whose selection frames come from the live layer.
    struct LiveSelection {
        qsizetype first = 0;
        qsizetype end = 0;
        QPointF offset;
    };
    std::optional<LiveSelection> liveSelection;
    if (world.type() > QTransform::TxTranslate || held.isEmpty() || qint64(held.width()) * held.height() > 64LL << 20) {
        drawSheetContent(painter, page, geom, cachedGeometries, backdrop, overlay, cache);
    } else {
        const QPoint sheetPixel(int(std::floor(sheetOnDevice.x())), int(std::floor(sheetOnDevice.y())));
        SheetLayerState state{page.id,
                              page.elements,
                              page.redactedPDFRects,
                              page.backgroundColorHex,
                              page.width,
                              page.height,
                              page.pdfPageData.has_value(),
                              {},
                              {},
                              sheetOnDevice.size(),
                              sheetOnDevice.topLeft() - QPointF(sheetPixel),
                              held.translated(-sheetPixel),
                              dpr,
                              overlay.showPDFTextBoxes || overlay.textToolActive,
                              overlay.selection,
                              {},
                              true};
        for (const BackdropTile& tile : backdrop) {
            state.tileImages.append(tile.image.cacheKey());
            state.tileRects.append(tile.pageRect);
        }
        // Brings a complete layer drawn for other content up to `now` by
        // drawing again only where the content changed: where elements were
        // added, removed or changed, where a PDF text line's box came or went
        // with the selection, and where masks changed; whatever lies above a
        // changed element there is drawn again above it. False, with
        // nothing done, when the layer differs otherwise (the view, the
        // backdrop, the page) or the change covers much of it.
        auto redrawChanged = [&](SheetLayer& layer, SheetLayerState& now, qsizetype first, qsizetype end) {
            if (layer.unfinished() || layer.image.isNull() || layer.image.size() != held.size())
                return false;
            const SheetLayerState& was = layer.state;
            {
                SheetLayerState rest = was;
                SheetLayerState nowRest = now;
                rest.elements = nowRest.elements = ElementList();
                rest.selection = nowRest.selection = QSet<QUuid>();
                rest.masks = nowRest.masks = QList<MaskRect>();
                if (!(rest == nowRest))
                    return false;
            }
            constexpr qsizetype kMostChanged = 4096;
            const ElementList& before = was.elements;
            const ElementList& after = now.elements;
            const ElementList::ChangedRun run = ElementList::changedRun(before, after);
            const qsizetype same = run.start;
            const qsizetype oldEnd = run.oldEnd;
            const qsizetype newEnd = run.newEnd;
            if (run.size() > kMostChanged)
                return false;
            // The areas to draw again, in page points.
            const double s = geom.scale();
            QList<QRectF> changed;
            const auto addInk = [&](const VectorElement& changedElement) {
                changed.append(ElementInk::area(changedElement, outlineBounds(changedElement, {}), s));
            };
            auto element = before.begin() + same;
            for (qsizetype i = same; i < oldEnd; ++i, ++element)
                addInk(*element);
            // Elements added on top of all the others, and nothing else
            // changed underneath: they are drawn over the picture as it is.
            bool onlyAddedOnTop = oldEnd == same && newEnd == after.size();
            element = after.begin() + same;
            for (qsizetype i = same; i < newEnd; ++i, ++element) {
                addInk(*element);
                // PDF text brings masks, which lie under every element.
                onlyAddedOnTop = onlyAddedOnTop && !element->isPDFText();
            }
            const ElementList& elements = page.elements;
            if (was.selection != now.selection) {
                if (was.selection.size() + now.selection.size() > kMostChanged)
                    return false;
                QSet<QUuid> flipped;
                const auto flip = [&flipped](const QSet<QUuid>& from, const QSet<QUuid>& to) {
                    for (const QUuid& id : from) {
                        if (!to.contains(id))
                            flipped.insert(id);
                    }
                };
                flip(was.selection, now.selection);
                flip(now.selection, was.selection);
                // Only PDF text lines are drawn otherwise when chosen.
                for (qsizetype b = elements.blockOf(first);
                     !flipped.isEmpty() && b < elements.blockCount() && elements.blockStart(b) < end; ++b) {
                    if (!cache.blockInk(elements, b).hasPDFText)
                        continue;
                    for (const VectorElement& candidate : elements.block(b)) {
                        if (candidate.isPDFText() && flipped.contains(candidate.id)) {
                            addInk(candidate);
                            onlyAddedOnTop = false;
                        }
                    }
                }
            }
            if (was.masks != now.masks) {
                onlyAddedOnTop = false;
                if (was.masks.size() + now.masks.size() > kMostChanged)
                    return false;
                const auto gone = [&](const QList<MaskRect>& from, const QList<MaskRect>& to) {
                    for (const MaskRect& mask : from) {
                        if (!to.contains(mask))
                            changed.append(mask.rect.toQRectF().normalized().adjusted(-2 / s, -2 / s, 2 / s, 2 / s));
                    }
                };
                gone(was.masks, now.masks);
                gone(now.masks, was.masks);
            }
            const QTransform tx = geom.pageToPaneTransform();
            // In device pixels of the layer, a pixel wider on every side.
            const QRectF layerRect(QPointF(0, 0), QSizeF(held.size()));
            QList<QRect> pixels;
            QRect united;
            qint64 covered = 0;
            for (const QRectF& inPage : std::as_const(changed)) {
                if (!isFinite(inPage) || inPage.isEmpty())
                    continue;
                const QRectF r = tx.mapRect(inPage);
                const QRectF onLayer = QRectF((r.x() + world.dx()) * dpr - held.x(), (r.y() + world.dy()) * dpr - held.y(),
                                              r.width() * dpr, r.height() * dpr)
                                           .adjusted(-2, -2, 2, 2)
                                           .intersected(layerRect);
                if (onLayer.isEmpty())
                    continue;
                const QRect part = onLayer.toAlignedRect();
                pixels.append(part);
                united = united.united(part);
                covered += qint64(part.width()) * part.height();
            }
            if (pixels.size() > 64) {
                pixels = {united};
                covered = qint64(united.width()) * united.height();
            }
            // Drawn whole when most of it changes (and in slices on a very
            // large page).
            if (covered * 3 > qint64(held.width()) * held.height())
                return false;
            if (!pixels.isEmpty()) {
                QRegion region;
                for (const QRect& part : std::as_const(pixels))
                    region += part;
                RedrawArea area;
                const QTransform toPage = tx.inverted();
                for (const QRect& part : region)
                    area.add(toPage.mapRect(QRectF((part.x() + held.x()) / dpr - world.dx(),
                                                   (part.y() + held.y()) / dpr - world.dy(), part.width() / dpr,
                                                   part.height() / dpr)));
                if (now.base && !onlyAddedOnTop) {
                    // The masks there, as the page gives them: those of the
                    // redactions and of the PDF text that may reach the area.
                    VectorPage nearby = page;
                    nearby.elements.clear();
                    for (qsizetype b = 0; b < elements.blockCount(); ++b) {
                        const VectorSceneRenderCache::BlockInk& block = cache.blockInk(elements, b);
                        if (block.hasPDFText && area.intersects(block.ink.at(s)))
                            nearby.elements.append(ElementList(block.block));
                    }
                    area.masks = nearby.activeMaskRects();
                }
                // The last whole picture is this one: it is not copied for
                // the change.
                const bool keepsShown = !layer.shown.isNull();
                layer.shown = QImage();
                QPainter layerPainter(&layer.image);
                layerPainter.setWorldTransform(QTransform::fromScale(1 / dpr, 1 / dpr));
                layerPainter.setClipRegion(region);
                if (!onlyAddedOnTop) {
                    layerPainter.setCompositionMode(QPainter::CompositionMode_Source);
                    layerPainter.fillRect(QRect(QPoint(0, 0), held.size()), Qt::transparent);
                    layerPainter.setCompositionMode(QPainter::CompositionMode_SourceOver);
                }
                layerPainter.setWorldTransform(QTransform());
                layerPainter.translate(-held.x() / dpr + world.dx(), -held.y() / dpr + world.dy());
                if (onlyAddedOnTop)
                    drawSheetContent(layerPainter, page, geom, cachedGeometries, backdrop, overlay, cache,
                                     first + same, end, false, true, &area);
                else
                    drawSheetContent(layerPainter, page, geom, cachedGeometries, backdrop, overlay, cache, first, end,
                                     now.base, true, &area);
                layerPainter.end();
                if (keepsShown)
                    layer.shown = layer.image;
            }
            layer.state = std::move(now);
            if (!layer.shown.isNull())
                layer.shownState = layer.state;
            return true;
        };
        // Brings a layer up to date with its state and copies it out.
        auto drawLayer = [&](VectorSceneRenderCache::SheetPart part, SheetLayerState layerState, qsizetype first,
                             qsizetype end) {
            SheetLayer& layer = cache.sheetLayer(part);
            if ((!(layer.state == layerState) || layer.image.isNull()) &&
                !redrawChanged(layer, layerState, first, end)) {
                if (layer.image.size() != held.size() || layer.image.constBits() == layer.shown.constBits())
                    layer.image = QImage(held.size(), QImage::Format_ARGB32_Premultiplied);
                layer.image.fill(Qt::transparent);
                layer.image.setDevicePixelRatio(dpr);
                layer.state = std::move(layerState);
                layer.nextElement = first;
            }
            if (layer.unfinished()) {
                QPainter layerPainter(&layer.image);
                layerPainter.translate(-held.x() / dpr + world.dx(), -held.y() / dpr + world.dy());
                // A page of very many elements is drawn in slices of a fixed
                // size, as many as fit in one frame's time.
                const bool sliced = overlay.progressive && end - first > kProgressiveElements;
                QElapsedTimer spent;
                spent.start();
                do {
                    const qsizetype from = layer.nextElement;
                    const qsizetype to = sliced ? std::min(end, from + kProgressiveSlice) : end;
                    drawSheetContent(layerPainter, page, geom, cachedGeometries, backdrop, overlay, cache, from, to,
                                     layer.state.base && from == first);
                    layer.nextElement = to;
                } while (layer.nextElement < end && spent.elapsed() < kProgressiveMilliseconds);
                layerPainter.end();
                if (layer.nextElement >= end) {
                    layer.nextElement = -1;
                    // Kept only where pictures take several frames.
                    layer.shown = sliced ? layer.image : QImage();
                    layer.shownState = sliced ? layer.state : SheetLayerState();
                }
            }
            // While a new picture is drawn in slices, the last whole one of
            // the same view stands in for it.
            const SheetLayerState& was = layer.shownState;
            const SheetLayerState& now = layer.state;
            const bool standIn = layer.unfinished() && !layer.shown.isNull() && was.pageID == now.pageID &&
                                 was.sheetSize == now.sheetSize && was.subpixelOrigin == now.subpixelOrigin &&
                                 was.heldPart == now.heldPart && was.devicePixelRatio == now.devicePixelRatio;
            painter.save();
            painter.setWorldTransform(QTransform::fromScale(1 / dpr, 1 / dpr));
            painter.drawImage(held.topLeft(), standIn ? layer.shown : layer.image);
            painter.restore();
        };
        // The elements being dragged and their selection frames: drawn
        // again only when they changed otherwise than by moving together by
        // whole device pixels; else their last drawing is copied at the
        // offset.
        auto drawLiveLayer = [&](qsizetype first, qsizetype end, const SheetLayerState& sheetState) {
            LiveLayer& live = cache.liveLayer();
            const ElementList elements = page.elements.mid(first, end - first);
            SheetLayerState liveState = sheetState;
            liveState.elements.clear();
            liveState.tileImages.clear();
            liveState.tileRects.clear();
            liveState.base = false;
            const QPointF worldOffset(world.dx(), world.dy());
            QPointF by;
            QPoint shift;
            bool reuse = live.complete && live.state == liveState && live.paneSize == geom.paneSize &&
                         live.worldOffset == worldOffset && live.rotating == overlay.isRotatingElement &&
                         movedTogether(elements, live.drawn, by);
            if (reuse) {
                const QPointF pixels = by * geom.scale() * dpr;
                shift = pixels.toPoint();
                reuse = std::abs(pixels.x()) < 1e7 && std::abs(pixels.y()) < 1e7;
            }
            if (!reuse) {
                shift = QPoint();
                // Both over the whole pane and a margin around it: the
                // elements are clipped to the sheet only when copied, so that
                // a part that lay off the sheet or the pane shows once moved
                // into view.
                const QSize panePixels = ((geom.paneSize + QSizeF(2, 2) * kLiveMargin) * dpr).toSize();
                for (QImage* image : {&live.elements, &live.selection}) {
                    if (image->size() != panePixels)
                        *image = QImage(panePixels, QImage::Format_ARGB32_Premultiplied);
                    image->fill(Qt::transparent);
                    image->setDevicePixelRatio(dpr);
                }
                QPainter elementPainter(&live.elements);
                elementPainter.translate(kLiveMargin, kLiveMargin);
                drawSheetContent(elementPainter, page, geom, cachedGeometries, backdrop, overlay, cache, first, end,
                                 false, false);
                elementPainter.end();

                QPainter selectionPainter(&live.selection);
                selectionPainter.setRenderHint(QPainter::Antialiasing);
                selectionPainter.translate(kLiveMargin, kLiveMargin);
                const QRectF pane =
                    QRectF(QPointF(0, 0), geom.paneSize).adjusted(-kLiveMargin, -kLiveMargin, kLiveMargin, kLiveMargin);
                live.complete = true;
                for (const VectorElement& element : elements) {
                    if (!element.visible)
                        continue;
                    const bool selected = overlay.selection.contains(element.id);
                    if (selected)
                        drawSelection(selectionPainter, element, geom, overlay.isRotatingElement,
                                      cache.textLayouts());
                    live.complete = live.complete && pane.contains(paintedPaneArea(element, geom, false, false)) &&
                                    (!selected ||
                                     pane.contains(paintedPaneArea(element, geom, true, overlay.isRotatingElement)));
                }
                selectionPainter.end();
                live.state = std::move(liveState);
                live.drawn = elements;
                live.paneSize = geom.paneSize;
                live.worldOffset = worldOffset;
                live.rotating = overlay.isRotatingElement;
            }
            const QRectF heldPane(held.x() / dpr - world.dx(), held.y() / dpr - world.dy(), held.width() / dpr,
                                  held.height() / dpr);
            painter.save();
            painter.setClipRect(heldPane, Qt::IntersectClip);
            const QPointF origin = QPointF(shift) / dpr - QPointF(kLiveMargin, kLiveMargin);
            painter.drawImage(origin, live.elements);
            painter.restore();
            liveSelection = LiveSelection{first, end, origin};
        };
        // The elements being dragged, when they follow one another in the
        // drawing order.
        qsizetype liveFirst = page.elements.size();
        qsizetype liveLast = -1;
        qsizetype liveCount = 0;
        for (qsizetype i = 0; !overlay.liveElements.isEmpty() && i < page.elements.size(); ++i) {
            if (overlay.liveElements.contains(page.elements[i].id)) {
                liveFirst = std::min(liveFirst, i);
                liveLast = i;
                ++liveCount;
            }
        }
        if (liveCount > 0 && liveLast - liveFirst + 1 == liveCount) {
            SheetLayerState under = state;
            under.elements = page.elements.mid(0, liveFirst);
            under.masks = page.activeMaskRects();
            SheetLayerState over = state;
            over.elements = page.elements.mid(liveLast + 1);
            over.base = false;
            drawLayer(VectorSceneRenderCache::SheetPart::underLive, std::move(under), 0, liveFirst);
            drawLiveLayer(liveFirst, liveLast + 1, state);
            if (liveLast + 1 < page.elements.size())
                drawLayer(VectorSceneRenderCache::SheetPart::overLive, std::move(over), liveLast + 1,
                          page.elements.size());
        } else {
            drawLayer(VectorSceneRenderCache::SheetPart::whole, std::move(state), 0, page.elements.size());
        }
    }

    painter.save();
    painter.setClipRect(sheet.toAlignedRect(), Qt::IntersectClip);
    drawPreviews(painter, geom, overlay);
    painter.restore();

    QPainterPath outline;
    outline.addRect(sheet);
    painter.strokePath(outline, scenePen(withAlpha(Qt::white, 0.22), 1));

    if (!overlay.selection.isEmpty()) {
        for (const qsizetype i : cache.selectedPlaces(page.elements, overlay.selection)) {
            if (liveSelection && i >= liveSelection->first && i < liveSelection->end)
                continue;
            const VectorElement& element = page.elements[i];
            if (element.visible)
                drawSelection(painter, element, geom, overlay.isRotatingElement, cache.textLayouts());
        }
        if (liveSelection)
            painter.drawImage(liveSelection->offset, cache.liveLayer().selection);
    }
    painter.restore();
}

}  // namespace zelvane
