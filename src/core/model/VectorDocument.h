#pragma once

#include "EnumCases.h"
#include "model/VectorPage.h"

#include <QList>
#include <QString>
#include <QUrl>
#include <QUuid>
#include <array>
#include <optional>

namespace zelvane {

enum class DocumentSourceFormat { svg, pdf, native };

template <>
struct EnumCases<DocumentSourceFormat> {
    static constexpr std::array all{DocumentSourceFormat::svg, DocumentSourceFormat::pdf,
                                    DocumentSourceFormat::native};
};

// "SVG", "PDF" or "Zelvane".
QString rawValue(DocumentSourceFormat format);

// The whole edited document. Copies share the page and element lists (and
// the PDF bytes) until one of them changes, so keeping copies for undo is cheap.
struct VectorDocument {
    QUuid id;
    QString title;
    DocumentSourceFormat sourceFormat = DocumentSourceFormat::svg;
    std::optional<QUrl> fileURL;
    QList<VectorPage> pages;
    // Every applied edit adds 1.
    qint64 revision = 1;

    // The initialiser: an empty page list becomes one blank A4 page "Page 1".
    static VectorDocument make(QUuid id, QString title, DocumentSourceFormat sourceFormat,
                               std::optional<QUrl> fileURL, QList<VectorPage> pages, qint64 revision);

    qint64 totalElementsCount() const;
    qint64 pdfTextElementCount() const;
    // Changed PDF texts plus redactions: the changes to the imported content.
    qint64 modifiedPDFTextCount() const;
    qint64 signatureCount() const;

    bool operator==(const VectorDocument&) const = default;
};

}  // namespace zelvane
