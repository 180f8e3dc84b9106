#pragma once

#include "model/VectorDocument.h"
#include "operations/StrokeSmoother.h"
#include "svg/SVGAttributes.h"

#include <QList>
#include <QString>
#include <optional>

namespace zelvane {

// The state of one SVG import, fed by the XML reader in document order:
// the root size, the finished pages, the page being filled, the open groups,
// the ink of an open signature group and the text of an open text element.
class SVGXMLParserDelegate {
public:
    // One open group.
    struct GroupContext {
        double translateX = 0;
        double translateY = 0;
        double scaleX = 1;
        double scaleY = 1;
        std::optional<QString> strokeHex;
        std::optional<QString> fillHex;
        std::optional<double> strokeWidth;
        double opacity = 1;
        // A page of a multi-page file; its transform is left out.
        bool isPageGroup = false;
        bool isSignatureGroup = false;
        std::optional<QString> signerName;
        bool isStampGroup = false;
        std::optional<VectorStampKind> stampKind;
        // The element the program wrote as this group was already read from
        // its data attributes: nothing inside the group is read again.
        bool isOwnElement = false;
        // The own signature element of this group, which takes its strokes
        // from the paths inside it, is appended at the group's end.
        bool holdsOwnSignature = false;
        // The composed transform of this group and all that enclose it.
        SVGCurrentTransform composed;

        SVGInheritedStyle inheritedStyle() const { return {strokeHex, fillHex, strokeWidth, opacity}; }
    };

    explicit SVGXMLParserDelegate(QString defaultTitle);

    // Element names as written (prefixes included); attributes as reported.
    void startElement(const QString& name, const SVGAttributeTable& attributes);
    void characters(QStringView text);
    void endElement(const QString& name);

    // The pages read, never empty.
    QList<VectorPage> buildPages() const;
    // The title the import was given; the reading itself does not use it.
    const QString& defaultTitle() const { return m_defaultTitle; }
    // Whether an <svg> element (with any prefix) was seen.
    bool sawSVGElement() const { return m_sawSVGElement; }

private:
    // An own text element whose content is being collected line by line.
    struct OwnText {
        VectorElement element;
        QStringList spans;
        QString direct;
        bool inSpan = false;
        bool named = false;
    };

    const GroupContext* innermostGroup() const;
    SVGCurrentTransform currentTransform() const;
    SVGInheritedStyle parentStyle() const;
    bool insideOwnElement() const;

    void startRoot(const SVGAttributeTable& attributes);
    void startGroup(const SVGAttributeTable& attributes);
    void endGroup();
    bool startOwnElement(const QString& tag, const SVGAttributeTable& attributes);

    // Element builders for foreign markup.
    void buildRect(const SVGAttributeTable& attributes);
    void buildEllipse(const SVGAttributeTable& attributes, bool isCircle);
    void buildLine(const SVGAttributeTable& attributes);
    void buildPolyline(const SVGAttributeTable& attributes, bool closed);
    void buildPath(const SVGAttributeTable& attributes);
    void startText(const SVGAttributeTable& attributes);
    void startTextSpan();
    void endText();
    void appendElement(QString name, VectorElementKind kind, const VectorRect& frame, const VectorStyle& style);

    QString m_defaultTitle;
    double m_svgWidth = 595.28;
    double m_svgHeight = 841.89;
    QList<VectorPage> m_pages;
    VectorPage m_currentPage;
    // The current page's size came exactly from the program's own data.
    bool m_currentPageSizeIsOwn = false;
    QList<GroupContext> m_groupStack;
    QList<VectorStroke> m_signatureStrokesAccumulator;
    std::optional<SVGAttributeTable> m_activeTextAttributes;
    QString m_activeTextAccumulator;
    std::optional<OwnText> m_ownText;
    // An own signature collecting its strokes from its group's paths.
    std::optional<VectorElement> m_ownSignature;
    // The file leaves out of its data attributes what its plain markup holds.
    bool m_compactData = false;
    bool m_sawSVGElement = false;
};

}  // namespace zelvane
