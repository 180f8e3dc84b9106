#include "export/SVGElementWriter.h"

#include "export/SVGMarkup.h"

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

// A colour as stored, or "none". Colours go in as stored; escaping only
// matters for a text that is not a colour at all, which must still leave the
// file well-formed.
void paint(SVGMarkup& out, const std::optional<QString>& color)
{
    if (color) {
        out.attr(*color);
    } else {
        out << "none";
    }
}

// The attributes every kind may add after its own: dash, opacity, rotation
// and the program's data, each when it applies.
void dash(SVGMarkup& out, const VectorElement& element)
{
    if (element.style.dashed) {
        out << " stroke-dasharray=\"6,4\"";
    }
}

void opacity(SVGMarkup& out, const VectorElement& element)
{
    if (element.style.opacity < 0.999) {
        out << " opacity=\"";
        out.num(element.style.opacity) << '"';
    }
}

void rotation(SVGMarkup& out, const VectorElement& element)
{
    if (std::fabs(element.rotationDegrees) > 0.01) {
        const VectorRect& f = element.frame;
        out << " transform=\"rotate(";
        out.num(element.rotationDegrees) << ' ';
        out.num(f.x + f.width / 2) << ' ';
        out.num(f.y + f.height / 2) << ")\"";
    }
}

void ownData(SVGMarkup& out, const VectorElement& element)
{
    appendOwnElementAttributes(out.bytes(), element);
}

void strokeWidth(SVGMarkup& out, const VectorElement& element)
{
    out.num(element.style.strokeWidth);
}

void point(SVGMarkup& out, double x, double y)
{
    out.num(x) << ',';
    out.num(y);
}

// "x="..." y="..." width="..." height="..."" of the frame.
void frameBox(SVGMarkup& out, const VectorRect& f)
{
    out << "x=\"";
    out.num(f.x) << "\" y=\"";
    out.num(f.y) << "\" width=\"";
    out.num(f.width) << "\" height=\"";
    out.num(f.height) << '"';
}

// "M x y L x y ..." of points relative to the frame.
void polylineData(SVGMarkup& out, const VectorElement& element, const QList<VectorPoint>& points, bool closed)
{
    for (qsizetype i = 0; i < points.size(); ++i) {
        const VectorPoint p = element.denormalize(points[i]);
        if (i > 0) {
            out << ' ';
        }
        out << (i == 0 ? "M " : "L ");
        out.num(p.x) << ' ';
        out.num(p.y);
    }
    if (closed && !points.isEmpty()) {
        out << " Z";
    }
}

void arrowHeadPoints(SVGMarkup& out, const VectorPoint& from, const VectorPoint& to, double length)
{
    const double theta = std::atan2(to.y - from.y, to.x - from.x);
    const double spread = std::numbers::pi / 6.5;
    const double ax = to.x - length * std::cos(theta - spread);
    const double ay = to.y - length * std::sin(theta - spread);
    const double bx = to.x - length * std::cos(theta + spread);
    const double by = to.y - length * std::sin(theta + spread);
    point(out, to.x, to.y);
    out << ' ';
    point(out, ax, ay);
    out << ' ';
    point(out, bx, by);
}

// Where the next line of a text ends: at the first line feed that is a
// character of its own (a carriage return and line feed stay together), or
// at the end.
qsizetype lineEnd(QStringView text, qsizetype from)
{
    for (qsizetype i = from; i < text.size(); ++i) {
        if (text[i] == u'\n' && (i == 0 || text[i - 1] != u'\r')) {
            return i;
        }
    }
    return text.size();
}

void writeText(SVGMarkup& out, const VectorElement& element, const TextPayload& text, QStringView indent)
{
    const VectorRect& f = element.frame;
    QLatin1String anchor;
    double anchorX = f.x;
    switch (text.alignment) {
    case TextAlignmentMode::left: anchor = QLatin1String("start"); break;
    case TextAlignmentMode::center:
        anchor = QLatin1String("middle");
        anchorX = f.x + f.width / 2;
        break;
    case TextAlignmentMode::right:
        anchor = QLatin1String("end");
        anchorX = f.x + f.width;
        break;
    }
    out << indent << "<text x=\"";
    out.num(anchorX) << "\" y=\"";
    out.num(f.y + text.fontSize) << "\" font-family=\"";
    out.attr(text.fontFamily) << "\" font-size=\"";
    out.num(text.fontSize) << '"';
    if (text.isBold) {
        out << " font-weight=\"bold\"";
    }
    if (text.isItalic) {
        out << " font-style=\"italic\"";
    }
    out << " text-anchor=\"" << anchor << "\" fill=\"";
    out.attr(element.style.fillColorHex ? *element.style.fillColorHex
                                        : element.style.strokeColorHex.value_or(kDefaultInk))
        << '"';
    opacity(out, element);
    rotation(out, element);
    ownData(out, element);
    out << '>';
    const QStringView content = text.text;
    qsizetype end = lineEnd(content, 0);
    if (end == content.size()) {
        out.xml(content) << "</text>";
        out.endLine();
        return;
    }
    out.endLine();
    for (qsizetype start = 0, i = 0; start <= content.size(); ++i) {
        out << indent << "  <tspan x=\"";
        out.num(anchorX) << "\" dy=\"";
        if (i == 0) {
            out << '0';
        } else {
            out.num(text.fontSize * 1.28);
        }
        out << "\">";
        out.xml(content.sliced(start, end - start)) << "</tspan>";
        out.endLine();
        start = end + 1;
        end = lineEnd(content, start);
    }
    out << indent << "</text>";
    out.endLine();
}

// The paint of a closed shape and the rest of its tag.
void shapePaint(SVGMarkup& out, const VectorElement& element)
{
    out << " fill=\"";
    paint(out, element.style.fillColorHex);
    out << "\" stroke=\"";
    paint(out, element.style.strokeColorHex);
    out << "\" stroke-width=\"";
    strokeWidth(out, element);
    out << '"';
    dash(out, element);
    opacity(out, element);
    rotation(out, element);
    ownData(out, element);
    out << "/>";
    out.endLine();
}

void writeShape(SVGMarkup& out, const VectorElement& element, const ShapePayload& shape, QStringView indent)
{
    const VectorRect& f = element.frame;
    switch (shape.shapeType) {
    case VectorShapeType::rectangle:
        out << indent << "<rect ";
        frameBox(out, f);
        shapePaint(out, element);
        return;
    case VectorShapeType::roundedRectangle:
        out << indent << "<rect ";
        frameBox(out, f);
        out << " rx=\"";
        out.num(shape.cornerRadius) << "\" ry=\"";
        out.num(shape.cornerRadius) << '"';
        shapePaint(out, element);
        return;
    case VectorShapeType::ellipse:
        out << indent << "<ellipse cx=\"";
        out.num(f.x + f.width / 2) << "\" cy=\"";
        out.num(f.y + f.height / 2) << "\" rx=\"";
        out.num(f.width / 2) << "\" ry=\"";
        out.num(f.height / 2) << '"';
        shapePaint(out, element);
        return;
    case VectorShapeType::diamond:
        out << indent << "<polygon points=\"";
        point(out, f.x + f.width / 2, f.y);
        out << ' ';
        point(out, f.x + f.width, f.y + f.height / 2);
        out << ' ';
        point(out, f.x + f.width / 2, f.y + f.height);
        out << ' ';
        point(out, f.x, f.y + f.height / 2);
        out << '"';
        shapePaint(out, element);
        return;
    case VectorShapeType::line:
    case VectorShapeType::arrow: {
        const auto [start, end] = lineEnds(shape, f);
        out << indent << "<line x1=\"";
        out.num(start.x()) << "\" y1=\"";
        out.num(start.y()) << "\" x2=\"";
        out.num(end.x()) << "\" y2=\"";
        out.num(end.y()) << "\" stroke=\"";
        paint(out, element.style.strokeColorHex);
        out << "\" stroke-width=\"";
        strokeWidth(out, element);
        out << "\" stroke-linecap=\"round\"";
        dash(out, element);
        opacity(out, element);
        rotation(out, element);
        ownData(out, element);
        out << "/>";
        out.endLine();
        if (shape.endArrow || shape.shapeType == VectorShapeType::arrow) {
            const double length = std::max(element.style.strokeWidth * 4.2, 8.0);
            out << indent << "<polygon points=\"";
            arrowHeadPoints(out, {start.x(), start.y()}, {end.x(), end.y()}, length);
            out << "\" fill=\"";
            paint(out, element.style.strokeColorHex);
            out << '"';
            opacity(out, element);
            rotation(out, element);
            appendArrowHeadAttributes(out.bytes(), element);
            out << "/>";
            out.endLine();
        }
        return;
    }
    }
}

void writePath(SVGMarkup& out, const VectorElement& element, const PathPayload& path, QStringView indent)
{
    out << indent << "<path d=\"";
    bool first = true;
    for (const VectorSubpath& subpath : path.subpaths) {
        if (subpath.points.isEmpty()) {
            continue;
        }
        if (!first) {
            out << ' ';
        }
        first = false;
        polylineData(out, element, subpath.points, subpath.isClosed);
    }
    out << "\" fill=\"";
    paint(out, element.style.fillColorHex);
    out << "\" stroke=\"";
    paint(out, element.style.strokeColorHex);
    out << "\" stroke-width=\"";
    strokeWidth(out, element);
    out << "\" stroke-linecap=\"round\" stroke-linejoin=\"round\"";
    dash(out, element);
    opacity(out, element);
    rotation(out, element);
    ownData(out, element);
    out << "/>";
    out.endLine();
}

// The artwork as an <image> line and the group's end, or nothing written
// when it cannot be rendered.
bool writeArtwork(SVGMarkup& out, const VectorElement& element, const QByteArray& data,
                  const std::optional<QString>& extension, bool removeWhiteBackground, QStringView indent)
{
    const QImage image = ArtworkRenderer::renderImage(data, extension, 800, removeWhiteBackground);
    if (image.isNull()) {
        return false;
    }
    QByteArray png;
    QBuffer buffer(&png);
    if (!buffer.open(QIODevice::WriteOnly)) {
        return false;
    }
    QImageWriter writer(&buffer, "png");
    if (!writer.write(image)) {
        return false;
    }
    out << indent << "  <image ";
    frameBox(out, element.frame);
    out << " href=\"data:image/png;base64," << QByteArrayView(png.toBase64()) << "\"/>";
    out.endLine();
    out << indent << "</g>";
    out.endLine();
    return true;
}

void writeSignature(SVGMarkup& out, const VectorElement& element, const SignaturePayload& signature,
                    QStringView indent)
{
    const VectorRect& f = element.frame;
    out << indent << "<g data-role=\"signature\" data-signer=\"";
    out.attr(signature.signerName) << '"';
    opacity(out, element);
    rotation(out, element);
    ownData(out, element);
    out << '>';
    out.endLine();
    if (signature.assetData && writeArtwork(out, element, *signature.assetData, signature.assetExtension,
                                            signature.removeWhiteBackground, indent)) {
        return;
    }
    for (const QList<VectorPoint>& stroke : signature.strokes) {
        if (stroke.isEmpty()) {
            continue;
        }
        out << indent << "  <path d=\"";
        polylineData(out, element, stroke, false);
        out << "\" fill=\"none\" stroke=\"";
        paint(out, element.style.strokeColorHex);
        out << "\" stroke-width=\"";
        strokeWidth(out, element);
        out << "\" stroke-linecap=\"round\" stroke-linejoin=\"round\"/>";
        out.endLine();
    }
    QStringList parts;
    for (const std::optional<QString>& part :
         {std::optional<QString>(signature.signerName), signature.caption, signature.dateLabel}) {
        if (part && !part->isEmpty()) {
            parts.append(*part);
        }
    }
    if (!parts.isEmpty()) {
        out << indent << "  <text x=\"";
        out.num(f.x + 4) << "\" y=\"";
        out.num(f.y + f.height - 2) << "\" font-family=\"Helvetica Neue\" font-size=\"9\" fill=\"";
        paint(out, element.style.strokeColorHex);
        out << "\">";
        out.xml(parts.join(kCaptionSeparator)) << "</text>";
        out.endLine();
    }
    out << indent << "</g>";
    out.endLine();
}

// One centred line of a stamp's lettering; `font` gives its size and weight.
void stampLettering(SVGMarkup& out, QStringView indent, double x, double y, const char* font, const QString& color,
                    const QString& text)
{
    out << indent << "  <text x=\"";
    out.num(x) << "\" y=\"";
    out.num(y) << "\" font-family=\"Helvetica Neue\" " << font << " text-anchor=\"middle\" fill=\"" << color << "\">";
    out.xml(text) << "</text>";
    out.endLine();
}

void writeStamp(SVGMarkup& out, const VectorElement& element, const StampPayload& stamp, QStringView indent)
{
    const VectorRect& f = element.frame;
    const QString color = escapeAttribute(element.style.strokeColorHex.value_or(defaultColorHex(stamp.stampKind)));
    out << indent << "<g data-role=\"stamp\" data-kind=\"" << rawValue(stamp.stampKind) << '"';
    opacity(out, element);
    rotation(out, element);
    ownData(out, element);
    out << '>';
    out.endLine();
    if (stamp.assetData &&
        writeArtwork(out, element, *stamp.assetData, stamp.assetExtension, stamp.removeWhiteBackground, indent)) {
        return;
    }
    out << indent << "  <rect ";
    frameBox(out, f);
    out << " rx=\"6\" ry=\"6\" fill=\"" << color << "\" fill-opacity=\"0.10\" stroke=\"" << color
        << "\" stroke-width=\"2.2\"/>";
    out.endLine();
    out << indent << "  <rect x=\"";
    out.num(f.x + 3) << "\" y=\"";
    out.num(f.y + 3) << "\" width=\"";
    out.num(std::max(f.width - 6, 2.0)) << "\" height=\"";
    out.num(std::max(f.height - 6, 2.0)) << "\" rx=\"4\" ry=\"4\" fill=\"none\" stroke=\"" << color
                                          << "\" stroke-width=\"0.9\"/>";
    out.endLine();
    stampLettering(out, indent, f.x + f.width / 2, f.y + 0.48 * f.height, "font-size=\"13\" font-weight=\"bold\"", color,
                   stamp.title);
    if (!stamp.subtitle.isEmpty()) {
        stampLettering(out, indent, f.x + f.width / 2, f.y + 0.78 * f.height, "font-size=\"8.5\"", color,
                       stamp.subtitle);
    }
    out << indent << "</g>";
    out.endLine();
}

}  // namespace

QString arrowHeadSVGPoints(const VectorPoint& from, const VectorPoint& to, double length)
{
    QByteArray text;
    SVGMarkup out(text);
    arrowHeadPoints(out, from, to, length);
    return QString::fromLatin1(text);
}

void writeElement(SVGMarkup& out, const VectorElement& element, QStringView indent)
{
    std::visit(
        [&](const auto& payload) {
            using Payload = std::decay_t<decltype(payload)>;
            if constexpr (std::is_same_v<Payload, TextPayload>) {
                writeText(out, element, payload, indent);
            } else if constexpr (std::is_same_v<Payload, ShapePayload>) {
                writeShape(out, element, payload, indent);
            } else if constexpr (std::is_same_v<Payload, PathPayload>) {
                writePath(out, element, payload, indent);
            } else if constexpr (std::is_same_v<Payload, SignaturePayload>) {
                writeSignature(out, element, payload, indent);
            } else {
                writeStamp(out, element, payload, indent);
            }
        },
        element.kind);
}

QStringList serializeElement(const VectorElement& element, const QString& indent)
{
    QByteArray text;
    QList<qsizetype> lineEnds;
    SVGMarkup out(text, &lineEnds);
    writeElement(out, element, indent);
    QStringList lines;
    qsizetype start = 0;
    for (const qsizetype end : lineEnds) {
        lines.append(QString::fromUtf8(text.mid(start, end - 1 - start)));
        start = end;
    }
    return lines;
}

}  // namespace zelvane::SVGCodec
