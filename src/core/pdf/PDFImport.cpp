#include "pdf/PDFImport.h"

#include "CodecError.h"
#include "Localization.h"
#include "fonts/PDFEmbeddedFontRegistry.h"
#include "model/PageFormatPreset.h"
#include "pdf/PDFDocument.h"
#include "pdf/PDFPageBitmapAnalyzer.h"
#include "pdf/PDFTextExtraction.h"

#include <QThread>
#include <atomic>
#include <condition_variable>
#include <exception>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

namespace zelvane::PDFCodec {

namespace {

CodecError invalidPDFError()
{
    return CodecError(QStringLiteral("PDFCodec"), 1, L("Fichier PDF invalide ou vide.", "Invalid or empty PDF file."));
}

// One PDF page measured: its size, text and the print under its lines.
struct MeasuredPage {
    bool present = false;  // false for a page without a box
    double width = 0;
    double height = 0;
    int rotation = 0;
    QRectF mediaBox;
    QRectF textBox;  // the box the text's rectangles are placed in
    PDFPageText text;
    QList<MeasuredTextLine> lines;
};

// `raster` is the caller's page buffer, reused from page to page. The page
// is measured as a viewer shows it: a page with /Rotate keeps its PDF
// unturned underneath and turns it by pdfRotation.
MeasuredPage measurePage(const PDFDocument& pdf, int index, QImage& raster)
{
    MeasuredPage page;
    page.mediaBox = pdf.mediaBox(index);
    if (page.mediaBox.isEmpty()) {
        return page;
    }
    page.present = true;
    page.rotation = pdf.rotation(index);
    const bool sideways = page.rotation % 180 != 0;
    const double unturnedWidth = atLeast(page.mediaBox.width(), 64);
    const double unturnedHeight = atLeast(page.mediaBox.height(), 64);
    page.width = sideways ? unturnedHeight : unturnedWidth;
    page.height = sideways ? unturnedWidth : unturnedHeight;
    page.textBox = page.mediaBox;
    page.text = pdf.pageText(index);
    if (!page.text.text.isEmpty()) {
        if (page.rotation != 0) {
            turnPageText(page.text, QSizeF(unturnedWidth, unturnedHeight), page.rotation);
            page.textBox = QRectF(0, 0, page.width, page.height);
        }
        const std::optional<PDFPageBitmapAnalyzer> analyzer =
            PDFPageBitmapAnalyzer::create(pdf, index, page.width, page.height, raster, page.rotation);
        page.lines = measureTextLines(page.text, page.textBox, page.height, analyzer ? &*analyzer : nullptr);
    }
    return page;
}

QList<VectorElement> elementsOf(const MeasuredPage& page)
{
    return buildExtractedTextElements(page.text, page.lines, page.textBox, page.width, page.height);
}

// Pages measured by worker threads, each drawing with its own poppler
// document (poppler documents are not shared across threads) into its own
// page buffer, and handed out in page order.
class PageMeasuring {
public:
    PageMeasuring(const PDFDocument& pdf, int workers) : m_pdf(pdf), m_pages(size_t(pdf.pageCount()))
    {
        for (int i = 0; i < workers; ++i) {
            m_threads.emplace_back(QThread::create([this] { work(); }));
            m_threads.back()->start();
        }
    }

    ~PageMeasuring()
    {
        m_next = int(m_pages.size());
        for (const std::unique_ptr<QThread>& thread : m_threads) {
            thread->wait();
        }
    }

    // Waits for page `index`; rethrows what stopped the worker measuring it.
    MeasuredPage take(int index)
    {
        std::unique_lock lock(m_mutex);
        m_changed.wait(lock, [&] { return m_pages[size_t(index)].done; });
        Slot& slot = m_pages[size_t(index)];
        if (slot.failure) {
            std::rethrow_exception(slot.failure);
        }
        return std::move(slot.page);
    }

private:
    struct Slot {
        bool done = false;
        MeasuredPage page;
        std::exception_ptr failure;
    };

    void work()
    {
        std::unique_ptr<PDFDocument> own;
        std::exception_ptr failure;
        try {
            own = m_pdf.reopen();
        } catch (...) {
            failure = std::current_exception();
        }
        QImage raster;
        const int count = int(m_pages.size());
        for (int index = m_next++; index < count; index = m_next++) {
            Slot result;
            result.done = true;
            result.failure = failure;
            if (!own && !failure) {
                result.failure = std::make_exception_ptr(invalidPDFError());
            }
            if (!result.failure) {
                try {
                    result.page = measurePage(*own, index, raster);
                } catch (...) {
                    result.failure = std::current_exception();
                }
            }
            {
                std::lock_guard lock(m_mutex);
                m_pages[size_t(index)] = std::move(result);
            }
            m_changed.notify_all();
        }
    }

    const PDFDocument& m_pdf;
    std::vector<Slot> m_pages;
    std::atomic<int> m_next{0};
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::vector<std::unique_ptr<QThread>> m_threads;
};

}  // namespace

int defaultImportWorkers()
{
    // Each worker keeps a page raster (8 MB for an A4 page) and a poppler
    // document of its own: beyond four, memory grows faster than the time
    // falls, since making the elements stays on one thread.
    constexpr int kMostWorkers = 4;
    return std::clamp(QThread::idealThreadCount(), 1, kMostWorkers);
}

VectorDocument importPDF(const QByteArray& data, const QString& title, const std::optional<QUrl>& fileURL)
{
    return importPDF(data, title, fileURL, defaultImportWorkers());
}

VectorDocument importPDF(const QByteArray& data, const QString& title, const std::optional<QUrl>& fileURL,
                         int workers)
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
        throw invalidPDFError();
    }

    // Measuring a page (drawing and reading its pixels) is most of the
    // work and goes to the workers; the elements are made here, page after
    // page, as the measured pages come in.
    const int pageCount = pdf->pageCount();
    const int threads = std::clamp(workers, 1, pageCount);
    std::optional<PageMeasuring> measuring;
    if (threads > 1) {
        measuring.emplace(*pdf, threads);
    }
    QImage raster;
    QList<VectorPage> pages;
    for (int i = 0; i < pageCount; ++i) {
        const MeasuredPage page = measuring ? measuring->take(i) : measurePage(*pdf, i, raster);
        if (!page.present) {
            continue;
        }
        VectorPage made = VectorPage::make(QUuid::createUuid(), QStringLiteral("Page %1").arg(i + 1), page.width,
                                           page.height, QStringLiteral("#FFFFFF"), data, i, {}, elementsOf(page));
        made.pdfRotation = page.rotation;
        pages.append(std::move(made));
    }
    if (pages.isEmpty()) {
        const PageSize a4 = sizePoints(PageFormatPreset::a4Portrait);
        pages.append(VectorPage::make(QUuid::createUuid(), QStringLiteral("Page 1"), a4.width, a4.height,
                                      QStringLiteral("#FFFFFF")));
    }
    return VectorDocument::make(QUuid::createUuid(), title, DocumentSourceFormat::pdf, fileURL, pages, 1);
}

}  // namespace zelvane::PDFCodec
