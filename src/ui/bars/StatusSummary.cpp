#include "bars/StatusSummary.h"

#include "Localization.h"
#include "model/VectorDocument.h"
#include "theme/Format.h"

#include <QStringList>

namespace zelvane::StatusSummary {

Totals& Totals::operator+=(const Totals& other)
{
    pdfTexts += other.pdfTexts;
    modifiedPDFTexts += other.modifiedPDFTexts;
    signatures += other.signatures;
    return *this;
}

Totals pageTotals(const VectorPage& page)
{
    // Counted as the document counts them, on a document of this page alone.
    VectorDocument alone;
    alone.pages = {page};
    return {alone.pdfTextElementCount(), alone.modifiedPDFTextCount(), alone.signatureCount()};
}

Totals elementTotals(const QList<VectorElement>& elements)
{
    Totals totals;
    for (const VectorElement& element : elements) {
        totals.pdfTexts += element.isPDFText() ? 1 : 0;
        totals.modifiedPDFTexts += element.hasModifiedPDFText() ? 1 : 0;
        totals.signatures += std::holds_alternative<SignaturePayload>(element.kind) ? 1 : 0;
    }
    return totals;
}

QString summaryText(const VectorDocument& document, qsizetype pageIndex, qsizetype selectionCount)
{
    const bool inRange = pageIndex >= 0 && pageIndex < document.pages.size();
    const qsizetype elements =
        document.pages.isEmpty() ? 0 : document.pages[inRange ? pageIndex : 0].elements.size();
    Totals totals;
    for (const VectorPage& page : document.pages)
        totals += pageTotals(page);
    return summaryText(elements, totals, selectionCount);
}

QString summaryText(qsizetype pageElements, const Totals& totals, qsizetype selectionCount)
{
    QStringList parts{QString::number(pageElements) + L(" élém.", " elem.")};

    const qint64 pdfTexts = totals.pdfTexts;
    if (pdfTexts >= 1) {
        const qint64 edited = totals.modifiedPDFTexts;
        if (edited >= 1)
            parts.append(L(QStringLiteral("%1 textes PDF (%2 éd.)"), QStringLiteral("%1 PDF texts (%2 ed.)"))
                             .arg(pdfTexts)
                             .arg(edited));
        else
            parts.append(QString::number(pdfTexts) + L(" textes PDF", " PDF texts"));
    }

    const qint64 signatures = totals.signatures;
    if (signatures >= 1)
        parts.append(L(Format::count(signatures, QStringLiteral("signature")),
                       QString::number(signatures) + QStringLiteral(" sign.")));

    if (selectionCount >= 1)
        parts.append(QString::number(selectionCount) + L(" sél.", " sel."));

    return parts.join(QStringLiteral(" · "));
}

QString pageText(const VectorDocument& document, qsizetype pageIndex)
{
    const QString text = QStringLiteral("Page %1/%2").arg(pageIndex + 1).arg(document.pages.size());
    return L(text, text);
}

QString kindText(const VectorDocument& document)
{
    return rawValue(document.sourceFormat);
}

}  // namespace zelvane::StatusSummary
