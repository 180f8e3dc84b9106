#include "pdf/PDFImport.h"

#include "CodecError.h"
#include "Localization.h"
#include "fonts/PDFEmbeddedFontRegistry.h"
#include "model/PageFormatPreset.h"
#include "pdf/PDFDocument.h"
#include "pdf/PDFPageBitmapAnalyzer.h"
#include "pdf/PDFTextExtraction.h"

namespace zelvane::PDFCodec {

VectorDocument importPDF(const QByteArray& data, const QString& title, const std::optional<QUrl>& fileURL)
{
    // Fonts first, so the names met in the text already resolve to them.
    PDFEmbeddedFontRegistry::shared().registerFonts(data);

    PDFDocument::OpenError openError = PDFDocument::OpenError::none;
    QString openErrorText;
    const std::unique_ptr<PDFDocument> pdf = PDFDocument::open(data, &openError, &openErrorText);
    if (!pdf || pdf->pageCount() < 1) {
        if (openError == PDFDocument::OpenError::tooLarge) {
            throw CodecError(QStringLiteral("PDFCodec"), 4, openErrorText);
        }
        if (openError == PDFDocument::OpenError::passwordProtected) {
            throw CodecError(QStringLiteral("PDFCodec"), 1,
                             L("Ce fichier PDF est protégé par un mot de passe : il ne peut pas être ouvert.",
                               "This PDF file is password-protected and cannot be opened."));
        }
        throw CodecError(QStringLiteral("PDFCodec"), 1, L("Fichier PDF invalide ou vide.", "Invalid or empty PDF file."));
    }

    QList<VectorPage> pages;
    for (int i = 0; i < pdf->pageCount(); ++i) {
        const QRectF box = pdf->mediaBox(i);
        if (box.isEmpty()) {
            continue;
        }
        const double width = atLeast(box.width(), 64);
        const double height = atLeast(box.height(), 64);
        QList<VectorElement> elements;
        const PDFPageText text = pdf->pageText(i);
        if (!text.text.isEmpty()) {
            const std::optional<PDFPageBitmapAnalyzer> analyzer =
                PDFPageBitmapAnalyzer::create(*pdf, i, width, height);
            elements = extractEditableTextElements(text, box, width, height, analyzer ? &*analyzer : nullptr);
        }
        pages.append(VectorPage::make(QUuid::createUuid(), QStringLiteral("Page %1").arg(i + 1), width, height,
                                      QStringLiteral("#FFFFFF"), data, i, {}, elements));
    }
    if (pages.isEmpty()) {
        const PageSize a4 = sizePoints(PageFormatPreset::a4Portrait);
        pages.append(VectorPage::make(QUuid::createUuid(), QStringLiteral("Page 1"), a4.width, a4.height,
                                      QStringLiteral("#FFFFFF")));
    }
    return VectorDocument::make(QUuid::createUuid(), title, DocumentSourceFormat::pdf, fileURL, pages, 1);
}

}  // namespace zelvane::PDFCodec
