#include "ElementInk.h"

#include <QTransform>
#include <algorithm>
#include <cmath>

namespace zelvane {

namespace {

bool isFinite(const QRectF& r)
{
    return std::isfinite(r.x()) && std::isfinite(r.y()) && std::isfinite(r.width()) && std::isfinite(r.height());
}

double finiteOr(double value, double fallback)
{
    return std::isfinite(value) ? value : fallback;
}

// The longest line of a text, in UTF-16 units, and its number of lines.
std::pair<qsizetype, qsizetype> lineLengths(const QString& text)
{
    qsizetype longest = 0;
    qsizetype lines = 1;
    qsizetype run = 0;
    for (const QChar c : text) {
        if (c == QLatin1Char('\n')) {
            ++lines;
            run = 0;
        } else {
            longest = std::max(longest, ++run);
        }
    }
    return {longest, lines};
}

// How many font sizes wide a run of `characters` may be drawn, spacing
// aside: generously, since no glyph is measured.
double emsWide(qsizetype characters)
{
    return double(characters) * 1.5 + 1;
}

// The smallest sizes, in pane points, that the canvas draws text, captions
// and badge titles at.
constexpr double kSmallestText = 6;
// Pane points around everything: antialiasing, the thinnest stroke, the
// dashed box of PDF text.
constexpr double kPaneMargin = 4;

}  // namespace

QRectF ElementInk::at(double s) const
{
    if (box.isNull() || !(s > 0) || !std::isfinite(s))
        return box;
    const double grow = growth / s;
    return box.adjusted(-grow, -grow, grow, grow);
}

void ElementInk::unite(const ElementInk& other)
{
    if (other.box.isNull())
        return;
    box = box.isNull() ? other.box : box.united(other.box);
    growth = std::max(growth, other.growth);
}

bool ElementInk::hasOutlineBeyondFrame(const VectorElement& element)
{
    return std::holds_alternative<PathPayload>(element.kind) || std::holds_alternative<SignaturePayload>(element.kind);
}

namespace {

// The area at `unit` page points a pane point (0 for the part that does not
// depend on the scale); with `growth`, what the rest may add, in pane
// points.
QRectF inkArea(const VectorElement& element, const std::optional<QRectF>& outline, double unit, double* growth)
{
    const QRectF frame = element.frame.toQRectF().normalized();
    if (!isFinite(frame))
        return {};
    QRectF ink = frame;
    if (outline && isFinite(*outline) && !outline->isNull())
        ink = ink.united(*outline);
    double more = kPaneMargin;
    // Text drawn at a font of `size` page points but never under
    // kSmallestText pane points.
    const auto drawnSize = [&](double size) { return std::max(size, kSmallestText * unit); };
    const auto textBox = [&](const QRectF& box, qsizetype characters) {
        ink = ink.united(box);
        more += kSmallestText * (emsWide(characters) + 3);
    };
    std::optional<QRectF> printed;
    if (const auto* text = std::get_if<TextPayload>(&element.kind)) {
        const double nominal = std::abs(finiteOr(text->fontSize, 5.0));
        const double size = drawnSize(nominal);
        const double spacing = std::abs(finiteOr(text->letterSpacing, 0));
        const auto [longest, lines] = lineLengths(text->text);
        const double w = emsWide(longest) * size + double(longest) * spacing;
        const double baseline = text->baselineOffset ? finiteOr(*text->baselineOffset, nominal) : nominal;
        const double top = frame.top() + std::min(baseline, 0.0) - 2 * size;
        const double bottom = frame.top() + std::max(baseline, 0.0) + double(lines - 1) * 1.25 * nominal + size;
        double left = frame.left() - size;
        if (text->alignment == TextAlignmentMode::center)
            left = frame.center().x() - w / 2;
        else if (text->alignment == TextAlignmentMode::right)
            left = frame.right() - w;
        textBox(QRectF(left, top, w + size, bottom - top), longest);
        if (const auto bounds = text->printedPDFBounds(); bounds && isFinite(bounds->toQRectF()))
            printed = bounds->toQRectF().normalized().adjusted(-size - 1, -size - 1, size + 1, size + 1);
    } else if (const auto* signature = std::get_if<SignaturePayload>(&element.kind)) {
        qsizetype characters = 0;
        for (const std::optional<QString>& part :
             {std::optional<QString>(signature->signerName), signature->dateLabel, signature->caption})
            characters += part ? part->size() + 3 : 0;
        if (characters > 0) {
            const double size = drawnSize(8.5);
            textBox(QRectF(frame.left(), frame.bottom() - 2 - 2 * size, emsWide(characters) * size + 2, 2 * size + 2),
                    characters);
        }
    } else if (const auto* stamp = std::get_if<StampPayload>(&element.kind)) {
        const double h = frame.height();
        const auto centred = [&](const QString& line, double size, double at) {
            const double w = emsWide(line.size()) * size;
            textBox(QRectF(frame.center().x() - w / 2, frame.top() + at * h - 1.5 * size, w, 3 * size), line.size());
        };
        centred(stamp->title, drawnSize(std::min(h * 0.28, 13.5)), 0.38);
        centred(stamp->subtitle, drawnSize(std::min(h * 0.17, 8.5)), 0.72);
    }
    const double degrees = element.rotationDegrees;
    if (std::isfinite(degrees) && std::abs(degrees) > 0.01) {
        const QPointF c = frame.center();
        ink = QTransform::fromTranslate(c.x(), c.y()).rotate(degrees).translate(-c.x(), -c.y()).mapRect(ink);
        // A square grown and turned stays within a square grown by its
        // diagonal.
        more *= std::sqrt(2.0);
    }
    // The stroke, its round caps, the badge's plate, and the arrow heads,
    // which reach past the frame's corners.
    const double stroke = std::abs(finiteOr(element.style.strokeWidth, 0));
    double margin = stroke + 2 + kPaneMargin * unit;
    if (const auto* shape = std::get_if<ShapePayload>(&element.kind)) {
        if (shape->shapeType == VectorShapeType::line || shape->shapeType == VectorShapeType::arrow)
            margin += std::max(stroke * 4, 8.0);
    }
    ink.adjust(-margin, -margin, margin, margin);
    if (printed)
        ink = ink.united(*printed);
    if (!isFinite(ink))
        return {};
    if (growth)
        *growth = more;
    return ink;
}

}  // namespace

ElementInk ElementInk::of(const VectorElement& element, const std::optional<QRectF>& outline)
{
    ElementInk ink;
    ink.box = inkArea(element, outline, 0, &ink.growth);
    return ink;
}

QRectF ElementInk::area(const VectorElement& element, const std::optional<QRectF>& outline, double s)
{
    if (!(s > 0) || !std::isfinite(s))
        return of(element, outline).box;
    return inkArea(element, outline, 1 / s, nullptr);
}

}  // namespace zelvane
