// The element builders of the SVG reader: one model element per SVG shape,
// path or text, or page state (background, signature ink, text being read).

#include "Graphemes.h"
#include "Localization.h"
#include "model/RGBAColor.h"
#include "svg/SVGElementData.h"
#include "svg/SVGPathData.h"
#include "svg/SVGValueText.h"
#include "svg/SVGXMLParserDelegate.h"

#include <cmath>

namespace zelvane {

namespace {

const QString kDefaultInk = QStringLiteral("#111317");

double lengthOr(const SVGAttributeTable& attributes, const char* name, double fallback)
{
    return SVGCodec::parseDimension(attributes, QLatin1String(name)).value_or(fallback);
}

PathPayload singleSubpath(QList<VectorPoint> points, bool closed)
{
    PathPayload path;
    path.subpaths = {VectorSubpath{std::move(points), closed}};
    path.smoothCurves = true;
    return path;
}

}  // namespace

void SVGXMLParserDelegate::appendElement(QString name, VectorElementKind kind, const VectorRect& frame,
                                         const VectorStyle& style)
{
    m_currentPage.elements.append(VectorElement::make(std::move(name), std::move(kind), frame, 0, style));
}

bool SVGXMLParserDelegate::startOwnElement(const QString& tag, const SVGAttributeTable& attributes)
{
    std::optional<VectorElement> element = SVGCodec::readOwnElement(tag, attributes, m_compactData);
    if (!element) {
        return false;
    }
    if (tag == QLatin1String("text")) {
        m_ownText = OwnText{std::move(*element), {}, {}, false, SVGCodec::hasOwnName(attributes)};
    } else {
        m_currentPage.elements.append(std::move(*element));
    }
    return true;
}

void SVGXMLParserDelegate::buildRect(const SVGAttributeTable& attributes)
{
    if (attributes.constFind(QStringLiteral("data-role")).view() == QLatin1String("page-background")) {
        const auto fill = attributes.constFind(QStringLiteral("fill"));
        if (const std::optional<SVGCodec::OwnPageData> own = SVGCodec::readOwnPage(attributes)) {
            m_currentPage.id = own->id;
            if (own->title) {
                m_currentPage.title = *own->title;
            }
            if (own->width && own->height) {
                m_currentPage.width = *own->width;
                m_currentPage.height = *own->height;
                m_currentPageSizeIsOwn = true;
            }
            if (fill != attributes.constEnd()) {
                m_currentPage.backgroundColorHex = fill.value();
            }
        } else if (fill != attributes.constEnd()) {
            if (const std::optional<QString> color = SVGCodec::normalizedColor(fill.value())) {
                m_currentPage.backgroundColorHex = *color;
            }
        }
        return;
    }
    if (startOwnElement(QStringLiteral("rect"), attributes)) {
        return;
    }
    if (const GroupContext* group = innermostGroup(); group && group->isStampGroup) {
        return;
    }
    const SVGCurrentTransform t = currentTransform();
    const double x = t.offset.x + t.scale.x * lengthOr(attributes, "x", 0);
    const double y = t.offset.y + t.scale.y * lengthOr(attributes, "y", 0);
    const double w = t.scale.x * lengthOr(attributes, "width", 60);
    const double h = t.scale.y * lengthOr(attributes, "height", 40);
    const double r = SVGCodec::parseDimension(attributes, QStringLiteral("rx")).value_or(lengthOr(attributes, "ry", 0));

    const auto fill = attributes.constFind(QStringLiteral("fill"));
    const std::optional<QString> fillColor =
        fill != attributes.constEnd() ? SVGCodec::normalizedColor(fill.value()) : std::nullopt;
    if (x <= 0.5 && y <= 0.5 && std::fabs(w - m_currentPage.width) < 2 && std::fabs(h - m_currentPage.height) < 2 &&
        m_currentPage.elements.isEmpty() && fillColor) {
        m_currentPage.backgroundColorHex = *fillColor;
        return;
    }

    const bool rounded = r > 0.5;
    appendElement(rounded ? L("Cadre arrondi", "Rounded Box") : QStringLiteral("Rectangle"),
                  ShapePayload::make(rounded ? VectorShapeType::roundedRectangle : VectorShapeType::rectangle,
                                     std::max(r, 0.0), false, false),
                  VectorRect(x, y, std::max(w, 1.0), std::max(h, 1.0)),
                  SVGCodec::buildStyle(attributes, kDefaultInk, parentStyle()));
}

void SVGXMLParserDelegate::buildEllipse(const SVGAttributeTable& attributes, bool isCircle)
{
    if (!isCircle && startOwnElement(QStringLiteral("ellipse"), attributes)) {
        return;
    }
    const SVGCurrentTransform t = currentTransform();
    const double cx = t.offset.x + t.scale.x * lengthOr(attributes, "cx", 50);
    const double cy = t.offset.y + t.scale.y * lengthOr(attributes, "cy", 50);
    double rx = 0;
    double ry = 0;
    if (isCircle) {
        rx = ry = lengthOr(attributes, "r", 25);
    } else {
        rx = lengthOr(attributes, "rx", 30);
        ry = lengthOr(attributes, "ry", 20);
    }
    rx *= t.scale.x;
    ry *= t.scale.y;
    appendElement(QStringLiteral("Ellipse"), ShapePayload::make(VectorShapeType::ellipse, 8, false, false),
                  VectorRect(cx - rx, cy - ry, std::max(2 * rx, 1.0), std::max(2 * ry, 1.0)),
                  SVGCodec::buildStyle(attributes, std::nullopt, parentStyle()));
}

void SVGXMLParserDelegate::buildLine(const SVGAttributeTable& attributes)
{
    if (startOwnElement(QStringLiteral("line"), attributes)) {
        return;
    }
    const SVGCurrentTransform t = currentTransform();
    const VectorStroke stroke{t.apply(lengthOr(attributes, "x1", 0), lengthOr(attributes, "y1", 0)),
                              t.apply(lengthOr(attributes, "x2", 80), lengthOr(attributes, "y2", 80))};
    const StrokeSmoother::NormalizedStrokes normalized = StrokeSmoother::normalizeStrokes({stroke});
    VectorStyle style = SVGCodec::buildStyle(attributes, std::nullopt, parentStyle());
    if (!style.strokeColorHex) {
        style.strokeColorHex = kDefaultInk;
    }
    appendElement(L("Ligne", "Line"), singleSubpath(normalized.strokes.front(), false), normalized.frame, style);
}

void SVGXMLParserDelegate::buildPolyline(const SVGAttributeTable& attributes, bool closed)
{
    if (closed) {
        if (SVGCodec::isArrowHead(attributes) || startOwnElement(QStringLiteral("polygon"), attributes)) {
            return;
        }
    }
    const auto pointsText = attributes.constFind(QStringLiteral("points"));
    if (pointsText == attributes.constEnd()) {
        return;
    }
    const QList<double> numbers = SVGCodec::readNumberList(pointsText.value());
    const SVGCurrentTransform t = currentTransform();
    VectorStroke stroke;
    stroke.reserve(numbers.size() / 2);
    for (qsizetype i = 0; i + 1 < numbers.size(); i += 2) {
        stroke.append(t.apply(numbers[i], numbers[i + 1]));
    }
    if (stroke.size() < 2) {
        return;
    }
    const StrokeSmoother::NormalizedStrokes normalized = StrokeSmoother::normalizeStrokes({stroke});
    appendElement(
        closed ? L("Polygone", "Polygon") : L("Polyligne", "Polyline"),
        singleSubpath(normalized.strokes.front(), closed), normalized.frame,
        SVGCodec::buildStyle(attributes, closed ? std::optional<QString>(kDefaultInk) : std::nullopt, parentStyle()));
}

void SVGXMLParserDelegate::buildPath(const SVGAttributeTable& attributes)
{
    if (startOwnElement(QStringLiteral("path"), attributes)) {
        return;
    }
    const QString d = attributes.value(QStringLiteral("d"));
    if (d.isEmpty()) {
        return;
    }
    const SVGCurrentTransform t = currentTransform();
    QList<VectorSubpath> subpaths = SVGCodec::parsePathData(d, t.offset, t.scale);
    QList<VectorPoint> all;
    for (const VectorSubpath& subpath : subpaths) {
        all.append(subpath.points);
    }
    if (all.isEmpty()) {
        return;
    }
    if (const GroupContext* group = innermostGroup(); group && group->isSignatureGroup) {
        for (const VectorSubpath& subpath : subpaths) {
            m_signatureStrokesAccumulator.append(subpath.points);
        }
        return;
    }
    const VectorRect frame = VectorRect::bounding(all, 4);
    const double width = std::max(frame.width, 1.0);
    const double height = std::max(frame.height, 1.0);
    for (VectorSubpath& subpath : subpaths) {
        for (VectorPoint& p : subpath.points) {
            p = {(p.x - frame.x) / width, (p.y - frame.y) / height};
        }
    }
    VectorStyle style = SVGCodec::buildStyle(attributes, std::nullopt, parentStyle());
    if (!style.strokeColorHex && !style.fillColorHex) {
        style.strokeColorHex = kDefaultInk;
    }
    PathPayload path;
    path.subpaths = std::move(subpaths);
    path.smoothCurves = true;
    const auto id = attributes.constFind(QStringLiteral("id"));
    appendElement(id != attributes.constEnd() ? id.value() : L("Tracé vectoriel", "Vector Path"), std::move(path),
                  frame, style);
}

void SVGXMLParserDelegate::startText(const SVGAttributeTable& attributes)
{
    if (startOwnElement(QStringLiteral("text"), attributes)) {
        return;
    }
    if (const GroupContext* group = innermostGroup(); group && (group->isSignatureGroup || group->isStampGroup)) {
        return;
    }
    m_activeTextAttributes = attributes;
    m_activeTextAccumulator.clear();
}

void SVGXMLParserDelegate::startTextSpan()
{
    if (m_activeTextAttributes && !m_activeTextAccumulator.isEmpty()) {
        m_activeTextAccumulator.append(QLatin1Char('\n'));
    }
}

void SVGXMLParserDelegate::endText()
{
    if (!m_activeTextAttributes) {
        return;
    }
    const SVGAttributeTable attributes = std::move(*m_activeTextAttributes);
    m_activeTextAttributes.reset();
    const QString text = m_activeTextAccumulator.trimmed();
    m_activeTextAccumulator.clear();
    if (text.isEmpty()) {
        return;
    }

    const SVGCurrentTransform t = currentTransform();
    const double fontSize = t.scale.y * lengthOr(attributes, "font-size", 14);
    const double x = lengthOr(attributes, "x", 24);
    const double y = SVGCodec::parseDimension(attributes, QStringLiteral("y")).value_or(fontSize + 24);
    double anchorX = t.offset.x + t.scale.x * x;
    const double anchorY = t.offset.y + t.scale.y * y;

    const QString weight = attributes.value(QStringLiteral("font-weight")).toLower();
    const bool bold = weight.contains(QLatin1String("bold")) || weight == QLatin1String("700");
    const bool italic = attributes.value(QStringLiteral("font-style")).toLower().contains(QLatin1String("italic"));
    QString family = QStringLiteral("Helvetica Neue");
    if (const auto it = attributes.constFind(QStringLiteral("font-family")); it != attributes.constEnd()) {
        family = it.value();
        family.remove(QLatin1Char('\''));
        family.remove(QLatin1Char('"'));
    }
    QString color = kDefaultInk;
    const auto fill = attributes.constFind(QStringLiteral("fill"));
    if (const std::optional<QString> own =
            fill != attributes.constEnd() ? SVGCodec::normalizedColor(fill.value()) : std::nullopt) {
        color = *own;
    } else if (const GroupContext* group = innermostGroup(); group && group->fillHex) {
        color = *group->fillHex;
    }

    const QStringList lines = text.split(QLatin1Char('\n'));
    qsizetype longest = 0;
    for (const QString& line : lines) {
        longest = std::max(longest, graphemeCount(line));
    }
    const double characters = double(std::max<qsizetype>(longest, 4));
    const double width = std::max(fontSize * characters * 0.56, 48.0);
    const double height = std::max(fontSize * 1.25, double(lines.size()) * fontSize * 1.32);

    TextAlignmentMode alignment = TextAlignmentMode::left;
    const QString anchor = attributes.value(QStringLiteral("text-anchor")).toLower();
    if (anchor == QLatin1String("middle")) {
        anchorX -= width / 2;
        alignment = TextAlignmentMode::center;
    } else if (anchor == QLatin1String("end")) {
        anchorX -= width;
        alignment = TextAlignmentMode::right;
    }

    TextPayload payload;
    payload.text = text;
    payload.fontFamily = family;
    payload.fontSize = fontSize;
    payload.isBold = bold;
    payload.isItalic = italic;
    payload.alignment = alignment;
    payload.maskColorHex = QStringLiteral("#FFFFFF");
    appendElement(leadingGraphemes(text, 28), TextPayload::make(std::move(payload)),
                  VectorRect(anchorX, std::max(anchorY - fontSize, 0.0), std::max(width, 1.0), std::max(height, 1.0)),
                  VectorStyle(std::nullopt, color, 0, 1, false));
}

}  // namespace zelvane
