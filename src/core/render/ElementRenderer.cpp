#include "render/ElementRenderer.h"

#include "fonts/FontLookup.h"
#include "fonts/SyntheticAccents.h"
#include "fonts/TextFonts.h"
#include "model/RGBAColor.h"
#include "render/ArtworkRenderer.h"

#include <QFontMetricsF>
#include <QImage>
#include <QPaintEngine>
#include <QPainter>
#include <QPainterPath>
#include <cmath>

namespace zelvane::PDFCodec {

namespace {

const QColor kDefaultInk = QColor::fromRgbF(0.07f, 0.07f, 0.09f, 1.0f);

std::optional<QColor> colorOf(const std::optional<QString>& hex)
{
    if (const auto color = RGBAColor::fromHex(hex)) {
        return color->toQColor();
    }
    return std::nullopt;
}

// The platform's stroke defaults: flat caps, miter joins with limit 10, and
// dashes measured in points (Qt measures them in pen widths).
QPen strokePen(const QColor& color, double width, bool dashed, Qt::PenCapStyle cap = Qt::FlatCap,
               Qt::PenJoinStyle join = Qt::MiterJoin)
{
    QPen pen(color, width, Qt::SolidLine, cap, join);
    pen.setMiterLimit(10);
    if (dashed && width > 0) {
        pen.setDashPattern({6 / width, 4 / width});
    }
    return pen;
}

// The element's outline colour when it has one and a width above 0.
std::optional<QColor> wantedStroke(const VectorStyle& style)
{
    const auto stroke = colorOf(style.strokeColorHex);
    if (stroke && style.strokeWidth > 0) {
        return stroke;
    }
    return std::nullopt;
}

double lineWidth(const VectorStyle& style)
{
    return std::isnan(style.strokeWidth) ? 0.5 : std::max(style.strokeWidth, 0.5);
}

QPointF mapped(const VectorRect& frame, const VectorPoint& p)
{
    return {frame.x + frame.width * p.x, frame.y + frame.height * p.y};
}

// A font named the way documents name it ("HelveticaNeue-Bold"), through the
// same road as text elements.
QFont namedFont(const QString& postScriptName, bool bold, double size)
{
    TextPayload payload;
    payload.fontFamily = QStringLiteral("Helvetica Neue");
    payload.postScriptFontName = postScriptName;
    payload.fontSize = size;
    payload.isBold = bold;
    return resolveFont(payload, size);
}

void fillAndStroke(QPainter& painter, const QPainterPath& path, const std::optional<QColor>& fill,
                   const std::optional<QColor>& stroke, double width, bool dashed)
{
    if (fill) {
        painter.fillPath(path, *fill);
    }
    if (stroke) {
        painter.strokePath(path, strokePen(*stroke, width, dashed));
    }
}

// Where an element lies for Qt's PDF writer, which cannot write a
// coordinate beyond about four billion: it writes bytes that PDF readers
// stop at, losing the rest of the page.
enum class PDFReach {
    writable,  // drawn as on any other device
    offPage,   // wholly that far off (or nowhere): it shows nothing on the page
    straddling // reaching that far from the page it shows on
};

// The element's box on the device, turned, with room for its stroke.
QRectF deviceBox(const VectorElement& element, const QPainter& painter)
{
    const double stroke = std::isfinite(element.style.strokeWidth) ? std::max(element.style.strokeWidth, 0.0) : 0.0;
    return painter.deviceTransform().mapRect(turnedFrame(element).adjusted(-stroke, -stroke, stroke, stroke));
}

PDFReach pdfReach(const VectorElement& element, const QPainter& painter)
{
    const QPaintEngine* engine = painter.paintEngine();
    if (!engine || engine->type() != QPaintEngine::Pdf) {
        return PDFReach::writable;
    }
    constexpr double kFarthest = 1e9;
    const QRectF box = deviceBox(element, painter);
    if (!std::isfinite(box.left()) || !std::isfinite(box.top()) || !std::isfinite(box.right())
        || !std::isfinite(box.bottom())) {
        return PDFReach::offPage;
    }
    if (box.left() >= -kFarthest && box.right() <= kFarthest && box.top() >= -kFarthest && box.bottom() <= kFarthest) {
        return PDFReach::writable;
    }
    const QRectF page(0, 0, painter.device()->width(), painter.device()->height());
    return box.intersects(page) ? PDFReach::straddling : PDFReach::offPage;
}

void drawShape(const VectorElement& element, const ShapePayload& shape, QPainter& painter)
{
    const VectorRect& f = element.frame;
    const QRectF rect = f.toQRectF();
    const VectorStyle& style = element.style;
    const auto fill = colorOf(style.fillColorHex);
    const auto stroke = wantedStroke(style);
    const double width = lineWidth(style);
    QPainterPath path;
    path.setFillRule(Qt::WindingFill);
    switch (shape.shapeType) {
    case VectorShapeType::rectangle:
        path.addRect(rect);
        break;
    case VectorShapeType::roundedRectangle: {
        const double radius = std::min(shape.cornerRadius, std::min(f.width, f.height) * 0.5);
        path.addRoundedRect(rect, std::max(radius, 0.0), std::max(radius, 0.0));
        break;
    }
    case VectorShapeType::ellipse:
        path.addEllipse(rect);
        break;
    case VectorShapeType::diamond:
        path.moveTo(f.x + f.width / 2, f.y);
        path.lineTo(f.x + f.width, f.y + f.height / 2);
        path.lineTo(f.x + f.width / 2, f.y + f.height);
        path.lineTo(f.x, f.y + f.height / 2);
        path.closeSubpath();
        break;
    case VectorShapeType::line:
    case VectorShapeType::arrow: {
        const QColor color = colorOf(style.strokeColorHex).value_or(colorOf(style.fillColorHex).value_or(kDefaultInk));
        const auto [start, end] = lineEnds(shape, f);
        painter.setPen(strokePen(color, width, style.dashed, Qt::RoundCap));
        painter.drawLine(start, end);
        const double head = std::max(width * 4, 8.0);
        if (shape.endArrow || shape.shapeType == VectorShapeType::arrow) {
            drawArrowHead(painter, start, end, color, head);
        }
        if (shape.startArrow) {
            drawArrowHead(painter, end, start, color, head);
        }
        return;
    }
    }
    fillAndStroke(painter, path, fill, stroke, width, style.dashed);
}

void drawPath(const VectorElement& element, const PathPayload& payload, QPainter& painter)
{
    QPainterPath path;
    path.setFillRule(Qt::WindingFill);
    for (const VectorSubpath& subpath : payload.subpaths) {
        if (subpath.points.isEmpty()) {
            continue;
        }
        path.moveTo(mapped(element.frame, subpath.points.front()));
        for (qsizetype i = 1; i < subpath.points.size(); ++i) {
            path.lineTo(mapped(element.frame, subpath.points[i]));
        }
        if (subpath.isClosed) {
            path.closeSubpath();
        }
    }
    if (const auto fill = colorOf(element.style.fillColorHex)) {
        painter.fillPath(path, *fill);
    }
    if (const auto stroke = wantedStroke(element.style)) {
        painter.strokePath(path, strokePen(*stroke, lineWidth(element.style), element.style.dashed, Qt::RoundCap,
                                           Qt::RoundJoin));
    }
}

void drawText(const VectorElement& element, const TextPayload& payload, QPainter& painter, const PrintedLine* printed)
{
    const QColor color =
        colorOf(element.style.fillColorHex).value_or(colorOf(element.style.strokeColorHex).value_or(kDefaultInk));
    // Over its print, the marks the line's font lacks come from the fonts
    // they were printed in.
    const QFont font = printed ? withSymbolFonts(resolveFont(payload, payload.fontSize), printed->symbolFonts)
                               : resolveFont(payload, payload.fontSize);
    // The cap height is measured only for a line that has no baseline of its own.
    const double firstBaseline =
        element.frame.y + (payload.baselineOffset ? *payload.baselineOffset : fonts::capHeightOf(font));
    // A text of one line is drawn as it is, without a list of its lines. Its
    // baseline is the first of several lines' (a size that is not a finite
    // number places no line, as below).
    if (!payload.text.contains(QLatin1Char('\n'))) {
        const double lineOffset = 0.0 * payload.fontSize * 1.25;
        if (!payload.text.isEmpty())
            drawTextLine(painter, payload.text, QPointF(element.frame.x, firstBaseline + lineOffset), font,
                         payload.letterSpacing, color, payload.alignment, element.frame.width, printed);
        return;
    }
    const QStringList lines = payload.text.split(QLatin1Char('\n'));
    for (qsizetype i = 0; i < lines.size(); ++i) {
        if (lines[i].isEmpty()) {
            continue;
        }
        const QPointF baseline(element.frame.x, firstBaseline + double(i) * payload.fontSize * 1.25);
        drawTextLine(painter, lines[i], baseline, font, payload.letterSpacing, color, payload.alignment,
                     element.frame.width, lines.size() == 1 ? printed : nullptr);
    }
}

void drawSignature(const VectorElement& element, const SignaturePayload& payload, QPainter& painter)
{
    const VectorRect& f = element.frame;
    if (payload.assetData) {
        ArtworkRenderer::draw(*payload.assetData, payload.assetExtension, payload.removeWhiteBackground, f.toQRectF(),
                          painter);
        return;
    }
    const QColor color = colorOf(element.style.strokeColorHex).value_or(QColor(0x1E, 0x3A, 0x8A));
    const QPen pen = strokePen(color, lineWidth(element.style), element.style.dashed, Qt::RoundCap, Qt::RoundJoin);
    for (const QList<VectorPoint>& stroke : payload.strokes) {
        if (stroke.isEmpty()) {
            continue;
        }
        QPainterPath path(mapped(f, stroke.front()));
        for (qsizetype i = 1; i < stroke.size(); ++i) {
            path.lineTo(mapped(f, stroke[i]));
        }
        painter.strokePath(path, pen);
    }

    QStringList parts;
    for (const std::optional<QString>& part : {std::optional<QString>(payload.signerName), payload.caption,
                                               payload.dateLabel}) {
        if (part && !part->isEmpty()) {
            parts.append(*part);
        }
    }
    if (!parts.isEmpty()) {
        drawTextLine(painter, parts.join(QStringLiteral(" \u00B7 ")), QPointF(f.x + 2, f.y + f.height - 2),
                     namedFont(QStringLiteral("HelveticaNeue"), false, 8.5), 0, color, TextAlignmentMode::left,
                     f.width - 4);
    }
}

void drawStamp(const VectorElement& element, const StampPayload& payload, QPainter& painter)
{
    const VectorRect& f = element.frame;
    if (payload.assetData) {
        ArtworkRenderer::draw(*payload.assetData, payload.assetExtension, payload.removeWhiteBackground, f.toQRectF(),
                          painter);
        return;
    }
    const QColor color = colorOf(element.style.strokeColorHex)
                             .value_or(colorOf(defaultColorHex(payload.stampKind)).value_or(kDefaultInk));
    QColor tint = color;
    tint.setAlphaF(0.1f);

    QPainterPath outer;
    outer.addRoundedRect(f.toQRectF(), 6, 6);
    painter.fillPath(outer, tint);
    painter.strokePath(outer, strokePen(color, 2.2, element.style.dashed));

    const VectorRect inner = f.insetBy(3.5, 3.5);
    if (f.width - 7 > 4 && f.height - 7 > 4) {
        QPainterPath innerPath;
        innerPath.addRoundedRect(inner.toQRectF(), 4, 4);
        painter.strokePath(innerPath, strokePen(color, 0.9, element.style.dashed));
    }

    drawTextLine(painter, payload.title, QPointF(f.x, f.y + f.height * 0.52),
                 namedFont(QStringLiteral("HelveticaNeue-Bold"), true, std::min(f.height * 0.3, 14.0)), 0, color,
                 TextAlignmentMode::center, f.width);
    if (!payload.subtitle.isEmpty()) {
        drawTextLine(painter, payload.subtitle, QPointF(f.x, f.y + f.height * 0.8),
                     namedFont(QStringLiteral("HelveticaNeue"), false, std::min(f.height * 0.18, 9.0)), 0, color,
                     TextAlignmentMode::center, f.width);
    }
}

}  // namespace

namespace {

// Draws what `element` shows of the page as a picture, at three pixels per
// device unit: for an element Qt's PDF writer cannot write.
void drawVisiblePartAsPicture(const VectorElement& element, QPainter& painter)
{
    const QRectF page(0, 0, painter.device()->width(), painter.device()->height());
    const QRectF visible = deviceBox(element, painter).intersected(page).toAlignedRect();
    constexpr double kScale = 3;
    const QSize pixels = (visible.size() * kScale).toSize();
    if (visible.isEmpty() || pixels.isEmpty()) {
        return;
    }
    QImage picture(pixels, QImage::Format_ARGB32_Premultiplied);
    if (picture.isNull()) {
        return;
    }
    picture.fill(Qt::transparent);
    {
        QPainter onPicture(&picture);
        onPicture.scale(kScale, kScale);
        onPicture.translate(-visible.topLeft());
        onPicture.setTransform(painter.deviceTransform(), true);
        onPicture.setOpacity(painter.opacity());
        renderElement(element, onPicture);
    }
    painter.save();
    painter.resetTransform();
    painter.drawImage(visible, picture);
    painter.restore();
}

}  // namespace

QRectF turnedFrame(const VectorElement& element)
{
    const QRectF frame = element.frame.toQRectF();
    if (!std::isfinite(element.rotationDegrees)) {
        return frame;
    }
    const QTransform turn = QTransform::fromTranslate(frame.center().x(), frame.center().y())
                                .rotate(element.rotationDegrees)
                                .translate(-frame.center().x(), -frame.center().y());
    return turn.mapRect(frame);
}

void renderElement(const VectorElement& element, QPainter& painter, const PrintedLine* printed)
{
    switch (pdfReach(element, painter)) {
    case PDFReach::writable:
        break;
    case PDFReach::offPage:
        return;
    case PDFReach::straddling:
        // Text is written by its own writer, which takes any number; any
        // other element shows on the page as a picture of what it covers.
        if (!element.text()) {
            drawVisiblePartAsPicture(element, painter);
            return;
        }
        break;
    }
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setOpacity(painter.opacity() * std::clamp(element.style.opacity, 0.0, 1.0));
    if (std::abs(element.rotationDegrees) > 0.01) {
        const QPointF center(element.frame.x + element.frame.width * 0.5, element.frame.y + element.frame.height * 0.5);
        painter.translate(center);
        painter.rotate(element.rotationDegrees);
        painter.translate(-center);
    }
    std::visit(
        [&](const auto& payload) {
            using Payload = std::decay_t<decltype(payload)>;
            if constexpr (std::is_same_v<Payload, ShapePayload>) {
                drawShape(element, payload, painter);
            } else if constexpr (std::is_same_v<Payload, PathPayload>) {
                drawPath(element, payload, painter);
            } else if constexpr (std::is_same_v<Payload, TextPayload>) {
                drawText(element, payload, painter, printed);
            } else if constexpr (std::is_same_v<Payload, SignaturePayload>) {
                drawSignature(element, payload, painter);
            } else {
                drawStamp(element, payload, painter);
            }
        },
        element.kind);
    painter.restore();
}

void addArrowHead(QPainterPath& path, const QPointF& from, const QPointF& to, double size)
{
    const double theta = std::atan2(to.y() - from.y(), to.x() - from.x());
    const double spread = M_PI / 6.5;
    path.moveTo(to);
    path.lineTo(to.x() - size * std::cos(theta - spread), to.y() - size * std::sin(theta - spread));
    path.lineTo(to.x() - size * std::cos(theta + spread), to.y() - size * std::sin(theta + spread));
    path.closeSubpath();
}

void drawArrowHead(QPainter& painter, const QPointF& from, const QPointF& to, const QColor& color, double size)
{
    QPainterPath head;
    head.setFillRule(Qt::WindingFill);
    addArrowHead(head, from, to, size);
    painter.fillPath(head, color);
}

}  // namespace zelvane::PDFCodec
