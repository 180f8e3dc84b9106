#pragma once

#include <QList>
#include <QString>

namespace zelvane {

struct VectorDocument;
struct VectorElement;
struct VectorPage;

// The texts of the status bar, computed from the document alone so that
// they can be checked without a window.
namespace StatusSummary {

// "5 elem. · 12 PDF texts (2 ed.) · 1 sign. · 3 sel.": the elements of the
// page at `pageIndex` (the first page when out of range), then, when there
// are any, the document's PDF texts with the edited ones, its signatures
// and the selected elements; parts joined by " · ".
QString summaryText(const VectorDocument& document, qsizetype pageIndex, qsizetype selectionCount);

// The document-wide counts of the summary, added up page by page, so that a
// view can keep each page's and count again only the pages that changed.
struct Totals {
    qint64 pdfTexts = 0;
    qint64 modifiedPDFTexts = 0;
    qint64 signatures = 0;

    Totals& operator+=(const Totals& other);
};
Totals pageTotals(const VectorPage& page);
// The counts of some of a page's elements, without the page's redactions
// (pageTotals is these over all its elements plus the redactions).
Totals elementTotals(const QList<VectorElement>& elements);
// The summary of a current page of `pageElements` elements in a document
// of these totals.
QString summaryText(qsizetype pageElements, const Totals& totals, qsizetype selectionCount);

// "Page 2/5": the 1-based page number and the page count.
QString pageText(const VectorDocument& document, qsizetype pageIndex);

// The kind chip: "SVG", "PDF" or "Zelvane".
QString kindText(const VectorDocument& document);

}  // namespace StatusSummary

}  // namespace zelvane
