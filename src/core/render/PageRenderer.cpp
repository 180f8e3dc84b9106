#include "render/PageRenderer.h"

#include "fonts/PDFTextOverlay.h"
#include "model/RGBAColor.h"
#include "pdf/PDFCancel.h"
#include "pdf/PDFDocument.h"
#include "pdf/PDFDrawingDeadline.h"
#include "pdf/PDFTextExtraction.h"
#include "render/ElementRenderer.h"
#include "render/MaskCover.h"

#include <QBuffer>
#include <QImage>
#include <QPainter>
#include <cmath>
#include <chrono>
#include <future>
#include <map>
#include <memory>
#include <mutex>

namespace zelvane::PDFCodec {

namespace {

bool sameBytes(const QByteArray& a, const QByteArray& b)
{
    return a.constData() == b.constData() && a.size() == b.size();
}

// The PDF last opened by any thread, while a thread that opened it keeps it:
// other threads drawing pages of the same file (an export drawing its parts
// at once) open it again from what was read, without reading and checking the
// whole file anew.
class LastOpenedBackdrop {
public:
    std::shared_ptr<PDFDocument> open(const QByteArray& data)
    {
        for (;;) {
            std::shared_future<Opened> pending;
            std::promise<Opened> opening;
            {
                const std::lock_guard<std::mutex> lock(m_mutex);
                if (m_pending.valid() && sameBytes(m_data, data) && !letGo(m_pending)) {
                    pending = m_pending;
                } else {
                    // Not opened yet, or let go by every thread that had it.
                    m_data = data;
                    m_pending = opening.get_future().share();
                }
            }
            if (!pending.valid()) {
                std::shared_ptr<PDFDocument> document;
                try {
                    document = PDFDocument::open(data);
                } catch (...) {
                    opening.set_value({{}, true});
                    throw;
                }
                opening.set_value({document, !document});
                return document;
            }
            const Opened& opened = pending.get();
            if (opened.failed) {
                return PDFDocument::open(data);
            }
            if (const std::shared_ptr<PDFDocument> document = opened.document.lock()) {
                return document->reopen();
            }
            // Let go meanwhile: opened anew on the next turn.
        }
    }

    // Makes `document`, opened from `data`, the one other threads open theirs from.
    void offer(const QByteArray& data, const std::shared_ptr<PDFDocument>& document)
    {
        std::promise<Opened> opened;
        opened.set_value({document, false});
        const std::lock_guard<std::mutex> lock(m_mutex);
        m_data = data;
        m_pending = opened.get_future().share();
    }

private:
    struct Opened {
        std::weak_ptr<PDFDocument> document;
        bool failed = false;
    };

    static bool letGo(const std::shared_future<Opened>& pending)
    {
        return pending.wait_for(std::chrono::seconds(0)) == std::future_status::ready && !pending.get().failed
               && pending.get().document.expired();
    }

    std::mutex m_mutex;
    QByteArray m_data;
    std::shared_future<Opened> m_pending;
};

LastOpenedBackdrop& lastOpenedBackdrop()
{
    static LastOpenedBackdrop lastOpened;
    return lastOpened;
}

// What this thread keeps of the last backdrop it drew over: the PDF (pages
// of one document share their bytes, so exporting them opens the file once)
// and the text of the last page asked.
struct ThreadBackdrop {
    QByteArray data;
    std::shared_ptr<PDFDocument> document;
    // `document` again, for drawing: its drawings are bounded, and one
    // given up stops this reading of the file alone.
    std::shared_ptr<PDFDocument> drawing;
    std::shared_ptr<PDFDocument> drawingFrom;
    std::shared_ptr<PDFDocument> textDocument;
    qint64 textIndex = -1;
    int textTurn = 0;
    PDFPageText text;
    std::optional<PrintedLineIndex> lineIndex;
    double textOffset = 0;
};

ThreadBackdrop& threadBackdrop()
{
    thread_local ThreadBackdrop kept;
    return kept;
}

std::shared_ptr<PDFDocument> openBackdrop(const QByteArray& data)
{
    ThreadBackdrop& kept = threadBackdrop();
    if (kept.document && sameBytes(data, kept.data)) {
        return kept.document;
    }
    kept.document = lastOpenedBackdrop().open(data);
    kept.data = kept.document ? data : QByteArray();
    return kept.document;
}

// The thread's document for drawing over `data`, bounded at the bound now set.
std::shared_ptr<PDFDocument> drawingBackdrop(const QByteArray& data)
{
    const std::shared_ptr<PDFDocument> document = openBackdrop(data);
    ThreadBackdrop& kept = threadBackdrop();
    if (!document) {
        return nullptr;
    }
    if (kept.drawingFrom != document || !kept.drawing) {
        kept.drawing = document->reopen(std::make_shared<PDFCancel>());
        kept.drawingFrom = kept.drawing ? document : nullptr;
    }
    if (kept.drawing) {
        kept.drawing->boundDrawings(pageDrawingBoundMs());
    }
    return kept.drawing;
}

// False when the drawing was given up at its bound.
bool drawBackdropRaster(const VectorPage& page, QPainter& painter)
{
    const std::shared_ptr<PDFDocument> document = drawingBackdrop(*page.pdfPageData);
    const qint64 index = std::max<qint64>(page.pdfPageIndex, 0);
    if (!document || index >= document->pageCount()) {
        return true;
    }
    const int pageIndex = int(index);
    const QRectF box = document->mediaBox(pageIndex);
    // The unturned page: the backdrop's media box stretched over the page's
    // sides as they were before any quarter turn.
    const bool sideways = normalizedQuarterTurn(page.pdfRotation) % 180 != 0;
    const QRectF unturned(0, 0, sideways ? page.height : page.width, sideways ? page.width : page.height);

    const QTransform toDevice = page.backdropTransform() * painter.deviceTransform();
    const QRectF onDevice = toDevice.mapRect(unturned);
    const QRectF visible = onDevice.intersected(QRectF(QPointF(0, 0), QSizeF(painter.device()->width(),
                                                                            painter.device()->height())));
    if (visible.isEmpty()) {
        return true;
    }
    // Device pixels along the unturned page's sides.
    const double scaleX = std::hypot(toDevice.m11(), toDevice.m12());
    const double scaleY = std::hypot(toDevice.m21(), toDevice.m22());
    const QSize pixels(std::max(1, int(std::ceil(unturned.width() * scaleX))),
                       std::max(1, int(std::ceil(unturned.height() * scaleY))));
    const int cutBefore = document->drawingsCutShort();
    const QImage image = document->renderBox(pageIndex, box, pixels);
    const bool whole = document->drawingsCutShort() == cutBefore;
    if (image.isNull()) {
        return whole;
    }
    painter.save();
    painter.setTransform(page.backdropTransform(), true);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(unturned, image);
    painter.restore();
    return whole;
}

// The text of the backdrop's page as the page shows it (turned with it),
// and the index its printed lines are found by, kept for the last page asked
// on this thread.
const PDFPageText& backdropText(const VectorPage& page, double& yOffset, const PrintedLineIndex*& lines)
{
    const std::shared_ptr<PDFDocument> document = openBackdrop(*page.pdfPageData);
    ThreadBackdrop& kept = threadBackdrop();
    const qint64 index = std::max<qint64>(page.pdfPageIndex, 0);
    // The text is kept turned as the page was: a page turned since then
    // (or another page over the same one, turned otherwise) reads it anew.
    const int turn = normalizedQuarterTurn(page.pdfRotation);
    if (document != kept.textDocument || index != kept.textIndex || turn != kept.textTurn) {
        kept.textDocument = document;
        kept.textIndex = index;
        kept.textTurn = turn;
        kept.text = {};
        kept.lineIndex.reset();
        kept.textOffset = 0;
        if (document && index < document->pageCount()) {
            kept.text = document->pageText(int(index));
            const QRectF box = document->mediaBox(int(index));
            const QSizeF unturned(std::max(box.width(), 64.0), std::max(box.height(), 64.0));
            if (turn != 0) {
                turnPageText(kept.text, unturned, turn);
            } else {
                kept.textOffset = unturned.height() - box.height();
            }
        }
    }
    if (!kept.lineIndex) {
        kept.lineIndex.emplace(kept.text);
    }
    yOffset = kept.textOffset;
    lines = &*kept.lineIndex;
    return kept.text;
}

}  // namespace

BackdropsKeptOpen::BackdropsKeptOpen(const QList<VectorPage>& pages)
{
    // The file most pages are drawn over.
    std::map<const char*, qsizetype> counts;
    const QByteArray* most = nullptr;
    qsizetype mostCount = 0;
    for (const VectorPage& page : pages) {
        if (!page.pdfPageData) {
            continue;
        }
        if (const qsizetype count = ++counts[page.pdfPageData->constData()]; count > mostCount) {
            most = &*page.pdfPageData;
            mostCount = count;
        }
    }
    if (!most) {
        return;
    }
    try {
        m_document = openBackdrop(*most);
    } catch (const std::exception&) {
        return;  // each thread tries for itself
    }
    if (m_document) {
        lastOpenedBackdrop().offer(*most, m_document);
    }
}

BackdropsKeptOpen::~BackdropsKeptOpen() = default;

std::shared_ptr<PDFDocument> openedBackdrop(const QByteArray& data)
{
    return openBackdrop(data);
}

void forgetThreadBackdrop()
{
    threadBackdrop() = ThreadBackdrop();
}

std::optional<PrintedLine> printedLineFor(const VectorPage& page, const VectorElement& element)
{
    const TextPayload* text = element.text();
    if (!page.pdfPageData || !text || !text->isPDFExtracted || text->text.contains(QLatin1Char('\n'))
        || text->fontSize != text->originalFontSize.value_or(text->fontSize)
        || text->isBold != text->originalIsBold.value_or(text->isBold)
        || text->isItalic != text->originalIsItalic.value_or(text->isItalic)) {
        return std::nullopt;
    }
    double yOffset = 0;
    const PrintedLineIndex* lines = nullptr;
    const PDFPageText& pageText = backdropText(page, yOffset, lines);
    return printedLineOf(pageText, *lines, yOffset, *text);
}

std::optional<QList<PDFPrintedCharacter>> printedCharactersFor(const VectorPage& page, const TextPayload& text)
{
    if (!page.pdfPageData || !text.isPDFExtracted) {
        return std::nullopt;
    }
    double yOffset = 0;
    const PrintedLineIndex* lines = nullptr;
    const PDFPageText& pageText = backdropText(page, yOffset, lines);
    return printedCharactersOf(pageText, *lines, yOffset, text);
}

std::optional<QList<PDFPrintedCharacter>> printedLineCharactersFor(const VectorPage& page, const QRectF& rect)
{
    if (!page.pdfPageData) {
        return std::nullopt;
    }
    double yOffset = 0;
    const PrintedLineIndex* lines = nullptr;
    const PDFPageText& pageText = backdropText(page, yOffset, lines);
    return printedLineCharactersIn(pageText, *lines, yOffset, rect);
}

bool renderPage(const VectorPage& page, QPainter& painter, BackdropDrawing backdrop)
{
    bool whole = true;
    painter.save();
    const QColor background =
        RGBAColor::fromHex(page.backgroundColorHex).value_or(RGBAColor(1, 1, 1, 1)).toQColor();
    if (backdrop == BackdropDrawing::raster) {
        painter.fillRect(QRectF(0, 0, page.width, page.height), background);
        if (page.pdfPageData) {
            whole = drawBackdropRaster(page, painter);
        }
    }
    for (const MaskRect& mask : page.activeMaskRects()) {
        const auto color = RGBAColor::fromHex(mask.colorHex);
        // On pixels a mask takes every pixel it touches; vector output keeps
        // it exact.
        const int device = painter.device()->devType();
        const QRectF cover = device == QInternal::Image || device == QInternal::Pixmap
                                 ? coveringDevicePixels(mask.rect.toQRectF(), painter.deviceTransform())
                                 : mask.rect.toQRectF();
        painter.fillRect(cover, color ? color->toQColor() : background);
    }
    for (const VectorElement& element : page.elements) {
        if (!element.visible) {
            continue;
        }
        if (page.pdfPageData && element.isPDFText()) {
            if (!element.hasModifiedPDFText()) {
                continue;
            }
            const std::optional<PrintedLine> printed = printedLineFor(page, element);
            renderElement(element, painter, printed ? &*printed : nullptr);
            continue;
        }
        if (PDFTextOverlay* overlay = PDFTextOverlay::active(); overlay && !element.text()) {
            // What Qt draws now lies over the held lines it may touch: its
            // frame, turned about its centre, with room for strokes and
            // arrow heads.
            const double room = 20 + 4 * std::max(element.style.strokeWidth, 0.0);
            overlay->drawHeldWith(painter,
                                  painter.deviceTransform().mapRect(turnedFrame(element).adjusted(-room, -room, room, room)));
        }
        renderElement(element, painter);
    }
    painter.restore();
    return whole;
}

std::optional<QByteArray> renderPagePNG(const VectorPage& page, double scale, bool* cutShort)
{
    const double width = std::round(page.width * scale);
    const double height = std::round(page.height * scale);
    if (!std::isfinite(width) || !std::isfinite(height) || width > 1e9 || height > 1e9) {
        return std::nullopt;
    }
    const qint64 pixelWidth = std::max<qint64>(qint64(width), 16);
    const qint64 pixelHeight = std::max<qint64>(qint64(height), 16);
    if (pixelWidth * pixelHeight > kMaxPageImagePixels) {
        return std::nullopt;
    }
    QImage image(int(pixelWidth), int(pixelHeight), QImage::Format_ARGB32_Premultiplied);
    if (image.isNull()) {
        return std::nullopt;
    }
    image.fill(Qt::transparent);
    {
        QPainter painter(&image);
        painter.scale(scale, scale);
        const bool whole = renderPage(page, painter);
        if (cutShort) {
            *cutShort = !whole;
        }
    }
    QByteArray png;
    QBuffer buffer(&png);
    if (!buffer.open(QIODevice::WriteOnly) || !image.save(&buffer, "PNG")) {
        return std::nullopt;
    }
    return png;
}

}  // namespace zelvane::PDFCodec
