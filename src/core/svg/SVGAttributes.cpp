#include "svg/SVGAttributes.h"

#include <algorithm>

#include "model/RGBAColor.h"
#include "svg/SVGValueText.h"

#include <cmath>

namespace zelvane {

SVGCurrentTransform SVGCurrentTransform::then(const SVGTransform& group) const
{
    SVGCurrentTransform result = *this;
    result.offset.x += result.scale.x * group.translateX;
    result.offset.y += result.scale.y * group.translateY;
    result.scale.x *= group.scaleX;
    result.scale.y *= group.scaleY;
    return result;
}

SVGAttributeTable::const_iterator SVGAttributeTable::constFind(QAnyStringView name) const
{
    for (qsizetype i = m_set.size() - 1; i >= 0; --i) {
        if (QAnyStringView::equal(m_set[i].first, name)) {
            return {this, i, -1};
        }
    }
    // The last of repeated names counts, as it would in a map filled in order.
    for (qsizetype i = m_read.size() - 1; i >= 0; --i) {
        if (QAnyStringView::equal(m_read[i].qualifiedName(), name)) {
            return {this, -1, i};
        }
    }
    return constEnd();
}

QString SVGAttributeTable::const_iterator::value() const
{
    if (m_set >= 0) {
        return m_table->m_set[m_set].second;
    }
    if (m_read >= 0) {
        return m_table->m_read[m_read].value().toString();
    }
    return {};
}

QStringView SVGAttributeTable::const_iterator::view() const
{
    if (m_set >= 0) {
        return m_table->m_set[m_set].second;
    }
    if (m_read >= 0) {
        return m_table->m_read[m_read].value();
    }
    return {};
}

QString SVGAttributeTable::value(QAnyStringView name) const
{
    return constFind(name).value();
}

qsizetype SVGAttributeTable::size() const
{
    qsizetype count = m_set.size();
    for (qsizetype i = 0; i < m_read.size(); ++i) {
        const QStringView name = m_read[i].qualifiedName();
        const bool set = std::any_of(m_set.cbegin(), m_set.cend(), [&](const auto& entry) { return entry.first == name; });
        bool repeated = false;
        for (qsizetype j = i + 1; j < m_read.size() && !repeated; ++j) {
            repeated = m_read[j].qualifiedName() == name;
        }
        count += set || repeated ? 0 : 1;
    }
    return count;
}

void SVGAttributeTable::insert(const QString& name, const QString& value)
{
    for (auto& entry : m_set) {
        if (entry.first == name) {
            entry.second = value;
            return;
        }
    }
    m_set.append({name, value});
}

namespace SVGCodec {

namespace {

bool isBlankOrTab(QChar c)
{
    return c == u'\t' || c.category() == QChar::Separator_Space;
}

QStringView trimBlanks(QStringView text)
{
    qsizetype start = 0;
    qsizetype end = text.size();
    while (start < end && isBlankOrTab(text[start])) {
        ++start;
    }
    while (end > start && isBlankOrTab(text[end - 1])) {
        --end;
    }
    return text.mid(start, end - start);
}

// Up to two numbers of the first "name(...)" in the text.
QList<double> functionArguments(const QString& text, QLatin1String name)
{
    const qsizetype at = text.indexOf(name);
    if (at < 0) {
        return {};
    }
    const qsizetype open = at + name.size();
    const qsizetype close = text.indexOf(u')', open);
    if (close < 0) {
        return {};
    }
    return readNumberList(QStringView(text).mid(open, close - open));
}

}  // namespace

SVGAttributeTable mergedAttributes(const SVGAttributeTable& attributes)
{
    const auto style = attributes.constFind(QStringLiteral("style"));
    if (style == attributes.constEnd()) {
        return attributes;
    }
    SVGAttributeTable result = attributes;
    const QString declarations = style.value();
    for (QStringView piece : QStringView(declarations).split(u';', Qt::SkipEmptyParts)) {
        // One split at the first colon that does not begin the piece.
        qsizetype begin = 0;
        while (begin < piece.size() && piece[begin] == u':') {
            ++begin;
        }
        const QStringView rest = piece.mid(begin);
        const qsizetype colon = rest.indexOf(u':');
        if (rest.isEmpty() || colon < 0 || colon + 1 >= rest.size()) {
            continue;
        }
        const QStringView key = trimBlanks(rest.left(colon));
        const QStringView value = trimBlanks(rest.mid(colon + 1));
        result.insert(key.toString().toLower(), value.toString());
    }
    return result;
}

std::optional<double> parseDimension(const std::optional<QString>& text)
{
    if (!text) {
        return std::nullopt;
    }
    QString value = text->trimmed();
    if (value.isEmpty()) {
        return std::nullopt;
    }
    value.remove(QLatin1String("px"));
    value.remove(QLatin1String("pt"));
    if (value.endsWith(QLatin1String("mm"))) {
        if (const std::optional<double> mm = readFiniteNumber(QStringView(value).chopped(2))) {
            const double points = *mm * 72 / 25.4;
            return std::isfinite(points) ? std::optional<double>(points) : std::nullopt;
        }
        return std::nullopt;
    }
    return readFiniteNumber(value);
}

std::optional<double> parseDimension(const SVGAttributeTable& attributes, const QString& name)
{
    const auto it = attributes.constFind(name);
    if (it == attributes.constEnd()) {
        return std::nullopt;
    }
    return parseDimension(std::optional<QString>(it.value()));
}

SVGTransform parseTransform(const QString& text)
{
    SVGTransform transform;
    const QList<double> translate = functionArguments(text, QLatin1String("translate("));
    if (translate.size() == 1) {
        transform.translateX = translate[0];
    } else if (translate.size() >= 2) {
        transform.translateX = translate[0];
        transform.translateY = translate[1];
    }
    const QList<double> scale = functionArguments(text, QLatin1String("scale("));
    if (scale.size() == 1) {
        transform.scaleX = scale[0];
        transform.scaleY = scale[0];
    } else if (scale.size() >= 2) {
        transform.scaleX = scale[0];
        transform.scaleY = scale[1];
    }
    return transform;
}

std::optional<QString> normalizedColor(const QString& text)
{
    if (const std::optional<RGBAColor> color = RGBAColor::fromHex(text)) {
        return color->hexString();
    }
    return std::nullopt;
}

VectorStyle buildStyle(const SVGAttributeTable& attributes, const std::optional<QString>& defaultFill,
                       const SVGInheritedStyle& parent)
{
    std::optional<QString> fill;
    if (const auto it = attributes.constFind(QStringLiteral("fill")); it != attributes.constEnd()) {
        fill = normalizedColor(it.value());
    } else {
        fill = parent.fillHex ? parent.fillHex : defaultFill;
    }

    std::optional<QString> stroke;
    if (const auto it = attributes.constFind(QStringLiteral("stroke")); it != attributes.constEnd()) {
        stroke = normalizedColor(it.value());
    } else {
        stroke = parent.strokeHex;
    }

    double width = 0;
    if (const std::optional<double> own = parseDimension(attributes, QStringLiteral("stroke-width"))) {
        width = *own;
    } else if (parent.strokeWidth) {
        width = *parent.strokeWidth;
    } else {
        width = stroke ? 1.6 : 0;
    }
    if (std::isnan(width) || width < 0) {
        width = 0;
    }

    double opacity = parent.opacity;
    if (const auto it = attributes.constFind(QStringLiteral("opacity")); it != attributes.constEnd()) {
        if (const std::optional<double> own = readNumber(it.value())) {
            opacity = *own;
        }
    }
    if (std::isnan(opacity) || opacity <= 0.05) {
        opacity = 0.05;
    } else if (opacity > 1) {
        opacity = 1;
    }

    const auto dash = attributes.constFind(QStringLiteral("stroke-dasharray"));
    const bool dashed = dash != attributes.constEnd() && dash.value() != QLatin1String("none");

    return VectorStyle(stroke, fill, width, opacity, dashed);
}

}  // namespace SVGCodec

}  // namespace zelvane
