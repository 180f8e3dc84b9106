#include "pdf/PDFImport.h"

#include "CodecError.h"
#include "ThreadHandOver.h"
#include "Localization.h"
#include "fonts/FontMemo.h"
#include "fonts/PDFEmbeddedFontRegistry.h"
#include "model/PageFormatPreset.h"
#include "pdf/PDFCancel.h"
#include "pdf/PDFDocument.h"
#include "pdf/PDFDrawingDeadline.h"
#include "pdf/PDFPageBitmapAnalyzer.h"
#include "pdf/PDFTextExtraction.h"

#include <QThread>
#include <algorithm>
#include <cmath>
#include <condition_variable>
#include <deque>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <utility>
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
    bool drawingCutShort = false;  // a drawing of it was given up at its bound
};

// Page bitmaps lent out to the threads measuring pages: at most `budget`
// bytes of them at once, so that more threads do not mean more page-sized
// buffers. A thread asking for more waits until others give theirs back;
// one bitmap is always allowed, however large. Buffers given back are kept
// for the next page, so pages cost no fresh memory.
class PageBitmaps {
public:
    explicit PageBitmaps(qint64 budget) : m_budget(budget) {}

    struct Buffer {
        std::unique_ptr<uchar[]> bytes;
        qint64 size = 0;
    };

    Buffer take(qint64 size)
    {
        std::unique_lock lock(m_mutex);
        m_returned.wait(lock, [&] { return m_out == 0 || m_out + size <= m_budget; });
        auto kept = m_kept.end();
        for (auto it = m_kept.begin(); it != m_kept.end(); ++it) {
            if (it->size >= size && (kept == m_kept.end() || it->size < kept->size))
                kept = it;
        }
        Buffer buffer;
        if (kept != m_kept.end()) {
            buffer = std::move(*kept);
            m_kept.erase(kept);
        } else {
            // Buffers too small for it go first, so what is held stays
            // within the budget.
            qint64 held = m_out;
            for (const Buffer& other : m_kept)
                held += other.size;
            while (!m_kept.empty() && held + size > m_budget) {
                held -= m_kept.back().size;
                m_kept.pop_back();
            }
            buffer = {std::make_unique_for_overwrite<uchar[]>(size_t(size)), size};
        }
        m_out += buffer.size;
        return buffer;
    }

    // A bitmap taken for as long as it lives.
    class Lent {
    public:
        Lent(PageBitmaps& bitmaps, qint64 size) : m_bitmaps(bitmaps), m_buffer(bitmaps.take(size)) {}
        ~Lent() { m_bitmaps.give(std::move(m_buffer)); }
        Lent(const Lent&) = delete;
        Lent& operator=(const Lent&) = delete;
        uchar* bytes() const { return m_buffer.bytes.get(); }

    private:
        PageBitmaps& m_bitmaps;
        Buffer m_buffer;
    };

    void give(Buffer buffer)
    {
        {
            std::lock_guard lock(m_mutex);
            m_out -= buffer.size;
            m_kept.push_back(std::move(buffer));
        }
        m_returned.notify_all();
    }

private:
    const qint64 m_budget;
    qint64 m_out = 0;
    std::vector<Buffer> m_kept;
    std::mutex m_mutex;
    std::condition_variable m_returned;
};

// What two A4 pages at twice their size take: the bitmaps one page needed
// when pages were measured one at a time.
constexpr qint64 kPageBitmapBudget = qint64(2) * 1190 * 1684 * 4;

// Threads helping the page workers measure their pages' lines, when the
// import is given more threads than page workers. A worker hands a page's
// lines out and measures them too; an idle helper joins the oldest page
// whose lines are still being handed out. Helpers draw nothing and keep no
// poppler document.
class LineHelpers {
public:
    explicit LineHelpers(int threads)
    {
        for (int i = 0; i < threads; ++i) {
            m_threads.emplace_back(QThread::create([this] {
                help();
                handOverSent(this);
            }));
            m_threads.back()->start();
        }
    }

    ~LineHelpers()
    {
        {
            std::lock_guard lock(m_mutex);
            m_stopping = true;
        }
        m_wake.notify_all();
        // QThread::wait() learns of the thread's end through Qt's own lock,
        // which the thread sanitizer does not see: the end is marked.
        for (const std::unique_ptr<QThread>& thread : m_threads)
            thread->wait();
        handOverTaken(this);
    }

    // Calls `each` for every index below `count`, here and wherever help
    // comes from; rethrows the first failure once every call is over.
    void run(qsizetype count, const std::function<void(qsizetype)>& each)
    {
        Job job{count, each};
        std::unique_lock lock(m_mutex);
        m_jobs.push_back(&job);
        m_wake.notify_all();
        while (measureOne(job, lock)) {
        }
        m_done.wait(lock, [&] { return job.measuring == 0; });
        if (job.failure)
            std::rethrow_exception(job.failure);
    }

private:
    // Measures lines handed out until the helpers stop.
    void help()
    {
        std::unique_lock lock(m_mutex);
        while (!m_stopping) {
            if (m_jobs.empty())
                m_wake.wait(lock);
            else
                measureOne(*m_jobs.front(), lock);
        }
    }

    struct Job {
        const qsizetype count;
        const std::function<void(qsizetype)>& each;
        qsizetype next = 0;
        int measuring = 0;  // lines being measured
        std::exception_ptr failure;
    };

    // Measures the job's next line, the lock released meanwhile; false (the
    // job no longer handed out) when none is left.
    bool measureOne(Job& job, std::unique_lock<std::mutex>& lock)
    {
        if (job.next >= job.count) {
            std::erase(m_jobs, &job);
            return false;
        }
        const qsizetype index = job.next++;
        ++job.measuring;
        lock.unlock();
        std::exception_ptr failure;
        try {
            job.each(index);
        } catch (...) {
            failure = std::current_exception();
        }
        lock.lock();
        if (failure && !job.failure)
            job.failure = failure;
        if (--job.measuring == 0)
            m_done.notify_all();
        return true;
    }

    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::condition_variable m_done;
    std::deque<Job*> m_jobs;
    bool m_stopping = false;
    std::vector<std::unique_ptr<QThread>> m_threads;
};

// The most workers drawing and measuring pages: each holds a poppler
// document and a page bitmap of its own. Two keep the import's peak memory
// at what measuring one page at a time with two whole-page images took, and
// drawing and measuring then never waits for a bitmap.
constexpr int kMostPageWorkers = 2;

// A rectangle (page points) holding every line's selection rectangle, as
// measureTextLines places it: within the characters' rectangles, moved down
// by what the page adds below a short media box, at least one point wide
// and high and never left of or above the page.
QRectF textArea(const PDFPageText& text, double mediaHeight, double pageHeight)
{
    double left = INFINITY, top = INFINITY, right = -INFINITY, bottom = -INFINITY;
    for (const QRectF& rect : text.characterRects) {
        if (rect.isNull() || !std::isfinite(rect.left()) || !std::isfinite(rect.top())
            || !std::isfinite(rect.right()) || !std::isfinite(rect.bottom()))
            continue;
        left = std::min(left, rect.left());
        top = std::min(top, rect.top());
        right = std::max(right, rect.right());
        bottom = std::max(bottom, rect.bottom());
    }
    if (!(left <= right) || !(top <= bottom))
        return QRectF();
    const double shift = pageHeight - mediaHeight;
    top += shift;
    bottom += shift;
    // A rectangle starting left of the page keeps its width from 0.
    const double x0 = std::max(0.0, left);
    const double y0 = std::max(0.0, top);
    const double x1 = right + std::max(0.0, -left) + 1;
    const double y1 = bottom + std::max(0.0, -top) + 1;
    return QRectF(x0, y0, x1 - x0, y1 - y0);
}

// How far beyond the text a scanned line's print is looked for, in points.
constexpr double kScannedLineMargin = 16;

// The page is measured as a viewer shows it: a page with /Rotate keeps its
// PDF unturned underneath and turns it by pdfRotation. Only the part of the
// page under its text is drawn, into a bitmap from `bitmaps`.
//
// The text tells what to draw, but reading it alone goes over the page's
// content once more than drawing it does. So an unturned page is first drawn
// where the pages measured before by the same thread (`lastArea`) had their
// text, reading its text in the same pass; only when its own text reaches
// beyond that is the part under it drawn again. `lastArea` grows to take in
// the part this page needs, and beyond when that part reached beyond it; a
// page without text empties it.
//
// Pages whose text keeps spreading would each be drawn twice that way. So
// once a page's text reached beyond the drawing, the pages after it read
// their text first and are drawn once, under it, until one of them would
// have fitted in the drawing made before knowing its text.
struct DrawingGuess {
    QRect lastArea;
    bool missed = false;
    // The page before was a scan: its text an invisible layer over a picture.
    bool scanned = false;
};

// What is drawn of a page of `size` pixels before its text is known: where
// the pages before had theirs and, after a scan, a sixteenth of the page
// further on each side, as far as a page's last lines commonly stray from
// those of the page before. A scan's picture is decoded and drawn whole
// each time, so drawing it twice costs twice; around printed text the
// margin would only cost its pixels. Empty for an empty guess.
QRect drawingBeforeText(const QRect& lastArea, const QSize& size, bool afterScan)
{
    if (lastArea.isEmpty())
        return {};
    const int dx = afterScan ? size.width() / 16 : 0;
    const int dy = afterScan ? size.height() / 16 : 0;
    return lastArea.adjusted(-dx, -dy, dx, dy).intersected(QRect(QPoint(0, 0), size));
}

bool scanned(const PDFPageText& text)
{
    return !text.runs.isEmpty()
           && std::all_of(text.runs.begin(), text.runs.end(), [](const PDFTextRun& run) { return run.invisible; });
}

MeasuredPage measureDrawnPage(const PDFDocument& pdf, int index, PageBitmaps& bitmaps, LineHelpers* helpers,
                              DrawingGuess& drawing)
{
    MeasuredPage page;
    page.mediaBox = pdf.mediaBox(index);
    QRect& lastArea = drawing.lastArea;
    const QRect guess = std::exchange(lastArea, QRect());
    const bool afterScan = std::exchange(drawing.scanned, false);
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
    const std::optional<QSize> size = PDFPageBitmapAnalyzer::pixelSize(page.width, page.height);

    std::optional<PageBitmaps::Lent> bitmap;
    QImage raster;
    QRect drawnArea;
    bool drawn = false;
    const QRect guessed = size ? drawingBeforeText(guess, *size, afterScan) : QRect();
    if (page.rotation == 0 && size && !drawing.missed) {
        drawnArea = guessed;
    }
    if (!drawnArea.isEmpty()) {
        bitmap.emplace(bitmaps, qint64(drawnArea.width()) * drawnArea.height() * 4);
        raster = QImage(bitmap->bytes(), drawnArea.width(), drawnArea.height(), drawnArea.width() * 4,
                        QImage::Format_ARGB32_Premultiplied);
        drawn = PDFPageBitmapAnalyzer::drawReadingText(pdf, index, page.width, page.height, raster, drawnArea,
                                                       page.text);
    } else {
        page.text = pdf.pageText(index);
    }
    if (page.text.text.isEmpty()) {
        pdf.forgetKeptPage();
        return page;
    }
    ParallelFor parallel;
    if (helpers) {
        parallel = [helpers](qsizetype count, const std::function<void(qsizetype)>& each) {
            helpers->run(count, each);
        };
    }
    if (page.rotation != 0) {
        turnPageText(page.text, QSizeF(unturnedWidth, unturnedHeight), page.rotation);
        page.textBox = QRectF(0, 0, page.width, page.height);
    }
    QRect area = size ? QRect(QPoint(0, 0), *size) : QRect();
    if (size && page.rotation == 0) {
        const QRectF text = textArea(page.text, page.textBox.height(), page.height);
        // A scan's text layer only roughly follows the picture's words,
        // which are measured a little beyond the layer's boxes.
        const double margin = kScannedLineMargin;
        area = text.isEmpty() ? QRect()
                              : PDFPageBitmapAnalyzer::pixelsUnder(*size, text.adjusted(-margin, -margin, margin, margin));
        // Drawing blank paper costs little, drawing a page twice much: the
        // next page is drawn where any page before it had its text and, when
        // this one's text reached further, as much further again.
        lastArea = area.isEmpty() ? QRect() : area.united(guess);
        drawing.scanned = scanned(page.text);
        drawing.missed = !area.isEmpty() && !guessed.isEmpty() && !guessed.contains(area);
        if (!guess.isEmpty() && !area.isEmpty() && !guess.contains(area)) {
            lastArea.adjust(-std::max(guess.left() - area.left(), 0), -std::max(guess.top() - area.top(), 0),
                            std::max(area.right() - guess.right(), 0), std::max(area.bottom() - guess.bottom(), 0));
            lastArea &= QRect(QPoint(0, 0), *size);
        }
    }
    if (area.isEmpty()) {
        pdf.forgetKeptPage();
        page.lines = measureTextLines(page.text, page.textBox, page.height, nullptr, parallel);
        return page;
    }
    std::optional<PDFPageBitmapAnalyzer> analyzer;
    if (drawn) {
        analyzer = PDFPageBitmapAnalyzer::overDrawn(raster, drawnArea.topLeft(), page.width, page.height, area);
    }
    if (analyzer) {
        // Poppler's text of the page is not held while its lines are measured.
        pdf.forgetKeptPage();
    } else {
        // The text reaches beyond what was drawn, or nothing was drawn yet:
        // the part under the text is drawn on its own (with the page kept
        // since its text was read, which poppler does not read again).
        raster = QImage();
        bitmap.reset();
        // A turned page is drawn unturned, then turned.
        const QSize drawnSize = sideways ? area.size().transposed() : area.size();
        bitmap.emplace(bitmaps, qint64(drawnSize.width()) * drawnSize.height() * 4);
        raster = QImage(bitmap->bytes(), drawnSize.width(), drawnSize.height(), drawnSize.width() * 4,
                        QImage::Format_ARGB32_Premultiplied);
        analyzer = page.rotation == 0
                       ? PDFPageBitmapAnalyzer::create(pdf, index, page.width, page.height, raster, area)
                       : PDFPageBitmapAnalyzer::create(pdf, index, page.width, page.height, raster, page.rotation);
    }
    page.lines = measureTextLines(page.text, page.textBox, page.height, analyzer ? &*analyzer : nullptr, parallel);
    return page;
}

MeasuredPage measurePage(const PDFDocument& pdf, int index, PageBitmaps& bitmaps, LineHelpers* helpers,
                         DrawingGuess& drawing)
{
    const int cutBefore = pdf.drawingsCutShort();
    MeasuredPage page = measureDrawnPage(pdf, index, bitmaps, helpers, drawing);
    page.drawingCutShort = pdf.drawingsCutShort() != cutBefore;
    return page;
}

QList<VectorElement> elementsOf(const MeasuredPage& page)
{
    return buildExtractedTextElements(page.text, page.lines, page.textBox, page.width, page.height);
}

// Pages measured by worker threads, each drawing with its own poppler
// document (poppler documents are not shared across threads; the first
// worker uses the importing one, which the importing thread leaves alone
// meanwhile), and handed out in page order. Workers run at most a few pages
// ahead of the page being taken, so measured pages do not pile up.
class PageMeasuring {
public:
    // `pdf` takes `drawingTurn` to draw, as the workers' own documents do.
    PageMeasuring(const PDFDocument& pdf, std::shared_ptr<std::mutex> drawingTurn, int workers,
                  PageBitmaps& bitmaps, LineHelpers* helpers)
        : m_pdf(pdf), m_drawingTurn(std::move(drawingTurn)), m_bitmaps(bitmaps), m_helpers(helpers),
          m_pages(size_t(pdf.pageCount())), m_ahead(workers + 1)
    {
        for (int i = 0; i < workers; ++i) {
            m_threads.emplace_back(QThread::create([this, i] {
                work(i == 0);
                handOverSent(this);
            }));
            m_threads.back()->start();
        }
    }

    ~PageMeasuring()
    {
        {
            std::lock_guard lock(m_mutex);
            m_next = int(m_pages.size());
            m_taken = int(m_pages.size());
        }
        m_changed.notify_all();
        for (const std::unique_ptr<QThread>& thread : m_threads) {
            thread->wait();
        }
        handOverTaken(this);  // as in ~LineHelpers
    }

    // Waits for page `index`; rethrows what stopped the worker measuring it.
    // This thread measures no lines meanwhile: a line is measured on the
    // thread that drew its page, whose processor still holds the pixels,
    // and other threads reading them cost more processor time than the
    // wait saves.
    MeasuredPage take(int index)
    {
        std::unique_lock lock(m_mutex);
        m_changed.wait(lock, [&] { return m_pages[size_t(index)].done; });
        Slot& slot = m_pages[size_t(index)];
        m_taken = std::max(m_taken, index + 1);
        m_changed.notify_all();
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

    // The next page to measure, once it is near enough the one being taken;
    // past the last page when there is none left.
    int nextPage()
    {
        std::unique_lock lock(m_mutex);
        m_changed.wait(lock, [&] { return m_next < m_taken + m_ahead; });
        return m_next++;
    }

    void work(bool first)
    {
        std::unique_ptr<PDFDocument> own;
        std::exception_ptr failure;
        if (!first) {
            try {
                own = m_pdf.reopen();
                if (!own) {
                    failure = std::make_exception_ptr(invalidPDFError());
                } else {
                    own->takeTurnsDrawing(m_drawingTurn);
                }
            } catch (...) {
                failure = std::current_exception();
            }
        }
        const PDFDocument& pdf = own ? *own : m_pdf;
        const int count = int(m_pages.size());
        DrawingGuess drawing;
        for (int index = nextPage(); index < count; index = nextPage()) {
            Slot result;
            result.done = true;
            result.failure = failure;
            if (!result.failure) {
                try {
                    result.page = measurePage(pdf, index, m_bitmaps, m_helpers, drawing);
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
    const std::shared_ptr<std::mutex> m_drawingTurn;
    PageBitmaps& m_bitmaps;
    LineHelpers* const m_helpers;
    std::vector<Slot> m_pages;
    const int m_ahead;
    int m_next = 0;
    int m_taken = 0;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::vector<std::unique_ptr<QThread>> m_threads;
};

}  // namespace

int defaultImportWorkers()
{
    // Two page workers, each measuring the lines of the pages it draws, the
    // importing thread making the elements of the pages measured. Helper
    // threads beyond them would speed the import up but each adds an
    // allocator arena of its own (about 0.25 MB), which the import's peak
    // memory has no room for, and reads pixels drawn on another processor.
    return std::clamp(QThread::idealThreadCount(), 1, kMostPageWorkers);
}

VectorDocument importPDF(const QByteArray& data, const QString& title, const std::optional<QUrl>& fileURL)
{
    return importPDF(data, title, fileURL, defaultImportWorkers());
}

VectorDocument importPDF(const QByteArray& data, const QString& title, const std::optional<QUrl>& fileURL,
                         int workers, const ImportProgress& progress, std::shared_ptr<const PDFCancel> cancel,
                         PDFImportReport* report)
{
    PDFDocument::OpenError openError = PDFDocument::OpenError::none;
    QString openErrorText;
    // Read through a cancel of its own even when none is given, so that a
    // drawing running past its bound can be given up.
    if (!cancel)
        cancel = std::make_shared<PDFCancel>();
    const std::unique_ptr<PDFDocument> pdf = PDFDocument::open(data, &openError, &openErrorText, std::move(cancel));
    // A file that cannot be opened is refused before anything else reads it
    // (its fonts would only cost time and fill the font lists).
    if (openError == PDFDocument::OpenError::tooLarge) {
        throw CodecError(QStringLiteral("PDFCodec"), 4, openErrorText);
    }
    if (!pdf || pdf->pageCount() < 1) {
        if (openError == PDFDocument::OpenError::passwordProtected) {
            throw CodecError(QStringLiteral("PDFCodec"), 1,
                             L("Ce fichier PDF est protégé par un mot de passe : il ne peut pas être ouvert.",
                               "This PDF file is password-protected and cannot be opened."));
        }
        throw invalidPDFError();
    }

    // Bounded before the workers open theirs from it.
    pdf->boundDrawings(pageDrawingBoundMs());

    // Fonts before any text, so the names met in the text resolve to them;
    // read from what poppler reads, so that a file qpdf had to mend or
    // whose attachments are locked gives its fonts too.
    PDFEmbeddedFontRegistry::shared().registerFonts(pdf->readableBytes());
    // Lines set in the same font and size, page after page, have their font
    // chosen and measured once (no font is registered from here on).
    const fonts::FontMemo fontMemo;

    // Measuring a page (drawing and reading its pixels) is most of the
    // work and goes to the workers: up to two draw and measure pages, the
    // others help them measure their lines. The elements are made here,
    // page after page, as the measured pages come in.
    const int pageCount = pdf->pageCount();
    const int threads = std::max(workers, 1);
    const int pageWorkers = std::min({threads, kMostPageWorkers, pageCount});
    std::optional<LineHelpers> helpers;
    if (threads > pageWorkers) {
        helpers.emplace(threads - pageWorkers);
    }
    PageBitmaps bitmaps(kPageBitmapBudget);
    std::optional<PageMeasuring> measuring;
    if (pageWorkers > 1) {
        // The workers draw one at a time and measure side by side: drawing
        // at once, they would queue on cairo's lock at every string.
        auto drawingTurn = std::make_shared<std::mutex>();
        pdf->takeTurnsDrawing(drawingTurn);
        measuring.emplace(*pdf, drawingTurn, pageWorkers, bitmaps, helpers ? &*helpers : nullptr);
    }
    QList<VectorPage> pages;
    DrawingGuess drawing;
    for (int i = 0; i < pageCount; ++i) {
        const MeasuredPage page = measuring ? measuring->take(i)
                                            : measurePage(*pdf, i, bitmaps, helpers ? &*helpers : nullptr, drawing);
        if (progress)
            progress(i + 1, pageCount);
        if (page.drawingCutShort && report)
            report->cutShortPages.append(i);
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
