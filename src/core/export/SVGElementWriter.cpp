#include "export/SVGElementWriter.h"

#include "model/VectorStyle.h"
#include "render/ArtworkRenderer.h"
#include "svg/SVGElementData.h"
#include "svg/SVGValueText.h"

#include <QBuffer>
#include <QImage>
#include <QImageWriter>
#include <cmath>
#include <numbers>

namespace zelvane::SVGCodec {

namespace {

const QString kDefaultInk = QStringLiteral("#111317");
const QString kCaptionSeparator = QStringLiteral(" \u00B7 ");

// The values every kind shares, computed once.
struct Common {
    QString x, y, w, h;
    QString rotation;  // {R}
    QString opacity;   // {O}
    QString dash;      // {D}
    QString stroke;    // {S}
    QString fill;      // {F}
    QString strokeWidth;
    QString data;  // the program's own attributes
};

Common commonValues(const VectorElement& element)
{
    const VectorRect& f = element.frame;
    const VectorStyle& style = element.style;
    Common c;
    c.x = formatNum(f.x);
    c.y = formatNum(f.y);
    c.w = formatNum(f.width);
    c.h = formatNum(f.height);
    if (std::fabs(element.rotationDegrees) > 0.01) {
        c.rotation = QLatin1String(" transform=\"rotate(") + formatNum(element.rotationDegrees) + u' ' +
                     formatNum(f.x + f.width / 2) + u' ' + formatNum(f.y + f.height / 2) + QLatin1String(")\"");
    }
    if (style.opacity < 0.999) {
        c.opacity = QLatin1String(" opacity=\"") + formatNum(style.opacity) + u'"';
    }
    if (style.dashed) {
        c.dash = QStringLiteral(" stroke-dasharray=\"6,4\"");
    }
    // Colours go in as stored; escaping only matters for a text that is not
    // a colour at all, which must still leave the file well-formed.
    c.stroke = escapeAttribute(style.strokeColorHex.value_or(QStringLiteral("none")));
    c.fill = escapeAttribute(style.fillColorHex.value_or(QStringLiteral("none")));
    c.strokeWidth = formatNum(style.strokeWidth);
    c.data = ownElementAttributes(element);
    return c;
}

QString pointText(double x, double y)
{
    return formatNum(x) + u',' + formatNum(y);
}

// "M x y L x y ..." of points relative to the frame.
QString polylineData(const VectorElement& element, const QList<VectorPoint>& points, bool closed)
{
    QString d;
    for (qsizetype i = 0; i < points.size(); ++i) {
        const VectorPoint p = element.denormalize(points[i]);
        if (i > 0) {
            d += u' ';
        }
        d += (i == 0 ? QLatin1String("M ") : QLatin1String("L ")) + formatNum(p.x) + u' ' + formatNum(p.y);
    }
    if (closed && !points.isEmpty()) {
        d += QLatin1String(" Z");
    }
    return d;
}

// Lines at indent + two spaces with the text split at every line feed that is
// a character of its own (a carriage return and line feed stay together).
QStringList splitLines(const QString& text)
{
    QStringList pieces;
    qsizetype start = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == u'\n' && (i == 0 || text[i - 1] != u'\r')) {
            pieces.append(text.mid(start, i - start));
            start = i + 1;
        }
    }
    pieces.append(text.mid(start));
    return pieces;
}

QStringList textLines(const VectorElement& element, const TextPayload& text, const QString& indent)
{
    const Common c = commonValues(element);
    const VectorRect& f = element.frame;
    const QString color = escapeAttribute(
        element.style.fillColorHex ? *element.style.fillColorHex : element.style.strokeColorHex.value_or(kDefaultInk));
    QString anchor;
    double anchorX = f.x;
    switch (text.alignment) {
    case TextAlignmentMode::left: anchor = QStringLiteral("start"); break;
    case TextAlignmentMode::center:
        anchor = QStringLiteral("middle");
        anchorX = f.x + f.width / 2;
        break;
    case TextAlignmentMode::right:
        anchor = QStringLiteral("end");
        anchorX = f.x + f.width;
        break;
    }
    const QString x = formatNum(anchorX);
    const QString start =
        QLatin1String("<text x=\"") + x + QLatin1String("\" y=\"") + formatNum(f.y + text.fontSize) +
        QLatin1String("\" font-family=\"") + escapeAttribute(text.fontFamily) + QLatin1String("\" font-size=\"") +
        formatNum(text.fontSize) + u'"' + (text.isBold ? QLatin1String(" font-weight=\"bold\"") : QLatin1String()) +
        (text.isItalic ? QLatin1String(" font-style=\"italic\"") : QLatin1String()) + QLatin1String(" text-anchor=\"") +
        anchor + QLatin1String("\" fill=\"") + color + u'"' + c.opacity + c.rotation + c.data + u'>';
    const QStringList pieces = splitLines(text.text);
    if (pieces.size() == 1) {
        return {indent + start + escapeXML(text.text) + QLatin1String("</text>")};
    }
    QStringList lines{indent + start};
    const QString lineStep = formatNum(text.fontSize * 1.28);
    for (qsizetype i = 0; i < pieces.size(); ++i) {
        lines.append(indent + QLatin1String("  <tspan x=\"") + x + QLatin1String("\" dy=\"") +
                     (i == 0 ? QStringLiteral("0") : lineStep) + QLatin1String("\">") + escapeXML(pieces[i]) +
                     QLatin1String("</tspan>"));
    }
    lines.append(indent + QLatin1String("</text>"));
    return lines;
}

QStringList shapeLines(const VectorElement& element, const ShapePayload& shape, const QString& indent)
{
    const Common c = commonValues(element);
    const VectorRect& f = element.frame;
    const QString paint = QLatin1String(" fill=\"") + c.fill + QLatin1String("\" stroke=\"") + c.stroke +
                          QLatin1String("\" stroke-width=\"") + c.strokeWidth + u'"' + c.dash + c.opacity + c.rotation +
                          c.data + QLatin1String("/>");
    switch (shape.shapeType) {
    case VectorShapeType::rectangle:
        return {indent + QLatin1String("<rect x=\"") + c.x + QLatin1String("\" y=\"") + c.y +
                QLatin1String("\" width=\"") + c.w + QLatin1String("\" height=\"") + c.h + u'"' + paint};
    case VectorShapeType::roundedRectangle: {
        const QString r = formatNum(shape.cornerRadius);
        return {indent + QLatin1String("<rect x=\"") + c.x + QLatin1String("\" y=\"") + c.y +
                QLatin1String("\" width=\"") + c.w + QLatin1String("\" height=\"") + c.h + QLatin1String("\" rx=\"") +
                r + QLatin1String("\" ry=\"") + r + u'"' + paint};
    }
    case VectorShapeType::ellipse:
        return {indent + QLatin1String("<ellipse cx=\"") + formatNum(f.x + f.width / 2) + QLatin1String("\" cy=\"") +
                formatNum(f.y + f.height / 2) + QLatin1String("\" rx=\"") + formatNum(f.width / 2) +
                QLatin1String("\" ry=\"") + formatNum(f.height / 2) + u'"' + paint};
    case VectorShapeType::diamond: {
        const QString points = pointText(f.x + f.width / 2, f.y) + u' ' + pointText(f.x + f.width, f.y + f.height / 2) +
                               u' ' + pointText(f.x + f.width / 2, f.y + f.height) + u' ' +
                               pointText(f.x, f.y + f.height / 2);
        return {indent + QLatin1String("<polygon points=\"") + points + u'"' + paint};
    }
    case VectorShapeType::line:
    case VectorShapeType::arrow: {
        QStringList lines{indent + QLatin1String("<line x1=\"") + c.x + QLatin1String("\" y1=\"") +
                          formatNum(f.y + f.height) + QLatin1String("\" x2=\"") + formatNum(f.x + f.width) +
                          QLatin1String("\" y2=\"") + c.y + QLatin1String("\" stroke=\"") + c.stroke +
                          QLatin1String("\" stroke-width=\"") + c.strokeWidth +
                          QLatin1String("\" stroke-linecap=\"round\"") + c.dash + c.opacity + c.rotation + c.data +
                          QLatin1String("/>")};
        if (shape.endArrow || shape.shapeType == VectorShapeType::arrow) {
            const double length = std::max(element.style.strokeWidth * 4.2, 8.0);
            lines.append(indent + QLatin1String("<polygon points=\"") +
                         arrowHeadSVGPoints({f.x, f.y + f.height}, {f.x + f.width, f.y}, length) +
                         QLatin1String("\" fill=\"") + c.stroke + u'"' + c.opacity + c.rotation +
                         arrowHeadAttributes(element) + QLatin1String("/>"));
        }
        return lines;
    }
    }
    return {};
}

QStringList pathLines(const VectorElement& element, const PathPayload& path, const QString& indent)
{
    const Common c = commonValues(element);
    QStringList tokens;
    for (const VectorSubpath& subpath : path.subpaths) {
        if (!subpath.points.isEmpty()) {
            tokens.append(polylineData(element, subpath.points, subpath.isClosed));
        }
    }
    return {indent + QLatin1String("<path d=\"") + tokens.join(u' ') + QLatin1String("\" fill=\"") + c.fill +
            QLatin1String("\" stroke=\"") + c.stroke + QLatin1String("\" stroke-width=\"") + c.strokeWidth +
            QLatin1String("\" stroke-linecap=\"round\" stroke-linejoin=\"round\"") + c.dash + c.opacity + c.rotation +
            c.data + QLatin1String("/>")};
}

// The artwork as an <image> line, or nothing when it cannot be rendered.
std::optional<QString> artworkLine(const Common& c, const QByteArray& data, const std::optional<QString>& extension,
                                   bool removeWhiteBackground, const QString& indent)
{
    const QImage image = ArtworkRenderer::renderImage(data, extension, 800, removeWhiteBackground);
    if (image.isNull()) {
        return std::nullopt;
    }
    QByteArray png;
    QBuffer buffer(&png);
    if (!buffer.open(QIODevice::WriteOnly)) {
        return std::nullopt;
    }
    QImageWriter writer(&buffer, "png");
    if (!writer.write(image)) {
        return std::nullopt;
    }
    return indent + QLatin1String("  <image x=\"") + c.x + QLatin1String("\" y=\"") + c.y +
           QLatin1String("\" width=\"") + c.w + QLatin1String("\" height=\"") + c.h +
           QLatin1String("\" href=\"data:image/png;base64,") + QString::fromLatin1(png.toBase64()) +
           QLatin1String("\"/>");
}

QStringList signatureLines(const VectorElement& element, const SignaturePayload& signature, const QString& indent)
{
    const Common c = commonValues(element);
    const VectorRect& f = element.frame;
    QStringList lines{indent + QLatin1String("<g data-role=\"signature\" data-signer=\"") +
                      escapeAttribute(signature.signerName) + u'"' + c.opacity + c.rotation + c.data + u'>'};
    if (signature.assetData) {
        if (const std::optional<QString> image = artworkLine(c, *signature.assetData, signature.assetExtension,
                                                             signature.removeWhiteBackground, indent)) {
            lines.append(*image);
            lines.append(indent + QLatin1String("</g>"));
            return lines;
        }
    }
    for (const QList<VectorPoint>& stroke : signature.strokes) {
        if (stroke.isEmpty()) {
            continue;
        }
        lines.append(indent + QLatin1String("  <path d=\"") + polylineData(element, stroke, false) +
                     QLatin1String("\" fill=\"none\" stroke=\"") + c.stroke + QLatin1String("\" stroke-width=\"") +
                     c.strokeWidth + QLatin1String("\" stroke-linecap=\"round\" stroke-linejoin=\"round\"/>"));
    }
    QStringList parts;
    for (const std::optional<QString>& part :
         {std::optional<QString>(signature.signerName), signature.caption, signature.dateLabel}) {
        if (part && !part->isEmpty()) {
            parts.append(*part);
        }
    }
    const QString label = parts.join(kCaptionSeparator);
    if (!label.isEmpty()) {
        lines.append(indent + QLatin1String("  <text x=\"") + formatNum(f.x + 4) + QLatin1String("\" y=\"") +
                     formatNum(f.y + f.height - 2) +
                     QLatin1String("\" font-family=\"Helvetica Neue\" font-size=\"9\" fill=\"") + c.stroke +
                     QLatin1String("\">") + escapeXML(label) + QLatin1String("</text>"));
    }
    lines.append(indent + QLatin1String("</g>"));
    return lines;
}

QStringList stampLines(const VectorElement& element, const StampPayload& stamp, const QString& indent)
{
    const Common c = commonValues(element);
    const VectorRect& f = element.frame;
    const QString color = escapeAttribute(element.style.strokeColorHex.value_or(defaultColorHex(stamp.stampKind)));
    QStringList lines{indent + QLatin1String("<g data-role=\"stamp\" data-kind=\"") + rawValue(stamp.stampKind) + u'"' +
                      c.opacity + c.rotation + c.data + u'>'};
    if (stamp.assetData) {
        if (const std::optional<QString> image =
                artworkLine(c, *stamp.assetData, stamp.assetExtension, stamp.removeWhiteBackground, indent)) {
            lines.append(*image);
            lines.append(indent + QLatin1String("</g>"));
            return lines;
        }
    }
    const QString inner = indent + QLatin1String("  ");
    lines.append(
        inner + QLatin1String("<rect x=\"") + c.x + QLatin1String("\" y=\"") + c.y + QLatin1String("\" width=\"") +
        c.w + QLatin1String("\" height=\"") + c.h + QLatin1String("\" rx=\"6\" ry=\"6\" fill=\"") + color +
        QLatin1String("\" fill-opacity=\"0.10\" stroke=\"") + color + QLatin1String("\" stroke-width=\"2.2\"/>"));
    lines.append(inner + QLatin1String("<rect x=\"") + formatNum(f.x + 3) + QLatin1String("\" y=\"") +
                 formatNum(f.y + 3) + QLatin1String("\" width=\"") + formatNum(std::max(f.width - 6, 2.0)) +
                 QLatin1String("\" height=\"") + formatNum(std::max(f.height - 6, 2.0)) +
                 QLatin1String("\" rx=\"4\" ry=\"4\" fill=\"none\" stroke=\"") + color +
                 QLatin1String("\" stroke-width=\"0.9\"/>"));
    const QString centreX = formatNum(f.x + f.width / 2);
    lines.append(inner + QLatin1String("<text x=\"") + centreX + QLatin1String("\" y=\"") +
                 formatNum(f.y + 0.48 * f.height) +
                 QLatin1String("\" font-family=\"Helvetica Neue\" font-size=\"13\" font-weight=\"bold\" "
                               "text-anchor=\"middle\" fill=\"") +
                 color + QLatin1String("\">") + escapeXML(stamp.title) + QLatin1String("</text>"));
    if (!stamp.subtitle.isEmpty()) {
        lines.append(inner + QLatin1String("<text x=\"") + centreX + QLatin1String("\" y=\"") +
                     formatNum(f.y + 0.78 * f.height) +
                     QLatin1String("\" font-family=\"Helvetica Neue\" font-size=\"8.5\" text-anchor=\"middle\" "
                                   "fill=\"") +
                     color + QLatin1String("\">") + escapeXML(stamp.subtitle) + QLatin1String("</text>"));
    }
    lines.append(indent + QLatin1String("</g>"));
    return lines;
}

}  // namespace

QString arrowHeadSVGPoints(const VectorPoint& from, const VectorPoint& to, double length)
{
    const double theta = std::atan2(to.y - from.y, to.x - from.x);
    const double spread = std::numbers::pi / 6.5;
    const double ax = to.x - length * std::cos(theta - spread);
    const double ay = to.y - length * std::sin(theta - spread);
    const double bx = to.x - length * std::cos(theta + spread);
    const double by = to.y - length * std::sin(theta + spread);
    return pointText(to.x, to.y) + u' ' + pointText(ax, ay) + u' ' + pointText(bx, by);
}

QStringList serializeElement(const VectorElement& element, const QString& indent)
{
    return std::visit(
        [&](const auto& payload) -> QStringList {
            using Payload = std::decay_t<decltype(payload)>;
            if constexpr (std::is_same_v<Payload, TextPayload>) {
                return textLines(element, payload, indent);
            } else if constexpr (std::is_same_v<Payload, ShapePayload>) {
                return shapeLines(element, payload, indent);
            } else if constexpr (std::is_same_v<Payload, PathPayload>) {
                return pathLines(element, payload, indent);
            } else if constexpr (std::is_same_v<Payload, SignaturePayload>) {
                return signatureLines(element, payload, indent);
            } else {
                return stampLines(element, payload, indent);
            }
        },
        element.kind);
}

}  // namespace zelvane::SVGCodec
