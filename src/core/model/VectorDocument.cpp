#include "model/VectorDocument.h"

#include "model/PageFormatPreset.h"

namespace zelvane {

QString rawValue(DocumentSourceFormat format)
{
    switch (format) {
    case DocumentSourceFormat::svg: return QStringLiteral("SVG");
    case DocumentSourceFormat::pdf: return QStringLiteral("PDF");
    case DocumentSourceFormat::native: return QStringLiteral("Zelvane");
    }
    return {};
}

VectorDocument VectorDocument::make(QUuid id, QString title, DocumentSourceFormat sourceFormat,
                                    std::optional<QUrl> fileURL, QList<VectorPage> pages, qint64 revision)
{
    VectorDocument document;
    document.id = id;
    document.title = std::move(title);
    document.sourceFormat = sourceFormat;
    document.fileURL = std::move(fileURL);
    if (pages.isEmpty()) {
        const PageSize a4 = sizePoints(PageFormatPreset::a4Portrait);
        pages.append(VectorPage::make(QUuid::createUuid(), QStringLiteral("Page 1"), a4.width, a4.height,
                                      QStringLiteral("#FFFFFF")));
    }
    document.pages = std::move(pages);
    document.revision = revision;
    return document;
}

namespace {

template <class Predicate>
qint64 countElements(const QList<VectorPage>& pages, Predicate matches)
{
    qint64 count = 0;
    for (const VectorPage& page : pages) {
        for (const VectorElement& element : page.elements) {
            if (matches(element)) {
                ++count;
            }
        }
    }
    return count;
}

}  // namespace

qint64 VectorDocument::totalElementsCount() const
{
    return countElements(pages, [](const VectorElement&) { return true; });
}

qint64 VectorDocument::pdfTextElementCount() const
{
    return countElements(pages, [](const VectorElement& e) { return e.isPDFText(); });
}

qint64 VectorDocument::modifiedPDFTextCount() const
{
    qint64 redactions = 0;
    for (const VectorPage& page : pages) {
        redactions += page.redactedPDFRects.size();
    }
    return redactions + countElements(pages, [](const VectorElement& e) { return e.hasModifiedPDFText(); });
}

qint64 VectorDocument::signatureCount() const
{
    return countElements(pages, [](const VectorElement& e) { return std::holds_alternative<SignaturePayload>(e.kind); });
}

}  // namespace zelvane
