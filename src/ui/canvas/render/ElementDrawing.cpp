#include "ElementDrawing.h"

#include "PaneText.h"
#include "model/RGBAColor.h"
#include "render/ElementRenderer.h"

#include <QPainter>
#include <QPainterPath>
#include <cmath>

namespace zelvane {

namespace {

QColor withOpacity(double r, double g, double b, double opacity)
{
    return QColor::fromRgbF(float(r), float(g), float(b), float(std::clamp(opacity, 0.0, 1.0)));
}

// Flat caps, miter joins with limit 10 unless told otherwise; dash lengths
// in pane points (Qt counts them in pen widths).
QPen canvasPen(const QColor& color, double width, Qt::PenCapStyle cap, Qt::PenJoinStyle join,
               const QList<double>& dashInPoints = {})
{
    QPen pen(color, width, Qt::SolidLine, cap, join);
    pen.setMiterLimit(10);
    if (!dashInPoints.isEmpty() && width > 0) {
        QList<qreal> pattern;
        for (const double length : dashInPoints)
            pattern.append(length / width);
        pen.setDashPattern(pattern);
    }
    return pen;
}

// Centre of the pane rectangle, where the element's rotation turns.
void rotateLayer(QPainter& painter, const QRectF& paneRect, double degrees)
{
    if (std::abs(degrees) <= 0.01 || !std::isfinite(degrees))
        return;
    const QPointF c = paneRect.center();
    painter.translate(c);
    painter.rotate(degrees);
    painter.translate(-c);
}

void drawAccents(QPainter& painter, const QList<PDFCodec::SyntheticAccentPlacement>& accents, double lineStartX,
                 double baseline, double s, double fontSize, const QColor& color)
{
    if (accents.isEmpty())
        return;
    QPainterPath path;
    for (const PDFCodec::SyntheticAccentPlacement& accent : accents) {
        const double x = lineStartX + accent.centerX * s;
        const double t = baseline + accent.capTopY * s;
        const double b0 = baseline;
        const double k = accent.capHeight * s;
        switch (accent.kind) {
        case PDFCodec::SyntheticAccentKind::acute:
            path.moveTo(x - 0.05 * k, t - 0.08 * k);
            path.lineTo(x + 0.12 * k, t - 0.23 * k);
            break;
        case PDFCodec::SyntheticAccentKind::grave:
            path.moveTo(x + 0.05 * k, t - 0.08 * k);
            path.lineTo(x - 0.12 * k, t - 0.23 * k);
            break;
        case PDFCodec::SyntheticAccentKind::circumflex:
            path.moveTo(x - 0.13 * k, t - 0.08 * k);
            path.lineTo(x, t - 0.22 * k);
            path.lineTo(x + 0.13 * k, t - 0.08 * k);
            break;
        case PDFCodec::SyntheticAccentKind::diaeresis: {
            const double r = std::max(0.08 * k, 0.8);
            path.addEllipse(QRectF(x - 0.11 * k - r, t - 0.16 * k - r, 2 * r, 2 * r));
            path.addEllipse(QRectF(x + 0.11 * k - r, t - 0.16 * k - r, 2 * r, 2 * r));
            break;
        }
        case PDFCodec::SyntheticAccentKind::cedilla:
            path.moveTo(x, b0);
            path.lineTo(x - 0.03 * k, b0 + 0.12 * k);
            path.lineTo(x + 0.06 * k, b0 + 0.2 * k);
            break;
        }
    }
    painter.strokePath(path, canvasPen(color, std::max(0.09 * fontSize * s, 1.0), Qt::RoundCap, Qt::RoundJoin));
}

void drawText(QPainter& painter, const VectorElement& element, const TextPayload& payload, const QRectF& paneRect,
              double s, TextLayoutCache& layouts)
{
    const double opacity = element.style.opacity;
    const QColor color = canvasColor(element.style.fillColorHex, opacity)
                             .value_or(canvasColor(element.style.strokeColorHex, opacity)
                                           .value_or(withOpacity(0.07, 0.07, 0.09, opacity)));
    const double fontSize = std::isfinite(payload.fontSize) ? payload.fontSize : 5.0;
    const PaneTextBlock& block = layouts.block(payload, s);
    const double baselineOffset = payload.baselineOffset.value_or(block.metricCapHeight);
    const double lineHeight = 1.25 * fontSize * s;
    for (size_t i = 0; i < block.lines.size(); ++i) {
        const PaneTextBlock::Line& line = block.lines[i];
        if (line.text.isEmpty())
            continue;
        const double baseline = paneRect.top() + baselineOffset * s + double(i) * lineHeight;
        double x = paneRect.left();
        if (payload.alignment == TextAlignmentMode::center)
            x = paneRect.center().x() - line.text.width() * 0.5;
        else if (payload.alignment == TextAlignmentMode::right)
            x = paneRect.right() - line.text.width();
        line.text.draw(painter, QPointF(x, baseline - line.text.ascent()), color);
        // From where the line starts, so centred and right-aligned lines
        // keep their accents over their letters.
        drawAccents(painter, line.accents, x, baseline, s, fontSize, color);
    }
}

// The decoded artwork stretched over the pane rectangle at the element's
// opacity; false when there is none to draw.
bool drawArtwork(QPainter& painter, const std::optional<QByteArray>& data, const std::optional<QString>& ext,
                 bool removeWhiteBackground, const QRectF& paneRect, double opacity, VectorSceneRenderCache& cache)
{
    if (!data || data->isEmpty())
        return false;
    const QImage image = cache.assetImage(*data, ext, removeWhiteBackground);
    if (image.isNull())
        return false;
    painter.setOpacity(painter.opacity() * std::clamp(opacity, 0.0, 1.0));
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(paneRect, image);
    return true;
}

void drawSignatureCaption(QPainter& painter, const VectorElement& element, const SignaturePayload& payload,
                          const QRectF& paneRect, double s, TextLayoutCache& layouts)
{
    QStringList parts;
    for (const std::optional<QString>& part :
         {std::optional<QString>(payload.signerName), payload.dateLabel, payload.caption}) {
        if (part && !part->isEmpty())
            parts.append(*part);
    }
    if (parts.isEmpty())
        return;
    const QColor color = canvasColor(element.style.strokeColorHex, element.style.opacity)
                             .value_or(withOpacity(0x1E / 255.0, 0x3A / 255.0, 0x8A / 255.0, element.style.opacity));
    const PaneTextLine& line =
        layouts.line(parts.join(QStringLiteral(" \u00B7 ")), paneSystemFont(std::max(8.5 * s, 6.0), QFont::Medium));
    // Bottom-left corner of the line's box.
    const double bottom = paneRect.bottom() - 2 * s;
    line.draw(painter, QPointF(paneRect.left() + 2, bottom - line.ascent() - line.descent()), color);
}

void drawStampBadge(QPainter& painter, const VectorElement& element, const StampPayload& payload,
                    const QRectF& paneRect, double s, TextLayoutCache& layouts)
{
    const double opacity = element.style.opacity;
    QColor color = canvasColor(element.style.strokeColorHex, opacity)
                       .value_or(canvasColor(defaultColorHex(payload.stampKind), opacity)
                                     .value_or(withOpacity(0.1, 0.6, 0.3, opacity)));
    QColor tint = color;
    tint.setAlphaF(color.alphaF() * 0.1f);

    QPainterPath plate;
    plate.addRoundedRect(paneRect, 5 * s, 5 * s);
    painter.fillPath(plate, tint);
    painter.strokePath(plate, canvasPen(color, std::max(2 * s, 1.2), Qt::FlatCap, Qt::MiterJoin));

    const QRectF inner = paneRect.adjusted(3 * s, 3 * s, -3 * s, -3 * s);
    if (inner.width() > 4 && inner.height() > 4) {
        QPainterPath border;
        border.addRoundedRect(inner, 3.5 * s, 3.5 * s);
        painter.strokePath(border, canvasPen(color, std::max(0.9 * s, 0.7), Qt::FlatCap, Qt::MiterJoin));
    }

    const double frameHeight = element.frame.height;
    const PaneTextLine& title = layouts.line(
        payload.title, paneSystemFont(std::max(std::min(frameHeight * 0.28, 13.5) * s, 6.0), QFont::Bold));
    title.drawCentered(painter, QPointF(paneRect.center().x(), paneRect.top() + 0.38 * paneRect.height()), color);
    if (!payload.subtitle.isEmpty()) {
        const PaneTextLine& subtitle = layouts.line(
            payload.subtitle, paneSystemFont(std::max(std::min(frameHeight * 0.17, 8.5) * s, 5.0), QFont::Medium));
        subtitle.drawCentered(painter, QPointF(paneRect.center().x(), paneRect.top() + 0.72 * paneRect.height()),
                              color);
    }
}

}  // namespace

std::optional<QColor> canvasColor(const std::optional<QString>& hex, double opacity)
{
    const auto color = RGBAColor::fromHex(hex);
    if (!color)
        return std::nullopt;
    return withOpacity(color->r, color->g, color->b, opacity);
}

bool StrokeBatch::add(const VectorElement& element, const PageCanvasGeometry& geom, const QTransform& tx,
                      const CachedElementGeometry* cached, QPainter& painter)
{
    const VectorStyle& style = element.style;
    const bool outlineOnly = std::holds_alternative<PathPayload>(element.kind)
                             || std::holds_alternative<ShapePayload>(element.kind);
    if (!outlineOnly || !cached || !cached->path || cached->path->isEmpty() || style.dashed || style.opacity < 1
        || !(style.strokeWidth > 0) || RGBAColor::fromHex(style.fillColorHex))
        return false;
    const auto stroke = canvasColor(style.strokeColorHex, 1);
    if (!stroke)
        return false;
    const double s = geom.scale();
    const double width = std::max(style.strokeWidth * s, 0.8);
    if (!m_empty && (stroke->rgba() != m_color || width != m_width))
        flush(painter);
    m_color = stroke->rgba();
    m_width = width;
    m_empty = false;

    QTransform toPane = tx;
    const double degrees = element.rotationDegrees;
    if (std::isfinite(degrees) && std::abs(degrees) > 0.01) {
        const QPointF c = geom.pageToPane(element.frame).center();
        toPane *= QTransform::fromTranslate(-c.x(), -c.y()) * QTransform().rotate(degrees)
                  * QTransform::fromTranslate(c.x(), c.y());
    }
    m_outlines.addPath(toPane.map(*cached->path));
    if (cached->arrowHeadPath)
        m_heads.addPath(toPane.map(*cached->arrowHeadPath));
    return true;
}

void StrokeBatch::flush(QPainter& painter)
{
    if (m_empty)
        return;
    const QColor color = QColor::fromRgba(m_color);
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.strokePath(m_outlines, canvasPen(color, m_width, Qt::RoundCap, Qt::RoundJoin));
    if (!m_heads.isEmpty())
        painter.fillPath(m_heads, color);
    painter.restore();
    m_outlines.clear();
    m_heads.clear();
    m_empty = true;
}

void drawElementInLayer(QPainter& painter, const VectorElement& element, const PageCanvasGeometry& geom,
                        const QTransform& tx, const CachedElementGeometry* cached, VectorSceneRenderCache& cache,
                        const PDFCodec::PrintedLine* printed)
{
    const QRectF paneRect = geom.pageToPane(element.frame);
    if (!std::isfinite(paneRect.x()) || !std::isfinite(paneRect.y()) || !std::isfinite(paneRect.width())
        || !std::isfinite(paneRect.height()))
        return;
    if (printed && element.text()) {
        // Text has no outline: the export's drawing is the whole element.
        painter.save();
        painter.setTransform(tx, true);
        PDFCodec::renderElement(element, painter, printed);
        painter.restore();
        return;
    }
    const double s = geom.scale();
    const VectorStyle& style = element.style;

    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    rotateLayer(painter, paneRect, element.rotationDegrees);

    const auto fill = canvasColor(style.fillColorHex, style.opacity);
    const auto stroke = canvasColor(style.strokeColorHex, style.opacity);
    if (cached && cached->path && !cached->path->isEmpty()) {
        const QPainterPath path = tx.map(*cached->path);
        if (fill)
            painter.fillPath(path, *fill);
        if (stroke && style.strokeWidth > 0) {
            const double zoom = geom.zoomScale;
            const QList<double> dashes = style.dashed ? QList<double>{6 * zoom, 4 * zoom} : QList<double>{};
            painter.strokePath(path, canvasPen(*stroke, std::max(style.strokeWidth * s, 0.8), Qt::RoundCap,
                                               Qt::RoundJoin, dashes));
        }
    }
    if (cached && cached->arrowHeadPath) {
        if (const auto headColor = stroke ? stroke : fill)
            painter.fillPath(tx.map(*cached->arrowHeadPath), *headColor);
    }

    std::visit(
        [&](const auto& payload) {
            using Payload = std::decay_t<decltype(payload)>;
            if constexpr (std::is_same_v<Payload, TextPayload>) {
                drawText(painter, element, payload, paneRect, s, cache.textLayouts());
            } else if constexpr (std::is_same_v<Payload, SignaturePayload>) {
                if (!drawArtwork(painter, payload.assetData, payload.assetExtension, payload.removeWhiteBackground,
                                 paneRect, style.opacity, cache))
                    drawSignatureCaption(painter, element, payload, paneRect, s, cache.textLayouts());
            } else if constexpr (std::is_same_v<Payload, StampPayload>) {
                if (!drawArtwork(painter, payload.assetData, payload.assetExtension, payload.removeWhiteBackground,
                                 paneRect, style.opacity, cache))
                    drawStampBadge(painter, element, payload, paneRect, s, cache.textLayouts());
            }
        },
        element.kind);
    painter.restore();
}

}  // namespace zelvane
