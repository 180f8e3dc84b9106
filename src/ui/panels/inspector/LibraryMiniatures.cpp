#include "panels/inspector/LibraryMiniatures.h"

#include "controls/SymbolIcon.h"
#include "model/RGBAColor.h"
#include "panels/inspector/ArtworkThumbnails.h"
#include "theme/Theme.h"

#include <QPainter>
#include <QPainterPath>
#include <cmath>

namespace zelvane::LibraryMiniatures {

namespace {

// True when the picture was there to draw.
bool paintArtwork(QPainter& painter, const QRectF& tile, const QByteArray& data, const std::optional<QString>& ext,
                  bool removeWhiteBackground)
{
    const ArtworkThumbnails::Lookup found =
        ArtworkThumbnails::shared().lookup(data, ext, removeWhiteBackground);
    if (found.state != ArtworkThumbnails::State::ready || found.image.isNull())
        return false;
    const QRectF inner = tile.adjusted(2, 2, -2, -2);
    QSizeF size = found.image.size();
    if (size.isEmpty() || inner.isEmpty())
        return true;
    size.scale(inner.size(), Qt::KeepAspectRatio);
    const QRectF target(inner.center().x() - size.width() / 2, inner.center().y() - size.height() / 2, size.width(),
                        size.height());
    painter.save();
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(target, found.image);
    painter.restore();
    return true;
}

}  // namespace

void paintSignature(QPainter& painter, const QRectF& tile, const SignaturePreset& preset)
{
    if (preset.assetData && !preset.assetData->isEmpty()
        && paintArtwork(painter, tile, *preset.assetData, preset.assetExtension, preset.removeWhiteBackground))
        return;
    QPainterPath path;
    for (const QList<VectorPoint>& stroke : preset.strokes) {
        bool first = true;
        for (const VectorPoint& point : stroke) {
            if (!std::isfinite(point.x) || !std::isfinite(point.y))
                continue;
            const QPointF at(tile.left() + point.x * tile.width(), tile.top() + point.y * tile.height());
            if (first)
                path.moveTo(at);
            else
                path.lineTo(at);
            first = false;
        }
    }
    if (path.isEmpty())
        return;
    const std::optional<RGBAColor> parsed = RGBAColor::fromHex(preset.colorHex);
    QColor ink = parsed ? parsed->toQColor() : QColor::fromRgbF(0.12f, 0.23f, 0.54f);
    ink.setAlphaF(1.0f);
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.strokePath(path, QPen(ink, 1.5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter.restore();
}

void paintStamp(QPainter& painter, const QRectF& tile, const StampPreset& preset)
{
    if (paintArtwork(painter, tile, preset.assetData, preset.assetExtension, preset.removeWhiteBackground))
        return;
    constexpr int side = 13;
    const qreal dpr = painter.device() ? painter.device()->devicePixelRatioF() : 1.0;
    painter.drawPixmap(QRectF(tile.center().x() - side / 2.0, tile.center().y() - side / 2.0, side, side),
                       SymbolIcon::tinted(QStringLiteral("seal"), side, Theme::accent(), dpr),
                       QRectF(0, 0, side * dpr, side * dpr));
}

}  // namespace zelvane::LibraryMiniatures
