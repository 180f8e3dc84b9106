#include "svg/SVGElementData.h"

#include "Graphemes.h"
#include "Localization.h"
#include "svg/SVGValueText.h"

#include <cmath>

#include <array>
#include <string_view>
#include <type_traits>
#include <unordered_map>

namespace zelvane::SVGCodec {

namespace {

const QString kNullUuidText = QStringLiteral("00000000-0000-0000-0000-000000000000");

// The id in upper-case hexadecimal without braces.
void appendUuid(QByteArray& out, const QUuid& id)
{
    const QByteArray bytes = id.toRfc4122();
    static constexpr char kDigits[] = "0123456789ABCDEF";
    char text[36];
    char* p = text;
    for (int i = 0; i < 16; ++i) {
        if (i == 4 || i == 6 || i == 8 || i == 10) {
            *p++ = '-';
        }
        *p++ = kDigits[uchar(bytes[i]) >> 4];
        *p++ = kDigits[uchar(bytes[i]) & 0xF];
    }
    out.append(text, sizeof text);
}

std::optional<QUuid> readUuid(const std::optional<QStringView>& text)
{
    if (!text) {
        return std::nullopt;
    }
    const QUuid id = QUuid::fromString(*text);
    if (id.isNull() && text->compare(kNullUuidText, Qt::CaseInsensitive) != 0) {
        return std::nullopt;
    }
    return id;
}

void appendRect(QByteArray& out, const VectorRect& rect)
{
    appendExact(out, rect.x);
    out.append(' ');
    appendExact(out, rect.y);
    out.append(' ');
    appendExact(out, rect.width);
    out.append(' ');
    appendExact(out, rect.height);
}

// "M x,y x,y ... [Z]", numbers exact.
void appendPoints(QByteArray& out, const QList<VectorPoint>& points, bool closed)
{
    out.append('M');
    for (const VectorPoint& p : points) {
        out.append(' ');
        appendExact(out, p.x);
        out.append(',');
        appendExact(out, p.y);
    }
    if (closed) {
        out.append(" Z");
    }
}

std::optional<VectorRect> readRect(const std::optional<QStringView>& text)
{
    if (!text) {
        return std::nullopt;
    }
    // Exactly four numbers, one space apart.
    double values[4];
    QStringView rest = *text;
    for (int i = 0; i < 4; ++i) {
        const qsizetype space = i < 3 ? rest.indexOf(u' ') : -1;
        if (i < 3 && space < 0) {
            return std::nullopt;
        }
        const std::optional<double> value = readFiniteNumber(i < 3 ? rest.left(space) : rest);
        if (!value) {
            return std::nullopt;
        }
        values[i] = *value;
        rest = i < 3 ? rest.mid(space + 1) : rest;
    }
    // Assigned field by field: the frame is kept exactly as it was written.
    VectorRect rect;
    rect.x = values[0];
    rect.y = values[1];
    rect.width = values[2];
    rect.height = values[3];
    return rect;
}

// Writes attributes, each preceded by a space, at the end of a text.
class AttributeWriter {
public:
    explicit AttributeWriter(QByteArray& out) : m_out(out) {}

    void text(QLatin1String name, QStringView value)
    {
        open(name);
        appendEscapedAttribute(m_out, value);
        close();
    }
    void optionalText(QLatin1String name, const std::optional<QString>& value)
    {
        if (value) {
            text(name, *value);
        }
    }
    void number(QLatin1String name, double value)
    {
        open(name);
        appendExact(m_out, value);
        close();
    }
    void optionalNumber(QLatin1String name, const std::optional<double>& value)
    {
        if (value) {
            number(name, *value);
        }
    }
    void flag(QLatin1String name, bool value)
    {
        if (value) {
            raw(name, QLatin1String("true"));
        }
    }
    void optionalBool(QLatin1String name, const std::optional<bool>& value)
    {
        if (value) {
            raw(name, *value ? QLatin1String("true") : QLatin1String("false"));
        }
    }
    void rect(QLatin1String name, const VectorRect& value)
    {
        open(name);
        appendRect(m_out, value);
        close();
    }
    void uuid(QLatin1String name, const QUuid& value)
    {
        open(name);
        appendUuid(m_out, value);
        close();
    }
    void subpaths(QLatin1String name, const QList<VectorSubpath>& value)
    {
        open(name);
        appendSubpaths(m_out, value);
        close();
    }
    void strokes(QLatin1String name, const QList<QList<VectorPoint>>& value)
    {
        open(name);
        for (qsizetype i = 0; i < value.size(); ++i) {
            if (i > 0) {
                m_out.append(u' ');
            }
            appendPoints(m_out, value[i], false);
        }
        close();
    }
    void asset(const std::optional<QByteArray>& data, const std::optional<QString>& extension, bool removeWhite)
    {
        if (data) {
            open(QLatin1String("data-asset"));
            m_out.append(data->toBase64());
            close();
        }
        optionalText(QLatin1String("data-asset-extension"), extension);
        flag(QLatin1String("data-remove-white-background"), removeWhite);
    }
    void raw(QLatin1String name, QByteArrayView value)
    {
        open(name);
        m_out.append(value);
        close();
    }
    void raw(QLatin1String name, QLatin1String value) { raw(name, QByteArrayView(value.data(), value.size())); }
    void raw(QLatin1String name, QStringView value)
    {
        open(name);
        appendUtf8(m_out, value);
        close();
    }

private:
    void open(QLatin1String name)
    {
        m_out.append(' ');
        m_out.append(name.data(), name.size());
        m_out.append("=\"", 2);
    }
    void close() { m_out.append('"'); }

    QByteArray& m_out;
};

// The attribute names the program's data is read from, each with its slot.
constexpr std::string_view kReadNames[] = {
    "d", "data-asset", "data-asset-extension", "data-baseline-offset", "data-caption", "data-corner-radius",
    "data-dashed", "data-date-label", "data-end-arrow", "data-fill-color", "data-font-size", "data-frame", "data-id",
    "data-kind", "data-letter-spacing", "data-locked", "data-mask-color", "data-name", "data-no-fill", "data-opacity",
    "data-original-bold", "data-original-color", "data-original-font-family", "data-original-font-size",
    "data-original-height", "data-original-italic", "data-original-postscript-font", "data-original-rect",
    "data-original-rotation", "data-original-text", "data-original-width", "data-page-id", "data-page-size", "data-page-title", "data-pdf-text", "data-points", "data-postscript-font",
    "data-remove-white-background", "data-role", "data-rotation", "data-shape", "data-signer", "data-smooth-curves",
    "data-start-arrow", "data-stroke-color", "data-stroke-width", "data-strokes", "data-subpaths", "data-subtitle",
    "data-title", "display", "fill", "font-family", "font-size", "font-style", "font-weight", "opacity", "rx", "stroke",
    "stroke-dasharray", "stroke-width", "text-anchor"};
constexpr int kReadNameCount = int(std::size(kReadNames));

// The slot of a name, found while compiling: a name not in the list does
// not compile.
consteval int S(std::string_view name)
{
    for (int i = 0; i < kReadNameCount; ++i) {
        if (kReadNames[i] == name) {
            return i;
        }
    }
    throw "not a name the program reads";
}

int slotOf(std::string_view name)
{
    static const std::unordered_map<std::string_view, int> table = [] {
        std::unordered_map<std::string_view, int> map;
        for (int i = 0; i < kReadNameCount; ++i) {
            map.emplace(kReadNames[i], i);
        }
        return map;
    }();
    const auto it = table.find(name);
    return it == table.end() ? -1 : it->second;
}

// An element's attributes looked up by name, the table walked once.
class AttributeReader {
public:
    explicit AttributeReader(const SVGAttributeTable& attributes)
    {
        attributes.forEach([this](QStringView name, QStringView value) {
            char ascii[32];
            if (name.size() >= qsizetype(sizeof ascii)) {
                return;
            }
            for (qsizetype i = 0; i < name.size(); ++i) {
                const char16_t c = name[i].unicode();
                if (c > 0x7F) {
                    return;
                }
                ascii[i] = char(c);
            }
            if (const int slot = slotOf(std::string_view(ascii, size_t(name.size()))); slot >= 0) {
                m_values[size_t(slot)] = value;
            }
        });
    }

    // Each takes the slot S(name) of an attribute name.
    std::optional<QString> text(int slot) const
    {
        const std::optional<QStringView> value = view(slot);
        return value ? std::optional<QString>(value->toString()) : std::nullopt;
    }
    // The value in place, for reading without a copy.
    std::optional<QStringView> view(int slot) const { return m_values[size_t(slot)]; }
    std::optional<double> number(int slot) const
    {
        const std::optional<QStringView> value = view(slot);
        return value ? readFiniteNumber(*value) : std::nullopt;
    }
    bool flag(int slot) const { return view(slot) == QLatin1String("true"); }
    std::optional<bool> optionalBool(int slot) const
    {
        const std::optional<QStringView> value = view(slot);
        if (value == QLatin1String("true")) {
            return true;
        }
        if (value == QLatin1String("false")) {
            return false;
        }
        return std::nullopt;
    }
    std::optional<QByteArray> asset() const
    {
        const std::optional<QStringView> value = view(S("data-asset"));
        if (!value) {
            return std::nullopt;
        }
        const QByteArray::FromBase64Result decoded =
            QByteArray::fromBase64Encoding(value->toLatin1(), QByteArray::AbortOnBase64DecodingErrors);
        if (!decoded) {
            return std::nullopt;
        }
        return *decoded;
    }

private:
    std::array<std::optional<QStringView>, kReadNameCount> m_values;
};

// Which of an element's fields the plain markup of its outermost tag holds,
// as the writer (export/SVGElementWriter.cpp) puts them there.
struct PlainMarkup {
    bool fill = false;         // fill="colour or none"
    bool stroke = false;       // stroke="colour or none"
    bool strokeWidth = false;  // stroke-width, two decimals
    bool dash = false;         // stroke-dasharray when dashed
    bool textFill = false;     // a text's fill: its fill, else its stroke, else the default ink
};

PlainMarkup plainMarkupOf(const VectorElement& element)
{
    PlainMarkup plain;
    if (element.text()) {
        plain.textFill = true;
    } else if (const auto* shape = std::get_if<ShapePayload>(&element.kind)) {
        const bool line = shape->shapeType == VectorShapeType::line || shape->shapeType == VectorShapeType::arrow;
        plain.fill = !line;
        plain.stroke = plain.strokeWidth = plain.dash = true;
    } else if (std::holds_alternative<PathPayload>(element.kind)) {
        plain.fill = plain.stroke = plain.strokeWidth = plain.dash = true;
    }
    return plain;
}

PlainMarkup plainMarkupOf(const QString& tag)
{
    PlainMarkup plain;
    if (tag == QLatin1String("text")) {
        plain.textFill = true;
    } else if (tag == QLatin1String("line")) {
        plain.stroke = plain.strokeWidth = plain.dash = true;
    } else if (tag != QLatin1String("g")) {
        plain.fill = plain.stroke = plain.strokeWidth = plain.dash = true;
    }
    return plain;
}

// Below this many points a frame's side keeps its point lists exactly: the
// two decimals of the plain markup would then be more than a few parts in
// ten thousand of the element.
constexpr double kPlainPointsMinSide = 16;

// Point lists that the plain markup's coordinates (page points, two
// decimals) carry: a frame of at least kPlainPointsMinSide each way and
// finite points, every list holding some.
template <typename Lists, typename PointsOf>
bool plainPointsCarry(const Lists& lists, const PointsOf& pointsOf, const VectorRect& frame)
{
    if (!(frame.width >= kPlainPointsMinSide && frame.height >= kPlainPointsMinSide && std::isfinite(frame.x) && std::isfinite(frame.y)
          && std::isfinite(frame.width) && std::isfinite(frame.height))) {
        return false;
    }
    for (const auto& list : lists) {
        const QList<VectorPoint>& points = pointsOf(list);
        if (points.isEmpty()) {
            return false;
        }
        for (const VectorPoint& p : points) {
            if (!std::isfinite(p.x) || !std::isfinite(p.y)) {
                return false;
            }
        }
    }
    return true;
}

// The data of each kind; the frame for the kinds whose point lists the
// plain markup may carry.
void writePayload(AttributeWriter& out, const TextPayload& text, const VectorRect&)
{
    if (!numReadsBackExactly(text.fontSize)) {
        out.number(QLatin1String("data-font-size"), text.fontSize);
    }
    out.optionalText(QLatin1String("data-postscript-font"), text.postScriptFontName);
    out.optionalNumber(QLatin1String("data-baseline-offset"), text.baselineOffset);
    if (text.letterSpacing != 0) {
        out.number(QLatin1String("data-letter-spacing"), text.letterSpacing);
    }
    // What the line was in the PDF (its text, place, font and colours) and
    // the colour that hides it stay out of the file.
}

void writePayload(AttributeWriter& out, const ShapePayload& shape, const VectorRect&)
{
    if (shape.shapeType == VectorShapeType::arrow) {
        out.raw(QLatin1String("data-shape"), rawValue(shape.shapeType));
    }
    const bool plainRadius = shape.shapeType == VectorShapeType::roundedRectangle;
    if (plainRadius ? !numReadsBackExactly(shape.cornerRadius) : shape.cornerRadius != 0) {
        out.number(QLatin1String("data-corner-radius"), shape.cornerRadius);
    }
    out.flag(QLatin1String("data-start-arrow"), shape.startArrow);
    out.flag(QLatin1String("data-end-arrow"), shape.endArrow);
    if (shape.points) {
        out.strokes(QLatin1String("data-points"), {*shape.points});
    }
}

void writePayload(AttributeWriter& out, const PathPayload& path, const VectorRect& frame)
{
    if (!plainPointsCarry(path.subpaths, [](const VectorSubpath& s) -> const QList<VectorPoint>& { return s.points; },
                          frame)) {
        out.subpaths(QLatin1String("data-subpaths"), path.subpaths);
    }
    out.flag(QLatin1String("data-start-arrow"), path.startArrow);
    out.flag(QLatin1String("data-end-arrow"), path.endArrow);
    out.flag(QLatin1String("data-smooth-curves"), path.smoothCurves);
}

void writePayload(AttributeWriter& out, const SignaturePayload& signature, const VectorRect& frame)
{
    out.optionalText(QLatin1String("data-date-label"), signature.dateLabel);
    out.optionalText(QLatin1String("data-caption"), signature.caption);
    // Artwork takes the place of the strokes' paths.
    if (!signature.strokes.isEmpty()
        && (signature.assetData
            || !plainPointsCarry(signature.strokes, [](const QList<VectorPoint>& s) -> const QList<VectorPoint>& { return s; },
                                 frame))) {
        out.strokes(QLatin1String("data-strokes"), signature.strokes);
    }
    out.asset(signature.assetData, signature.assetExtension, signature.removeWhiteBackground);
}

void writePayload(AttributeWriter& out, const StampPayload& stamp, const VectorRect&)
{
    if (!stamp.title.isEmpty()) {
        out.text(QLatin1String("data-title"), stamp.title);
    }
    if (!stamp.subtitle.isEmpty()) {
        out.text(QLatin1String("data-subtitle"), stamp.subtitle);
    }
    out.asset(stamp.assetData, stamp.assetExtension, stamp.removeWhiteBackground);
}

TextPayload readTextPayload(const AttributeReader& in, bool compact)
{
    TextPayload text;
    text.fontFamily = in.text(S("font-family")).value_or(QString());
    text.fontSize = in.number(S("data-font-size")).value_or(compact ? in.number(S("font-size")).value_or(text.fontSize)
                                                                   : text.fontSize);
    text.postScriptFontName = in.text(S("data-postscript-font"));
    text.isBold = in.view(S("font-weight")) == QLatin1String("bold");
    text.isItalic = in.view(S("font-style")) == QLatin1String("italic");
    const std::optional<QStringView> anchor = in.view(S("text-anchor"));
    text.alignment = anchor == QLatin1String("middle") ? TextAlignmentMode::center
                     : anchor == QLatin1String("end")  ? TextAlignmentMode::right
                                                       : TextAlignmentMode::left;
    text.baselineOffset = in.number(S("data-baseline-offset"));
    text.letterSpacing = in.number(S("data-letter-spacing")).value_or(0);
    text.maskColorHex = in.text(S("data-mask-color")).value_or(compact ? QStringLiteral("#FFFFFF") : QString());
    if (compact) {
        return text;
    }
    // Files written before the PDF details were left out carry them.
    text.isPDFExtracted = in.flag(S("data-pdf-text"));
    text.originalPDFText = in.text(S("data-original-text"));
    text.originalPDFRect = readRect(in.view(S("data-original-rect")));
    text.originalFontSize = in.number(S("data-original-font-size"));
    text.originalIsBold = in.optionalBool(S("data-original-bold"));
    text.originalIsItalic = in.optionalBool(S("data-original-italic"));
    text.originalTextColorHex = in.text(S("data-original-color"));
    text.originalRotationDegrees = in.number(S("data-original-rotation"));
    text.originalFrameWidth = in.number(S("data-original-width"));
    text.originalFrameHeight = in.number(S("data-original-height"));
    text.originalFontFamily = in.text(S("data-original-font-family"));
    text.originalPostScriptFontName = in.text(S("data-original-postscript-font"));
    return text;
}

std::optional<VectorShapeType> shapeTypeForTag(const QString& tag, const AttributeReader& in, bool compact)
{
    if (tag == QLatin1String("rect")) {
        return compact && in.view(S("rx")) ? VectorShapeType::roundedRectangle : VectorShapeType::rectangle;
    }
    if (tag == QLatin1String("ellipse")) {
        return VectorShapeType::ellipse;
    }
    if (tag == QLatin1String("polygon")) {
        return VectorShapeType::diamond;
    }
    if (tag == QLatin1String("line")) {
        return VectorShapeType::line;
    }
    return std::nullopt;
}

// Calls `each` with every non-empty piece of `text` between spaces.
template <typename Each>
void forEachSpaceSeparated(QStringView text, const Each& each)
{
    const qsizetype n = text.size();
    for (qsizetype start = 0; start < n;) {
        qsizetype end = text.indexOf(u' ', start);
        if (end < 0) {
            end = n;
        }
        if (end > start) {
            each(text.sliced(start, end - start));
        }
        start = end + 1;
    }
}

// Page points of the path data the writer puts on a path ("M x y L x y ...
// Z", subpaths one after the other) made relative to `frame`.
QList<VectorSubpath> relativeSubpaths(QStringView d, const VectorRect& frame)
{
    QList<VectorSubpath> subpaths;
    const double width = frame.width;
    const double height = frame.height;
    // The x of a point whose y is still to come.
    double x = 0;
    bool hasX = false;
    forEachSpaceSeparated(d, [&](QStringView token) {
        if (token == u'L') {
            return;
        }
        if (token == u'M') {
            subpaths.append(VectorSubpath{});
            hasX = false;
        } else if (token == u'Z') {
            if (!subpaths.isEmpty()) {
                subpaths.back().isClosed = true;
            }
        } else if (const std::optional<double> value = readFiniteNumber(token); value && !subpaths.isEmpty()) {
            if (!hasX) {
                x = *value;
                hasX = true;
            } else {
                subpaths.back().points.append({(x - frame.x) / width, (*value - frame.y) / height});
                hasX = false;
            }
        }
    });
    return subpaths;
}

std::optional<VectorElementKind> readKind(const QString& tag, const AttributeReader& in, const VectorRect& frame,
                                          bool compact)
{
    if (tag == QLatin1String("text")) {
        return readTextPayload(in, compact);
    }
    if (tag == QLatin1String("path")) {
        PathPayload path;
        if (const std::optional<QStringView> points = in.view(S("data-subpaths")); points || !compact) {
            path.subpaths = readSubpaths(points.value_or(QStringView()));
        } else {
            path.subpaths = relativeSubpaths(in.view(S("d")).value_or(QStringView()), frame);
        }
        path.startArrow = in.flag(S("data-start-arrow"));
        path.endArrow = in.flag(S("data-end-arrow"));
        path.smoothCurves = in.flag(S("data-smooth-curves"));
        return path;
    }
    if (tag == QLatin1String("g")) {
        const std::optional<QStringView> role = in.view(S("data-role"));
        if (role == QLatin1String("signature")) {
            SignaturePayload signature;
            signature.signerName = in.text(S("data-signer")).value_or(QString());
            signature.dateLabel = in.text(S("data-date-label"));
            signature.caption = in.text(S("data-caption"));
            for (const VectorSubpath& stroke : readSubpaths(in.view(S("data-strokes")).value_or(QStringView()))) {
                signature.strokes.append(stroke.points);
            }
            signature.assetData = in.asset();
            signature.assetExtension = in.text(S("data-asset-extension"));
            signature.removeWhiteBackground = in.flag(S("data-remove-white-background"));
            return signature;
        }
        if (role == QLatin1String("stamp")) {
            StampPayload stamp;
            stamp.stampKind = fromRawValue<VectorStampKind>(in.text(S("data-kind")).value_or(QString()))
                                  .value_or(VectorStampKind::approved);
            stamp.title = in.text(S("data-title")).value_or(QString());
            stamp.subtitle = in.text(S("data-subtitle")).value_or(QString());
            stamp.assetData = in.asset();
            stamp.assetExtension = in.text(S("data-asset-extension"));
            stamp.removeWhiteBackground = in.flag(S("data-remove-white-background"));
            return stamp;
        }
        return std::nullopt;
    }
    const std::optional<VectorShapeType> tagType = shapeTypeForTag(tag, in, compact);
    if (!tagType) {
        return std::nullopt;
    }
    ShapePayload shape;
    shape.shapeType = fromRawValue<VectorShapeType>(in.text(S("data-shape")).value_or(QString())).value_or(*tagType);
    const bool plainRadius = compact && shape.shapeType == VectorShapeType::roundedRectangle;
    shape.cornerRadius = in.number(S("data-corner-radius")).value_or(plainRadius ? in.number(S("rx")).value_or(0) : 0);
    shape.startArrow = in.flag(S("data-start-arrow"));
    shape.endArrow = in.flag(S("data-end-arrow"));
    if (const std::optional<QStringView> points = in.view(S("data-points"))) {
        const QList<VectorSubpath> read = readSubpaths(*points);
        shape.points = read.isEmpty() ? QList<VectorPoint>() : read.front().points;
    }
    return shape;
}

// The name an element read without one gets, as the reader of foreign SVG
// would name it.
QString defaultName(const VectorElement& element)
{
    return std::visit(
        [](const auto& payload) -> QString {
            using Payload = std::decay_t<decltype(payload)>;
            if constexpr (std::is_same_v<Payload, TextPayload>) {
                return textDefaultName(payload.text);
            } else if constexpr (std::is_same_v<Payload, ShapePayload>) {
                switch (payload.shapeType) {
                case VectorShapeType::rectangle: return QStringLiteral("Rectangle");
                case VectorShapeType::roundedRectangle: return L("Cadre arrondi", "Rounded Box");
                case VectorShapeType::ellipse: return QStringLiteral("Ellipse");
                case VectorShapeType::diamond: return L("Polygone", "Polygon");
                case VectorShapeType::line:
                case VectorShapeType::arrow: return L("Ligne", "Line");
                }
                return QStringLiteral("Rectangle");
            } else if constexpr (std::is_same_v<Payload, PathPayload>) {
                return L("Tracé vectoriel", "Vector Path");
            } else if constexpr (std::is_same_v<Payload, SignaturePayload>) {
                return payload.signerName.isEmpty() ? QStringLiteral("Signature")
                                                    : QStringLiteral("Signature ") + payload.signerName;
            } else {
                return payload.title;
            }
        },
        element.kind);
}

}  // namespace

void appendSubpaths(QByteArray& out, const QList<VectorSubpath>& subpaths)
{
    for (qsizetype i = 0; i < subpaths.size(); ++i) {
        if (i > 0) {
            out.append(' ');
        }
        appendPoints(out, subpaths[i].points, subpaths[i].isClosed);
    }
}

QList<VectorSubpath> readSubpaths(QStringView text)
{
    QList<VectorSubpath> subpaths;
    forEachSpaceSeparated(text, [&](QStringView token) {
        if (token == u'M') {
            subpaths.append(VectorSubpath{});
        } else if (token == u'Z') {
            if (!subpaths.isEmpty()) {
                subpaths.back().isClosed = true;
            }
        } else if (!subpaths.isEmpty()) {
            const qsizetype comma = token.indexOf(u',');
            if (comma < 0) {
                return;
            }
            const std::optional<double> x = readFiniteNumber(token.left(comma));
            const std::optional<double> y = readFiniteNumber(token.mid(comma + 1));
            if (x && y) {
                subpaths.back().points.append({*x, *y});
            }
        }
    });
    return subpaths;
}

void appendOwnElementAttributes(QByteArray& text, const VectorElement& element)
{
    AttributeWriter out(text);
    if (!element.visible) {
        out.raw(QLatin1String("display"), QLatin1String("none"));
    }
    out.uuid(QLatin1String("data-id"), element.id);
    out.rect(QLatin1String("data-frame"), element.frame);
    if (element.rotationDegrees != 0) {
        out.number(QLatin1String("data-rotation"), element.rotationDegrees);
    }
    // Each value goes here only where the plain markup does not already
    // give it back exactly.
    const PlainMarkup plain = plainMarkupOf(element);
    const VectorStyle& style = element.style;
    if (plain.stroke ? style.strokeColorHex == QLatin1String("none") : style.strokeColorHex.has_value()) {
        out.optionalText(QLatin1String("data-stroke-color"), style.strokeColorHex);
    }
    if (plain.textFill) {
        if (!style.fillColorHex) {
            out.flag(QLatin1String("data-no-fill"), true);
        }
    } else if (plain.fill ? style.fillColorHex == QLatin1String("none") : style.fillColorHex.has_value()) {
        out.optionalText(QLatin1String("data-fill-color"), style.fillColorHex);
    }
    if (plain.strokeWidth ? !numReadsBackExactly(style.strokeWidth) : style.strokeWidth != 0) {
        out.number(QLatin1String("data-stroke-width"), style.strokeWidth);
    }
    if (style.opacity < 0.999 ? !numReadsBackExactly(style.opacity) : style.opacity != 1) {
        out.number(QLatin1String("data-opacity"), style.opacity);
    }
    if (!plain.dash) {
        out.flag(QLatin1String("data-dashed"), style.dashed);
    }
    out.flag(QLatin1String("data-locked"), element.locked);
    std::visit([&](const auto& payload) { writePayload(out, payload, element.frame); }, element.kind);
}

void appendArrowHeadAttributes(QByteArray& text, const VectorElement& element)
{
    AttributeWriter out(text);
    if (!element.visible) {
        out.raw(QLatin1String("display"), QLatin1String("none"));
    }
    out.flag(QLatin1String("data-arrow-head"), true);
}

void appendOwnPageAttributes(QByteArray& text, const VectorPage& page)
{
    AttributeWriter out(text);
    out.uuid(QLatin1String("data-page-id"), page.id);
    out.text(QLatin1String("data-page-title"), page.title);
    QByteArray size;
    appendExact(size, page.width);
    size.append(' ');
    appendExact(size, page.height);
    out.raw(QLatin1String("data-page-size"), QByteArrayView(size));
}

void appendOwnDocumentAttributes(QByteArray& text, const QString& documentTitle)
{
    AttributeWriter out(text);
    out.text(QLatin1String("data-document-title"), documentTitle);
    out.raw(QLatin1String("data-dialect"), QLatin1String(kCompactDialect));
}

std::optional<VectorElement> readOwnElement(const QString& tag, const SVGAttributeTable& attributes, bool compact)
{
    const AttributeReader in(attributes);
    const std::optional<QUuid> id = readUuid(in.view(S("data-id")));
    const std::optional<VectorRect> frame = readRect(in.view(S("data-frame")));
    if (!id || !frame) {
        return std::nullopt;
    }
    std::optional<VectorElementKind> kind = readKind(tag, in, *frame, compact);
    if (!kind) {
        return std::nullopt;
    }
    VectorElement element;
    element.id = *id;
    element.kind = std::move(*kind);
    element.frame = *frame;
    element.rotationDegrees = in.number(S("data-rotation")).value_or(0);
    // Field by field, so that the values come back exactly as written.
    VectorStyle& style = element.style;
    style.strokeColorHex = in.text(S("data-stroke-color"));
    style.fillColorHex = in.text(S("data-fill-color"));
    style.strokeWidth = in.number(S("data-stroke-width")).value_or(0);
    style.opacity = in.number(S("data-opacity")).value_or(1);
    style.dashed = in.flag(S("data-dashed"));
    if (compact) {
        // What the plain markup holds exactly is not repeated.
        const PlainMarkup plain = plainMarkupOf(tag);
        const auto paint = [&](int name) -> std::optional<QString> {
            const std::optional<QString> value = in.text(name);
            return value == QLatin1String("none") ? std::nullopt : value;
        };
        if (plain.stroke && !style.strokeColorHex) {
            style.strokeColorHex = paint(S("stroke"));
        }
        if (plain.fill && !style.fillColorHex) {
            style.fillColorHex = paint(S("fill"));
        }
        if (plain.textFill && !in.flag(S("data-no-fill"))) {
            style.fillColorHex = in.text(S("fill"));
        }
        if (plain.strokeWidth && !in.view(S("data-stroke-width"))) {
            style.strokeWidth = in.number(S("stroke-width")).value_or(0);
        }
        if (!in.view(S("data-opacity"))) {
            style.opacity = in.number(S("opacity")).value_or(1);
        }
        if (plain.dash) {
            style.dashed = style.dashed || in.view(S("stroke-dasharray")).has_value();
        }
    }
    element.visible = in.view(S("display")) != QLatin1String("none");
    element.locked = in.flag(S("data-locked"));
    // A text's default name waits for its content (textDefaultName).
    if (const std::optional<QStringView> name = in.view(S("data-name"))) {
        element.name = name->toString();
    } else if (!element.text()) {
        element.name = defaultName(element);
    }
    return element;
}

bool hasOwnName(const SVGAttributeTable& attributes)
{
    return attributes.contains(QStringLiteral("data-name"));
}

QString textDefaultName(const QString& text)
{
    const QString trimmed = text.trimmed();
    if (trimmed.isEmpty()) {
        return L("Bloc de texte", "Text Block");
    }
    // 28 code units are at most 28 characters.
    return trimmed.size() <= 28 ? trimmed : leadingGraphemes(trimmed, 28);
}

bool strokesFollowAsPaths(const SVGAttributeTable& attributes, bool compact)
{
    return compact && !attributes.contains(QStringLiteral("data-strokes"));
}

QList<VectorPoint> relativePoints(QStringView pathData, const VectorRect& frame)
{
    QList<VectorSubpath> subpaths = relativeSubpaths(pathData, frame);
    if (subpaths.size() == 1) {
        return std::move(subpaths.front().points);
    }
    QList<VectorPoint> points;
    for (const VectorSubpath& subpath : std::as_const(subpaths)) {
        points.append(subpath.points);
    }
    return points;
}

bool isArrowHead(const SVGAttributeTable& attributes)
{
    return attributes.constFind(QStringLiteral("data-arrow-head")).view() == QLatin1String("true");
}

std::optional<OwnPageData> readOwnPage(const SVGAttributeTable& attributes)
{
    const AttributeReader in(attributes);
    const std::optional<QUuid> id = readUuid(in.view(S("data-page-id")));
    if (!id) {
        return std::nullopt;
    }
    OwnPageData page;
    page.id = *id;
    page.title = in.text(S("data-page-title"));
    if (const std::optional<QString> size = in.text(S("data-page-size"))) {
        const QList<QStringView> parts = QStringView(*size).split(u' ');
        if (parts.size() == 2) {
            const std::optional<double> width = readFiniteNumber(parts[0]);
            const std::optional<double> height = readFiniteNumber(parts[1]);
            if (width && height) {
                page.width = width;
                page.height = height;
            }
        }
    }
    return page;
}

}  // namespace zelvane::SVGCodec
