#include "ToolDefinitions.h"

#include <QJsonObject>
#include <QStringList>

namespace zelvane::mcp {
namespace {

QJsonObject property(const QString& type, const QString& description, const QStringList& values = {})
{
    QJsonObject object{{QStringLiteral("type"), type}, {QStringLiteral("description"), description}};
    if (!values.isEmpty())
        object.insert(QStringLiteral("enum"), QJsonArray::fromStringList(values));
    return object;
}

QJsonObject tool(const QString& name, const QString& description, const QJsonObject& properties = {},
                 const QStringList& required = {})
{
    QJsonObject schema{{QStringLiteral("type"), QStringLiteral("object")},
                       {QStringLiteral("properties"), properties}};
    if (!required.isEmpty())
        schema.insert(QStringLiteral("required"), QJsonArray::fromStringList(required));
    return QJsonObject{{QStringLiteral("name"), name},
                       {QStringLiteral("description"), description},
                       {QStringLiteral("inputSchema"), schema}};
}

QJsonArray buildDefinitions()
{
    const QString pageDescription = QStringLiteral("1-based page number (defaults to current page)");
    QJsonArray tools;
    tools.append(tool(QStringLiteral("zelvane_state"),
                      QStringLiteral("Returns the current state of Zelvane: document title, sourceFormat (SVG/PDF), "
                                     "pageCount, currentPageIndex, totalElementsCount, pdfTextElementCount, "
                                     "modifiedPDFTextCount, signatureCount, oscInPort, apiPort, version.")));
    tools.append(tool(QStringLiteral("zelvane_pages"),
                      QStringLiteral("Returns the complete JSON list of pages and vector elements (text blocks, "
                                     "extracted PDF text lines, signatures, shapes, paths, stamps).")));
    tools.append(tool(QStringLiteral("zelvane_help"),
                      QStringLiteral("Returns the full HTTP API, MCP tool reference, and OSC address map for Zelvane.")));
    tools.append(tool(
        QStringLiteral("zelvane_open"),
        QStringLiteral("Opens an SVG or PDF file by path or loads the built-in multi-page contract & stage plot demo."),
        QJsonObject{
            {QStringLiteral("path"),
             property(QStringLiteral("string"), QStringLiteral("Absolute path to an .svg or .pdf file"))},
            {QStringLiteral("demo"),
             property(QStringLiteral("boolean"),
                      QStringLiteral("When true, loads the synthetic 3-page contract & stage plot document"))},
        }));
    tools.append(tool(
        QStringLiteral("zelvane_edit_text"),
        QStringLiteral("Edits an existing PDF/SVG text element (by 1-based element index or matching substring) or "
                       "adds a new text block to the specified page."),
        QJsonObject{
            {QStringLiteral("page"), property(QStringLiteral("integer"), pageDescription)},
            {QStringLiteral("match"),
             property(QStringLiteral("string"),
                      QStringLiteral("Substring of an existing text element to replace (optional)"))},
            {QStringLiteral("text"), property(QStringLiteral("string"), QStringLiteral("New text content"))},
            {QStringLiteral("x"),
             property(QStringLiteral("number"), QStringLiteral("Optional X position in points for new text"))},
            {QStringLiteral("y"),
             property(QStringLiteral("number"), QStringLiteral("Optional Y position in points for new text"))},
            {QStringLiteral("fontSize"),
             property(QStringLiteral("number"), QStringLiteral("Optional font size in points"))},
        },
        {QStringLiteral("text")}));
    tools.append(tool(
        QStringLiteral("zelvane_sign"),
        QStringLiteral("Places a calligraphic signature (and optional approval stamp) on the target page."),
        QJsonObject{
            {QStringLiteral("page"), property(QStringLiteral("integer"), pageDescription)},
            {QStringLiteral("signer"), property(QStringLiteral("string"), QStringLiteral("Signer name"))},
            {QStringLiteral("x"),
             property(QStringLiteral("number"), QStringLiteral("Center X coordinate in page points"))},
            {QStringLiteral("y"),
             property(QStringLiteral("number"), QStringLiteral("Center Y coordinate in page points"))},
            {QStringLiteral("stamp"),
             property(QStringLiteral("string"), QStringLiteral("Optional stamp to add"),
                      {QStringLiteral("approved"), QStringLiteral("signed"), QStringLiteral("stagePlot"),
                       QStringLiteral("confidential"), QStringLiteral("draft")})},
        }));
    tools.append(tool(
        QStringLiteral("zelvane_add_page"),
        QStringLiteral("Adds a new blank page or duplicates a page in multipage mode."),
        QJsonObject{
            {QStringLiteral("format"),
             property(QStringLiteral("string"), QStringLiteral("Page format preset"),
                      {QStringLiteral("A4 Portrait"), QStringLiteral("A4 Paysage"), QStringLiteral("A3 Paysage"),
                       QStringLiteral("US Letter"), QStringLiteral("16:9 R\u00e9gie")})},
            {QStringLiteral("duplicate"),
             property(QStringLiteral("boolean"), QStringLiteral("When true, duplicates the current page"))},
        }));
    tools.append(tool(
        QStringLiteral("zelvane_export"),
        QStringLiteral("Saves or exports the document to PDF (multi-page vector), SVG, or PNG."),
        QJsonObject{
            {QStringLiteral("outputPath"),
             property(QStringLiteral("string"), QStringLiteral("Destination file path (.pdf, .svg, or .png)"))},
            {QStringLiteral("format"),
             property(QStringLiteral("string"), QStringLiteral("Export format (inferred from extension if omitted)"),
                      {QStringLiteral("pdf"), QStringLiteral("svg"), QStringLiteral("png")})},
        },
        {QStringLiteral("outputPath")}));
    tools.append(tool(
        QStringLiteral("zelvane_snapshot"),
        QStringLiteral("Captures the Zelvane window as a PNG image ('single', 'multipage', or 'grid')."),
        QJsonObject{
            {QStringLiteral("view"),
             property(QStringLiteral("string"), QStringLiteral("Optional view mode"),
                      {QStringLiteral("single"), QStringLiteral("multipage"), QStringLiteral("grid")})},
        }));
    return tools;
}

}  // namespace

const QJsonArray& zelvaneToolDefinitions()
{
    static const QJsonArray definitions = buildDefinitions();
    return definitions;
}

}  // namespace zelvane::mcp
