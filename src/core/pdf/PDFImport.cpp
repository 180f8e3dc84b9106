#include "pdf/PDFImport.h"

#include "CodecError.h"
#include "Localization.h"
#include "fonts/PDFEmbeddedFontRegistry.h"
#include "model/PageFormatPreset.h"
#include "pdf/PDFDocument.h"
#include "pdf/PDFPageBitmapAnalyzer.h"
#include "pdf/PDFTextExtraction.h"

namespace zelvane::PDFCodec {

namespace {

// The text's rectangles moved from the unturned page (`unturned` points,
// y down) onto the page as a viewer shows it, turned clockwise by `rotation`.
void turnText(PDFPageText& text, const QSizeF& unturned, int rotation)
{
    VectorPage turned;
    const bool sideways = rotation % 180 != 0;
    turned.width = sideways ? unturned.height() : unturned.width();
    turned.height = sideways ? unturned.width() : unturned.height();
    turned.pdfRotation = rotation;
    const QTransform transform = turned.backdropTransform();
    for (QRectF& rect : text.characterRects) {
        if (!rect.isNull()) {
            rect = transform.mapRect(rect);
        }
    }
}

}  // namespace

VectorDocument importPDF(const QByteArray& data, const QString& title, const std::optional<QUrl>& fileURL)
{
    // Fonts first, so the names met in the text already resolve to them.
    PDFEmbeddedFontRegistry::shared().registerFonts(data);

    PDFDocument::OpenError openError = PDFDocument::OpenError::none;
    const std::unique_ptr<PDFDocument> pdf = PDFDocument::open(data, &openError);
    if (!pdf || pdf->pageCount() < 1) {
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
        // The page as a viewer shows it: a page with /Rotate keeps its PDF
        // unturned underneath and turns it by pdfRotation.
        const int rotation = pdf->rotation(i);
        const bool sideways = rotation % 180 != 0;
        const double unturnedWidth = atLeast(box.width(), 64);
        const double unturnedHeight = atLeast(box.height(), 64);
        const double width = sideways ? unturnedHeight : unturnedWidth;
        const double height = sideways ? unturnedWidth : unturnedHeight;
        QList<VectorElement> elements;
        PDFPageText text = pdf->pageText(i);
        if (!text.text.isEmpty()) {
            QRectF textBox = box;
            if (rotation != 0) {
                turnText(text, QSizeF(unturnedWidth, unturnedHeight), rotation);
                textBox = QRectF(0, 0, width, height);
            }
            const std::optional<PDFPageBitmapAnalyzer> analyzer =
                PDFPageBitmapAnalyzer::create(*pdf, i, width, height, rotation);
            elements = extractEditableTextElements(text, textBox, width, height, analyzer ? &*analyzer : nullptr);
        }
        VectorPage page = VectorPage::make(QUuid::createUuid(), QStringLiteral("Page %1").arg(i + 1), width, height,
                                           QStringLiteral("#FFFFFF"), data, i, {}, elements);
        page.pdfRotation = rotation;
        pages.append(std::move(page));
    }
    if (pages.isEmpty()) {
        const PageSize a4 = sizePoints(PageFormatPreset::a4Portrait);
        pages.append(VectorPage::make(QUuid::createUuid(), QStringLiteral("Page 1"), a4.width, a4.height,
                                      QStringLiteral("#FFFFFF")));
    }
    return VectorDocument::make(QUuid::createUuid(), title, DocumentSourceFormat::pdf, fileURL, pages, 1);
}

}  // namespace zelvane::PDFCodec
