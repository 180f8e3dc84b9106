#include "export/SVGExport.h"

#include "export/SVGElementWriter.h"
#include "svg/SVGElementData.h"
#include "svg/SVGValueText.h"

#include <algorithm>

namespace zelvane::SVGCodec {

namespace {

const QString kDeclaration = QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?>");
const QString kNamespace = QStringLiteral("http://www.w3.org/2000/svg");
constexpr double kPageGap = 32;
constexpr double kDefaultDrawingWidth = 595.28;

QString rootStart(const QString& width, const QString& height, bool multipage, const QString& documentTitle)
{
    return QLatin1String("<svg xmlns=\"") + kNamespace + QLatin1String("\" version=\"1.1\" width=\"") + width +
           QLatin1String("\" height=\"") + height + QLatin1String("\" viewBox=\"0 0 ") + width + u' ' + height + u'"' +
           (multipage ? QLatin1String(" data-multipage=\"true\"") : QLatin1String()) +
           ownDocumentAttributes(documentTitle) + u'>';
}

QString backgroundLine(const VectorPage& page, const QString& indent)
{
    return indent + QLatin1String("<rect width=\"") + formatNum(page.width) + QLatin1String("\" height=\"") +
           formatNum(page.height) + QLatin1String("\" fill=\"") + escapeAttribute(page.backgroundColorHex) +
           QLatin1String("\" data-role=\"page-background\"") + ownPageAttributes(page) + QLatin1String("/>");
}

// Hidden elements are written too, marked so that viewers do not draw them.
void appendElements(QStringList& lines, const VectorPage& page, const QString& indent)
{
    for (const VectorElement& element : page.elements) {
        lines.append(serializeElement(element, indent));
    }
}

QString assemble(const QStringList& lines)
{
    return lines.join(u'\n') + u'\n';
}

// One page as a one-page file.
QString serializeSinglePageSVG(const VectorPage& page, const QString& documentTitle)
{
    QStringList lines{kDeclaration, rootStart(formatNum(page.width), formatNum(page.height), false, documentTitle),
                      QLatin1String("  <title>") + escapeXML(documentTitle) + QStringLiteral(" \u2014 ") +
                          escapeXML(page.title) + QLatin1String("</title>"),
                      backgroundLine(page, QStringLiteral("  "))};
    appendElements(lines, page, QStringLiteral("  "));
    lines.append(QStringLiteral("</svg>"));
    return assemble(lines);
}

// Every page stacked top to bottom, 32 points apart.
QString serializeMultiPageSVG(const VectorDocument& document)
{
    double width = 0;
    double height = 0;
    for (const VectorPage& page : document.pages) {
        width = std::max(width, page.width);
        height += page.height;
    }
    if (document.pages.isEmpty()) {
        width = kDefaultDrawingWidth;
    }
    height += kPageGap * double(std::max<qsizetype>(document.pages.size(), 1) - 1);

    QStringList lines{kDeclaration, rootStart(formatNum(width), formatNum(height), true, document.title),
                      QLatin1String("  <title>") + escapeXML(document.title) + QLatin1String("</title>")};
    double offset = 0;
    for (qsizetype i = 0; i < document.pages.size(); ++i) {
        const VectorPage& page = document.pages[i];
        const QString number = QString::number(i + 1);
        lines.append(QLatin1String("  <g id=\"page-") + number + QLatin1String("\" data-page-index=\"") + number +
                     QLatin1String("\" data-page-title=\"") + escapeAttribute(page.title) +
                     QLatin1String("\" data-page-width=\"") + formatNum(page.width) +
                     QLatin1String("\" data-page-height=\"") + formatNum(page.height) +
                     QLatin1String("\" transform=\"translate(0, ") + formatNum(offset) + QLatin1String(")\">"));
        lines.append(backgroundLine(page, QStringLiteral("    ")));
        appendElements(lines, page, QStringLiteral("    "));
        lines.append(QStringLiteral("  </g>"));
        offset += page.height + kPageGap;
    }
    lines.append(QStringLiteral("</svg>"));
    return assemble(lines);
}

}  // namespace

QString exportSVG(const VectorDocument& document, std::optional<qsizetype> pageIndex)
{
    if (pageIndex && *pageIndex >= 0 && *pageIndex < document.pages.size()) {
        return serializeSinglePageSVG(document.pages[*pageIndex], document.title);
    }
    if (document.pages.size() == 1) {
        return serializeSinglePageSVG(document.pages.front(), document.title);
    }
    return serializeMultiPageSVG(document);
}

}  // namespace zelvane::SVGCodec
