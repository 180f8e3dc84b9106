#include "PageThumbnailDrawing.h"

#include "ElementDrawing.h"
#include "PageCanvasGeometry.h"
#include "model/RGBAColor.h"
#include "render/MaskCover.h"

#include <QPainter>
#include <cmath>

namespace zelvane {

namespace {

std::optional<QColor> opaqueColor(const QString& hex)
{
    const auto color = RGBAColor::fromHex(hex);
    if (!color)
        return std::nullopt;
    return QColor::fromRgbF(float(color->r), float(color->g), float(color->b));
}

}  // namespace

void drawPageThumbnail(QPainter& painter, const VectorPage& page, const QSizeF& size,
                       const QList<BackdropTile>& backdrop, VectorSceneRenderCache& cache)
{
    if (!(size.width() > 0) || !(size.height() > 0) || !std::isfinite(size.width()) || !std::isfinite(size.height()))
        return;
    const PageCanvasGeometry geom{size, page.width, page.height, 1, QSizeF(0, 0), 0};
    const QTransform tx = geom.pageToPaneTransform();
    const QColor pageColor = opaqueColor(page.backgroundColorHex).value_or(QColor(Qt::white));

    painter.save();
    painter.setClipRect(QRectF(QPointF(0, 0), size), Qt::IntersectClip);
    painter.fillRect(QRectF(QPointF(0, 0), size), pageColor);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    for (const BackdropTile& tile : backdrop) {
        if (!tile.image.isNull())
            painter.drawImage(tx.mapRect(tile.pageRect), tile.image);
    }
    const QRectF sheet = geom.baseSheetRect();
    const double s = sheet.width() / std::max(page.width, 1.0);
    for (const MaskRect& mask : page.activeMaskRects()) {
        const QRectF rect(sheet.x() + mask.rect.x * s, sheet.y() + mask.rect.y * s, mask.rect.width * s,
                          mask.rect.height * s);
        painter.fillRect(coveringDevicePixels(rect, painter.deviceTransform()),
                         opaqueColor(mask.colorHex).value_or(pageColor));
    }
    for (const VectorElement& element : page.elements) {
        if (!element.visible)
            continue;
        const TextPayload* text = element.text();
        if (text && text->isPDFExtracted && page.pdfPageData && !element.hasModifiedPDFText())
            continue;
        const CachedElementGeometry outline = VectorSceneRenderCache::buildGeometry(element);
        drawElementInLayer(painter, element, geom, tx, &outline, cache, cache.printedLine(page, element));
    }
    painter.restore();
}

QImage renderPageThumbnail(const VectorPage& page, const QSizeF& size, double devicePixelRatio,
                           VectorSceneRenderCache& cache)
{
    const QSize pixels = (size * devicePixelRatio).toSize();
    if (pixels.isEmpty())
        return {};
    QImage image(pixels, QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(devicePixelRatio);
    image.fill(Qt::white);
    const double pixelsPerPoint = pixels.width() / std::max(page.width, 1.0);
    const QList<BackdropTile> backdrop =
        cache.backdropImages(page, pixelsPerPoint, QRectF(0, 0, page.width, page.height),
                             VectorSceneRenderCache::BackdropWait::exact);
    QPainter painter(&image);
    drawPageThumbnail(painter, page, size, backdrop, cache);
    return image;
}

}  // namespace zelvane
