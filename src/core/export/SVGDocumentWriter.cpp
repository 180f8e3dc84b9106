#include "export/SVGExport.h"

#include "export/SVGElementWriter.h"
#include "export/SVGMarkup.h"
#include "svg/SVGElementData.h"
#include "svg/SVGValueText.h"

#include <algorithm>

namespace zelvane::SVGCodec {

namespace {

constexpr double kPageGap = 32;
constexpr double kDefaultDrawingWidth = 595.28;

void writeRootStart(SVGMarkup& out, double width, double height, bool multipage, const QString& documentTitle)
{
    out << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>";
    out.endLine();
    out << "<svg xmlns=\"http://www.w3.org/2000/svg\" version=\"1.1\" width=\"";
    out.num(width) << "\" height=\"";
    out.num(height) << "\" viewBox=\"0 0 ";
    out.num(width) << ' ';
    out.num(height) << '"';
    if (multipage) {
        out << " data-multipage=\"true\"";
    }
    appendOwnDocumentAttributes(out.bytes(), documentTitle);
    out << '>';
    out.endLine();
}

void writeBackground(SVGMarkup& out, const VectorPage& page, QStringView indent)
{
    out << indent << "<rect width=\"";
    out.num(page.width) << "\" height=\"";
    out.num(page.height) << "\" fill=\"";
    out.attr(page.backgroundColorHex) << "\" data-role=\"page-background\"";
    appendOwnPageAttributes(out.bytes(), page);
    out << "/>";
    out.endLine();
}

// Hidden elements are written too, marked so that viewers do not draw them.
void writeElements(SVGMarkup& out, const VectorPage& page, QStringView indent)
{
    for (const VectorElement& element : page.elements) {
        writeElement(out, element, indent);
    }
}

// Room for a typical file of this many pages and elements, so that the text
// is seldom moved while it grows.
qsizetype expectedSize(qsizetype pages, qsizetype elements)
{
    return 512 + pages * 512 + elements * 320;
}

// One page as a one-page file.
QByteArray serializeSinglePageSVG(const VectorPage& page, const QString& documentTitle)
{
    QByteArray text;
    text.reserve(expectedSize(1, page.elements.size()));
    SVGMarkup out(text);
    writeRootStart(out, page.width, page.height, false, documentTitle);
    out << "  <title>";
    out.xml(documentTitle) << u" \u2014 ";
    out.xml(page.title) << "</title>";
    out.endLine();
    writeBackground(out, page, u"  ");
    writeElements(out, page, u"  ");
    out << "</svg>";
    out.endLine();
    return text;
}

// Every page stacked top to bottom, 32 points apart.
QByteArray serializeMultiPageSVG(const VectorDocument& document)
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

    QByteArray text;
    text.reserve(expectedSize(document.pages.size(), document.totalElementsCount()));
    SVGMarkup out(text);
    writeRootStart(out, width, height, true, document.title);
    out << "  <title>";
    out.xml(document.title) << "</title>";
    out.endLine();
    double offset = 0;
    for (qsizetype i = 0; i < document.pages.size(); ++i) {
        const VectorPage& page = document.pages[i];
        const QByteArray number = QByteArray::number(i + 1);
        out << "  <g id=\"page-" << number << "\" data-page-index=\"" << number << "\" data-page-title=\"";
        out.attr(page.title) << "\" data-page-width=\"";
        out.num(page.width) << "\" data-page-height=\"";
        out.num(page.height) << "\" transform=\"translate(0, ";
        out.num(offset) << ")\">";
        out.endLine();
        writeBackground(out, page, u"    ");
        writeElements(out, page, u"    ");
        out << "  </g>";
        out.endLine();
        offset += page.height + kPageGap;
    }
    out << "</svg>";
    out.endLine();
    return text;
}

}  // namespace

QString exportSVG(const VectorDocument& document, std::optional<qsizetype> pageIndex)
{
    return QString::fromUtf8(exportSVGUtf8(document, pageIndex));
}

QByteArray exportSVGUtf8(const VectorDocument& document, std::optional<qsizetype> pageIndex)
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
