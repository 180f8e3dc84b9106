#include "model/DocumentTally.h"

#include <variant>

namespace zelvane {

DocumentTally::Counts& DocumentTally::Counts::operator+=(const Counts& other)
{
    elements += other.elements;
    pdfTexts += other.pdfTexts;
    modifiedPDFTexts += other.modifiedPDFTexts;
    signatures += other.signatures;
    return *this;
}

DocumentTally::Counts DocumentTally::countOf(const QList<VectorElement>& elements)
{
    Counts counts;
    counts.elements = elements.size();
    for (const VectorElement& element : elements) {
        counts.pdfTexts += element.isPDFText() ? 1 : 0;
        counts.modifiedPDFTexts += element.hasModifiedPDFText() ? 1 : 0;
        counts.signatures += std::holds_alternative<SignaturePayload>(element.kind) ? 1 : 0;
    }
    return counts;
}

DocumentTally::Counts DocumentTally::count(const QList<VectorPage>& pages)
{
    qsizetype blocks = 0;
    for (const VectorPage& page : pages)
        blocks += page.elements.blockCount();
    QHash<const void*, Block> kept;
    kept.reserve(blocks);
    Counts total;
    for (const VectorPage& page : pages) {
        total.modifiedPDFTexts += page.redactedPDFRects.size();
        for (qsizetype b = 0; b < page.elements.blockCount(); ++b) {
            const QList<VectorElement>& block = page.elements.block(b);
            const void* key = block.constData();
            // A block shared by two pages (a copied page) counts twice.
            auto entry = kept.constFind(key);
            if (entry == kept.constEnd()) {
                const auto known = m_blocks.constFind(key);
                entry = kept.insert(key, known != m_blocks.constEnd() && known->elements.size() == block.size()
                                             ? *known
                                             : Block{block, countOf(block)});
            }
            total += entry->counts;
        }
    }
    m_blocks = std::move(kept);
    return total;
}

}  // namespace zelvane
