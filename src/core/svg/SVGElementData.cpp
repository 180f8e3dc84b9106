#include "svg/SVGElementData.h"

#include "svg/SVGValueText.h"

#include <type_traits>

namespace zelvane::SVGCodec {

namespace {

const QString kNullUuidText = QStringLiteral("00000000-0000-0000-0000-000000000000");

// The id in upper-case hexadecimal without braces.
void appendUuid(QString& out, const QUuid& id)
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
    out.append(QLatin1String(text, sizeof text));
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

void appendRect(QString& out, const VectorRect& rect)
{
    appendExact(out, rect.x);
    out.append(u' ');
    appendExact(out, rect.y);
    out.append(u' ');
    appendExact(out, rect.width);
    out.append(u' ');
    appendExact(out, rect.height);
}

// "M x,y x,y ... [Z]", numbers exact.
void appendPoints(QString& out, const QList<VectorPoint>& points, bool closed)
{
    out.append(u'M');
    for (const VectorPoint& p : points) {
        out.append(u' ');
        appendExact(out, p.x);
        out.append(u',');
        appendExact(out, p.y);
    }
    if (closed) {
        out.append(QLatin1String(" Z"));
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
    explicit AttributeWriter(QString& out) : m_out(out) {}

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
            m_out.append(QLatin1String(data->toBase64()));
            close();
        }
        optionalText(QLatin1String("data-asset-extension"), extension);
        flag(QLatin1String("data-remove-white-background"), removeWhite);
    }
    template <typename Text>
    void raw(QLatin1String name, const Text& value)
    {
        open(name);
        m_out.append(value);
        close();
    }

private:
    void open(QLatin1String name)
    {
        m_out.append(u' ');
        m_out.append(name);
        m_out.append(QLatin1String("=\""));
    }
    void close() { m_out.append(u'"'); }

    QString& m_out;
};

class AttributeReader {
public:
    explicit AttributeReader(const SVGAttributeTable& attributes) : m_attributes(attributes) {}

    std::optional<QString> text(const char* name) const
    {
        const auto it = m_attributes.constFind(QLatin1String(name));
        if (it == m_attributes.constEnd()) {
            return std::nullopt;
        }
        return it.value();
    }
    // The value in place, for reading without a copy.
    std::optional<QStringView> view(const char* name) const
    {
        const auto it = m_attributes.constFind(QLatin1String(name));
        if (it == m_attributes.constEnd()) {
            return std::nullopt;
        }
        return it.view();
    }
    std::optional<double> number(const char* name) const
    {
        const std::optional<QStringView> value = view(name);
        return value ? readFiniteNumber(*value) : std::nullopt;
    }
    bool flag(const char* name) const { return view(name) == QLatin1String("true"); }
    std::optional<bool> optionalBool(const char* name) const
    {
        const std::optional<QStringView> value = view(name);
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
        const std::optional<QStringView> value = view("data-asset");
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
    const SVGAttributeTable& m_attributes;
};

void writePayload(AttributeWriter& out, const TextPayload& text)
{
    out.number(QLatin1String("data-font-size"), text.fontSize);
    out.optionalText(QLatin1String("data-postscript-font"), text.postScriptFontName);
    out.optionalNumber(QLatin1String("data-baseline-offset"), text.baselineOffset);
    if (text.letterSpacing != 0) {
        out.number(QLatin1String("data-letter-spacing"), text.letterSpacing);
    }
    out.flag(QLatin1String("data-pdf-text"), text.isPDFExtracted);
    out.optionalText(QLatin1String("data-original-text"), text.originalPDFText);
    if (text.originalPDFRect) {
        out.rect(QLatin1String("data-original-rect"), *text.originalPDFRect);
    }
    out.optionalNumber(QLatin1String("data-original-font-size"), text.originalFontSize);
    out.optionalBool(QLatin1String("data-original-bold"), text.originalIsBold);
    out.optionalBool(QLatin1String("data-original-italic"), text.originalIsItalic);
    out.optionalText(QLatin1String("data-original-color"), text.originalTextColorHex);
    if (!text.maskColorHex.isEmpty()) {
        out.text(QLatin1String("data-mask-color"), text.maskColorHex);
    }
    out.optionalNumber(QLatin1String("data-original-rotation"), text.originalRotationDegrees);
    out.optionalNumber(QLatin1String("data-original-width"), text.originalFrameWidth);
    out.optionalNumber(QLatin1String("data-original-height"), text.originalFrameHeight);
    out.optionalText(QLatin1String("data-original-font-family"), text.originalFontFamily);
    out.optionalText(QLatin1String("data-original-postscript-font"), text.originalPostScriptFontName);
}

void writePayload(AttributeWriter& out, const ShapePayload& shape)
{
    out.raw(QLatin1String("data-shape"), rawValue(shape.shapeType));
    if (shape.cornerRadius != 0) {
        out.number(QLatin1String("data-corner-radius"), shape.cornerRadius);
    }
    out.flag(QLatin1String("data-start-arrow"), shape.startArrow);
    out.flag(QLatin1String("data-end-arrow"), shape.endArrow);
}

void writePayload(AttributeWriter& out, const PathPayload& path)
{
    out.subpaths(QLatin1String("data-subpaths"), path.subpaths);
    out.flag(QLatin1String("data-start-arrow"), path.startArrow);
    out.flag(QLatin1String("data-end-arrow"), path.endArrow);
    out.flag(QLatin1String("data-smooth-curves"), path.smoothCurves);
}

void writePayload(AttributeWriter& out, const SignaturePayload& signature)
{
    out.optionalText(QLatin1String("data-date-label"), signature.dateLabel);
    out.optionalText(QLatin1String("data-caption"), signature.caption);
    if (!signature.strokes.isEmpty()) {
        out.strokes(QLatin1String("data-strokes"), signature.strokes);
    }
    out.asset(signature.assetData, signature.assetExtension, signature.removeWhiteBackground);
}

void writePayload(AttributeWriter& out, const StampPayload& stamp)
{
    if (!stamp.title.isEmpty()) {
        out.text(QLatin1String("data-title"), stamp.title);
    }
    if (!stamp.subtitle.isEmpty()) {
        out.text(QLatin1String("data-subtitle"), stamp.subtitle);
    }
    out.asset(stamp.assetData, stamp.assetExtension, stamp.removeWhiteBackground);
}

TextPayload readTextPayload(const AttributeReader& in)
{
    TextPayload text;
    text.fontFamily = in.text("font-family").value_or(QString());
    text.fontSize = in.number("data-font-size").value_or(text.fontSize);
    text.postScriptFontName = in.text("data-postscript-font");
    text.isBold = in.text("font-weight") == QLatin1String("bold");
    text.isItalic = in.text("font-style") == QLatin1String("italic");
    const std::optional<QString> anchor = in.text("text-anchor");
    text.alignment = anchor == QLatin1String("middle") ? TextAlignmentMode::center
                     : anchor == QLatin1String("end")  ? TextAlignmentMode::right
                                                       : TextAlignmentMode::left;
    text.baselineOffset = in.number("data-baseline-offset");
    text.letterSpacing = in.number("data-letter-spacing").value_or(0);
    text.isPDFExtracted = in.flag("data-pdf-text");
    text.originalPDFText = in.text("data-original-text");
    text.originalPDFRect = readRect(in.view("data-original-rect"));
    text.originalFontSize = in.number("data-original-font-size");
    text.originalIsBold = in.optionalBool("data-original-bold");
    text.originalIsItalic = in.optionalBool("data-original-italic");
    text.originalTextColorHex = in.text("data-original-color");
    text.maskColorHex = in.text("data-mask-color").value_or(QString());
    text.originalRotationDegrees = in.number("data-original-rotation");
    text.originalFrameWidth = in.number("data-original-width");
    text.originalFrameHeight = in.number("data-original-height");
    text.originalFontFamily = in.text("data-original-font-family");
    text.originalPostScriptFontName = in.text("data-original-postscript-font");
    return text;
}

std::optional<VectorShapeType> shapeTypeForTag(const QString& tag)
{
    if (tag == QLatin1String("rect")) {
        return VectorShapeType::rectangle;
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

std::optional<VectorElementKind> readKind(const QString& tag, const AttributeReader& in)
{
    if (tag == QLatin1String("text")) {
        return readTextPayload(in);
    }
    if (tag == QLatin1String("path")) {
        PathPayload path;
        path.subpaths = readSubpaths(in.view("data-subpaths").value_or(QStringView()));
        path.startArrow = in.flag("data-start-arrow");
        path.endArrow = in.flag("data-end-arrow");
        path.smoothCurves = in.flag("data-smooth-curves");
        return path;
    }
    if (tag == QLatin1String("g")) {
        const std::optional<QString> role = in.text("data-role");
        if (role == QLatin1String("signature")) {
            SignaturePayload signature;
            signature.signerName = in.text("data-signer").value_or(QString());
            signature.dateLabel = in.text("data-date-label");
            signature.caption = in.text("data-caption");
            for (const VectorSubpath& stroke : readSubpaths(in.view("data-strokes").value_or(QStringView()))) {
                signature.strokes.append(stroke.points);
            }
            signature.assetData = in.asset();
            signature.assetExtension = in.text("data-asset-extension");
            signature.removeWhiteBackground = in.flag("data-remove-white-background");
            return signature;
        }
        if (role == QLatin1String("stamp")) {
            StampPayload stamp;
            stamp.stampKind = fromRawValue<VectorStampKind>(in.text("data-kind").value_or(QString()))
                                  .value_or(VectorStampKind::approved);
            stamp.title = in.text("data-title").value_or(QString());
            stamp.subtitle = in.text("data-subtitle").value_or(QString());
            stamp.assetData = in.asset();
            stamp.assetExtension = in.text("data-asset-extension");
            stamp.removeWhiteBackground = in.flag("data-remove-white-background");
            return stamp;
        }
        return std::nullopt;
    }
    const std::optional<VectorShapeType> tagType = shapeTypeForTag(tag);
    if (!tagType) {
        return std::nullopt;
    }
    ShapePayload shape;
    shape.shapeType = fromRawValue<VectorShapeType>(in.text("data-shape").value_or(QString())).value_or(*tagType);
    shape.cornerRadius = in.number("data-corner-radius").value_or(0);
    shape.startArrow = in.flag("data-start-arrow");
    shape.endArrow = in.flag("data-end-arrow");
    return shape;
}

}  // namespace

void appendSubpaths(QString& out, const QList<VectorSubpath>& subpaths)
{
    for (qsizetype i = 0; i < subpaths.size(); ++i) {
        if (i > 0) {
            out.append(u' ');
        }
        appendPoints(out, subpaths[i].points, subpaths[i].isClosed);
    }
}

QList<VectorSubpath> readSubpaths(QStringView text)
{
    QList<VectorSubpath> subpaths;
    const qsizetype n = text.size();
    for (qsizetype start = 0; start < n;) {
        qsizetype end = text.indexOf(u' ', start);
        if (end < 0) {
            end = n;
        }
        const QStringView token = text.sliced(start, end - start);
        start = end + 1;
        if (token.isEmpty()) {
            continue;
        }
        if (token == u'M') {
            subpaths.append(VectorSubpath{});
        } else if (token == u'Z') {
            if (!subpaths.isEmpty()) {
                subpaths.back().isClosed = true;
            }
        } else if (!subpaths.isEmpty()) {
            const qsizetype comma = token.indexOf(u',');
            if (comma < 0) {
                continue;
            }
            const std::optional<double> x = readFiniteNumber(token.left(comma));
            const std::optional<double> y = readFiniteNumber(token.mid(comma + 1));
            if (x && y) {
                subpaths.back().points.append({*x, *y});
            }
        }
    }
    return subpaths;
}

void appendOwnElementAttributes(QString& text, const VectorElement& element)
{
    AttributeWriter out(text);
    if (!element.visible) {
        out.raw(QLatin1String("display"), QLatin1String("none"));
    }
    out.uuid(QLatin1String("data-id"), element.id);
    if (!element.name.isEmpty()) {
        out.text(QLatin1String("data-name"), element.name);
    }
    out.rect(QLatin1String("data-frame"), element.frame);
    if (element.rotationDegrees != 0) {
        out.number(QLatin1String("data-rotation"), element.rotationDegrees);
    }
    const VectorStyle& style = element.style;
    out.optionalText(QLatin1String("data-stroke-color"), style.strokeColorHex);
    out.optionalText(QLatin1String("data-fill-color"), style.fillColorHex);
    if (style.strokeWidth != 0) {
        out.number(QLatin1String("data-stroke-width"), style.strokeWidth);
    }
    if (style.opacity != 1) {
        out.number(QLatin1String("data-opacity"), style.opacity);
    }
    out.flag(QLatin1String("data-dashed"), style.dashed);
    out.flag(QLatin1String("data-locked"), element.locked);
    std::visit([&out](const auto& payload) { writePayload(out, payload); }, element.kind);
}

void appendArrowHeadAttributes(QString& text, const VectorElement& element)
{
    AttributeWriter out(text);
    if (!element.visible) {
        out.raw(QLatin1String("display"), QLatin1String("none"));
    }
    out.flag(QLatin1String("data-arrow-head"), true);
}

void appendOwnPageAttributes(QString& text, const VectorPage& page)
{
    AttributeWriter out(text);
    out.uuid(QLatin1String("data-page-id"), page.id);
    out.text(QLatin1String("data-page-title"), page.title);
    QString size;
    appendExact(size, page.width);
    size.append(u' ');
    appendExact(size, page.height);
    out.raw(QLatin1String("data-page-size"), size);
}

void appendOwnDocumentAttributes(QString& text, const QString& documentTitle)
{
    AttributeWriter out(text);
    out.text(QLatin1String("data-document-title"), documentTitle);
}

std::optional<VectorElement> readOwnElement(const QString& tag, const SVGAttributeTable& attributes)
{
    const AttributeReader in(attributes);
    const std::optional<QUuid> id = readUuid(in.view("data-id"));
    const std::optional<VectorRect> frame = readRect(in.view("data-frame"));
    if (!id || !frame) {
        return std::nullopt;
    }
    std::optional<VectorElementKind> kind = readKind(tag, in);
    if (!kind) {
        return std::nullopt;
    }
    VectorElement element;
    element.id = *id;
    element.name = in.text("data-name").value_or(QString());
    element.kind = std::move(*kind);
    element.frame = *frame;
    element.rotationDegrees = in.number("data-rotation").value_or(0);
    // Field by field, so that the values come back exactly as written.
    element.style.strokeColorHex = in.text("data-stroke-color");
    element.style.fillColorHex = in.text("data-fill-color");
    element.style.strokeWidth = in.number("data-stroke-width").value_or(0);
    element.style.opacity = in.number("data-opacity").value_or(1);
    element.style.dashed = in.flag("data-dashed");
    element.visible = in.view("display") != QLatin1String("none");
    element.locked = in.flag("data-locked");
    return element;
}

bool isArrowHead(const SVGAttributeTable& attributes)
{
    return attributes.value(QStringLiteral("data-arrow-head")) == QLatin1String("true");
}

std::optional<OwnPageData> readOwnPage(const SVGAttributeTable& attributes)
{
    const AttributeReader in(attributes);
    const std::optional<QUuid> id = readUuid(in.view("data-page-id"));
    if (!id) {
        return std::nullopt;
    }
    OwnPageData page;
    page.id = *id;
    page.title = in.text("data-page-title");
    if (const std::optional<QString> size = in.text("data-page-size")) {
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
