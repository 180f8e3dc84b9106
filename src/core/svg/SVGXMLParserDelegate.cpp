#include "svg/SVGXMLParserDelegate.h"

#include "operations/VectorOperations.h"
#include "svg/SVGElementData.h"
#include "svg/SVGValueText.h"

namespace zelvane {

namespace {

const QString kPageBackgroundRole = QStringLiteral("page-background");
const QString kSignatureInk = QStringLiteral("#1E3A8A");

bool hasLocalNameSVG(const QString& lowerName)
{
    return lowerName == QLatin1String("svg") || lowerName.endsWith(QLatin1String(":svg"));
}

VectorPage defaultPage(const QString& title, double width, double height)
{
    return VectorPage::make(QUuid::createUuid(), title, width, height, QStringLiteral("#FFFFFF"));
}

}  // namespace

SVGXMLParserDelegate::SVGXMLParserDelegate(QString defaultTitle)
    : m_defaultTitle(std::move(defaultTitle)),
      m_currentPage(defaultPage(QStringLiteral("Page 1"), 595.28, 841.89)),
      m_groupStack{GroupContext{}}
{
}

const SVGXMLParserDelegate::GroupContext* SVGXMLParserDelegate::innermostGroup() const
{
    return m_groupStack.isEmpty() ? nullptr : &m_groupStack.back();
}

SVGCurrentTransform SVGXMLParserDelegate::currentTransform() const
{
    const GroupContext* group = innermostGroup();
    return group ? group->composed : SVGCurrentTransform{};
}

SVGInheritedStyle SVGXMLParserDelegate::parentStyle() const
{
    const GroupContext* group = innermostGroup();
    return group ? group->inheritedStyle() : SVGInheritedStyle{};
}

bool SVGXMLParserDelegate::insideOwnElement() const
{
    const GroupContext* group = innermostGroup();
    return group && group->isOwnElement;
}

// The name in lower case, shared with `name` when it already is.
static QString lowerCase(const QString& name)
{
    for (const QChar c : name) {
        if (c.isUpper()) {
            return name.toLower();
        }
    }
    return name;
}

void SVGXMLParserDelegate::startElement(const QString& name, const SVGAttributeTable& rawAttributes)
{
    const QString tag = lowerCase(name);
    if (hasLocalNameSVG(tag)) {
        m_sawSVGElement = true;
    }
    const SVGAttributeTable attributes = SVGCodec::mergedAttributes(rawAttributes);
    if (tag == QLatin1String("svg")) {
        startRoot(attributes);
        return;
    }
    if (tag == QLatin1String("g")) {
        startGroup(attributes);
        return;
    }
    if (insideOwnElement()) {
        if (m_ownSignature && tag == QLatin1String("path") && innermostGroup()->holdsOwnSignature) {
            const auto d = attributes.constFind(QStringLiteral("d"));
            QList<VectorPoint> stroke = SVGCodec::relativePoints(d.view(), m_ownSignature->frame);
            if (!stroke.isEmpty()) {
                std::get<SignaturePayload>(m_ownSignature->kind).strokes.append(std::move(stroke));
            }
        }
        return;
    }
    if (m_ownText) {
        if (tag == QLatin1String("tspan")) {
            m_ownText->spans.append(QString());
            m_ownText->inSpan = true;
        }
        return;
    }
    if (tag == QLatin1String("rect")) {
        buildRect(attributes);
    } else if (tag == QLatin1String("circle")) {
        buildEllipse(attributes, true);
    } else if (tag == QLatin1String("ellipse")) {
        buildEllipse(attributes, false);
    } else if (tag == QLatin1String("line")) {
        buildLine(attributes);
    } else if (tag == QLatin1String("polyline")) {
        buildPolyline(attributes, false);
    } else if (tag == QLatin1String("polygon")) {
        buildPolyline(attributes, true);
    } else if (tag == QLatin1String("path")) {
        buildPath(attributes);
    } else if (tag == QLatin1String("text")) {
        startText(attributes);
    } else if (tag == QLatin1String("tspan")) {
        startTextSpan();
    }
}

void SVGXMLParserDelegate::characters(QStringView text)
{
    if (m_ownText) {
        if (m_ownText->inSpan) {
            m_ownText->spans.back().append(text);
        } else if (m_ownText->spans.isEmpty()) {
            m_ownText->direct.append(text);
        }
        return;
    }
    if (m_activeTextAttributes) {
        m_activeTextAccumulator.append(text);
    }
}

void SVGXMLParserDelegate::endElement(const QString& name)
{
    const QString tag = lowerCase(name);
    if (tag == QLatin1String("text")) {
        if (m_ownText) {
            OwnText own = std::move(*m_ownText);
            m_ownText.reset();
            TextPayload& payload = std::get<TextPayload>(own.element.kind);
            payload.text = own.spans.isEmpty() ? std::move(own.direct) : own.spans.join(QLatin1Char('\n'));
            if (!own.named) {
                own.element.name = SVGCodec::textDefaultName(payload.text);
            }
            m_currentPage.elements.append(std::move(own.element));
        } else {
            endText();
        }
    } else if (tag == QLatin1String("tspan")) {
        if (m_ownText) {
            m_ownText->inSpan = false;
        }
    } else if (tag == QLatin1String("g")) {
        endGroup();
    }
}

void SVGXMLParserDelegate::startRoot(const SVGAttributeTable& attributes)
{
    const auto viewBox = attributes.contains(QStringLiteral("viewBox"))
                             ? attributes.constFind(QStringLiteral("viewBox"))
                             : attributes.constFind(QStringLiteral("viewbox"));
    if (viewBox != attributes.constEnd()) {
        const QList<double> numbers = SVGCodec::readNumberList(viewBox.value());
        if (numbers.size() == 4) {
            m_svgWidth = std::max(numbers[2], 64.0);
            m_svgHeight = std::max(numbers[3], 64.0);
        }
    }
    if (const std::optional<double> width = SVGCodec::parseDimension(attributes, QStringLiteral("width"))) {
        m_svgWidth = std::max(*width, 64.0);
    }
    if (const std::optional<double> height = SVGCodec::parseDimension(attributes, QStringLiteral("height"))) {
        m_svgHeight = std::max(*height, 64.0);
    }
    m_currentPage.width = m_svgWidth;
    m_currentPage.height = m_svgHeight;
    m_currentPageSizeIsOwn = false;
    if (const auto dialect = attributes.constFind(QStringLiteral("data-dialect")); dialect != attributes.constEnd()) {
        m_compactData = dialect.view() == QLatin1String(SVGCodec::kCompactDialect);
    }
}

void SVGXMLParserDelegate::startGroup(const SVGAttributeTable& attributes)
{
    GroupContext group = m_groupStack.isEmpty() ? GroupContext{} : m_groupStack.back();
    const SVGCurrentTransform enclosing = group.composed;
    group.isPageGroup = false;
    group.holdsOwnSignature = false;
    if (group.isOwnElement || m_ownText) {
        group.isOwnElement = true;
        m_groupStack.append(group);
        return;
    }

    const auto transform = attributes.constFind(QStringLiteral("transform"));
    const SVGTransform own =
        transform != attributes.constEnd() ? SVGCodec::parseTransform(transform.value()) : SVGTransform{};
    group.translateX = own.translateX;
    group.translateY = own.translateY;
    group.scaleX = own.scaleX;
    group.scaleY = own.scaleY;
    if (const auto stroke = attributes.constFind(QStringLiteral("stroke")); stroke != attributes.constEnd()) {
        group.strokeHex = SVGCodec::normalizedColor(stroke.value());
    }
    if (const auto fill = attributes.constFind(QStringLiteral("fill")); fill != attributes.constEnd()) {
        group.fillHex = SVGCodec::normalizedColor(fill.value());
    }
    if (const std::optional<double> width = SVGCodec::parseDimension(attributes, QStringLiteral("stroke-width"))) {
        group.strokeWidth = width;
    }

    const QStringView role = attributes.constFind(QStringLiteral("data-role")).view();
    if (const auto title = attributes.constFind(QStringLiteral("data-page-title")); title != attributes.constEnd()) {
        group.isPageGroup = true;
        const double width =
            SVGCodec::parseDimension(attributes, QStringLiteral("data-page-width")).value_or(m_svgWidth);
        const double height =
            SVGCodec::parseDimension(attributes, QStringLiteral("data-page-height")).value_or(m_svgHeight);
        m_currentPage = defaultPage(title.value(), std::max(width, 64.0), std::max(height, 64.0));
        m_currentPageSizeIsOwn = false;
    } else if (role == QLatin1String("signature") || role == QLatin1String("stamp")) {
        if (std::optional<VectorElement> element =
                SVGCodec::readOwnElement(QStringLiteral("g"), attributes, m_compactData)) {
            if (role == QLatin1String("signature") && SVGCodec::strokesFollowAsPaths(attributes, m_compactData)) {
                m_ownSignature = std::move(*element);
                group.holdsOwnSignature = true;
            } else {
                m_currentPage.elements.append(std::move(*element));
            }
            group.isOwnElement = true;
        } else if (role == QLatin1String("signature")) {
            group.isSignatureGroup = true;
            group.signerName = attributes.value(QStringLiteral("data-signer"));
            m_signatureStrokesAccumulator.clear();
        } else {
            group.isStampGroup = true;
            group.stampKind = fromRawValue<VectorStampKind>(attributes.value(QStringLiteral("data-kind")))
                                  .value_or(VectorStampKind::approved);
        }
    }
    group.composed = group.isPageGroup ? enclosing : enclosing.then(own);
    m_groupStack.append(group);
}

void SVGXMLParserDelegate::endGroup()
{
    if (m_groupStack.isEmpty()) {
        return;
    }
    const GroupContext group = m_groupStack.takeLast();
    if (group.holdsOwnSignature && m_ownSignature) {
        m_currentPage.elements.append(std::move(*m_ownSignature));
        m_ownSignature.reset();
    }
    if (group.isOwnElement) {
        return;
    }
    if (group.isPageGroup) {
        m_pages.append(m_currentPage);
        return;
    }
    if (group.isSignatureGroup && !m_signatureStrokesAccumulator.isEmpty()) {
        m_currentPage.elements.append(VectorOperations::makeFreehandSignatureElement(
            m_signatureStrokesAccumulator, group.signerName.value_or(QString()),
            group.strokeHex.value_or(kSignatureInk)));
        m_signatureStrokesAccumulator.clear();
        return;
    }
    if (group.isStampGroup && group.stampKind) {
        m_currentPage.elements.append(VectorOperations::makeStampElement(
            *group.stampKind, {0.72 * m_currentPage.width, 0.82 * m_currentPage.height}));
    }
}

QList<VectorPage> SVGXMLParserDelegate::buildPages() const
{
    if (!m_pages.isEmpty()) {
        return m_pages;
    }
    VectorPage page = m_currentPage;
    if (!m_currentPageSizeIsOwn) {
        page.width = m_svgWidth;
        page.height = m_svgHeight;
    }
    return {page};
}

}  // namespace zelvane
