#pragma once

#include "model/VectorDocument.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <condition_variable>
#include <future>
#include <memory>
#include <mutex>
#include <optional>

namespace zelvane::PDFCodec {

class BackdropsKeptOpen;

// A page written as a picture of itself because what lies under its masks
// could not be removed from its PDF content.
struct RasterizedPage {
    // Zero-based index of the page in the document.
    qsizetype pageIndex = 0;
    // Why, in English, for the debug log.
    QString reason;
};

struct PDFExportReport {
    QList<RasterizedPage> rasterizedPages;
    // Zero-based indexes of the pages written as pictures whose backdrop's
    // drawing was given up at its bound.
    QList<qsizetype> cutShortPages;
};

struct PDFExportOptions {
    // False writes the original pages whole under their masks, as a
    // measure of what the removal costs (benchmarks only).
    bool removeMaskedContent = true;
};

// Resolution of the pictures of pages that could not be filtered.
inline constexpr double kRasterizedPageDPI = 300;

// The document as a multi-page PDF. Each page has the page's exact size; a
// page imported from a PDF keeps the original page underneath as vector
// content (its text stays selectable), with masks and elements drawn over it.
// What lies under the masks of a page (the glyphs of deleted or changed PDF
// text, the pixels of images) is removed from the written page content, so
// the file holds only what the page shows; vector drawing under a mask stays,
// covered. A page whose content cannot be read well enough for that is
// written as a picture of the page as shown, and listed in `report`.
// Throws CodecError "PDFCodec" 2 or 3 when the PDF cannot be written.
QByteArray exportPDF(const VectorDocument& document, PDFExportReport* report = nullptr,
                     const PDFExportOptions& options = {});

// The drawing threads of the export made ready, in the background, to draw
// a document's text: each lays out and draws, once, a line in every font and
// size the document's text is set in. A thread meeting a font for the first
// time looks it up under Qt's one font lock for the whole program: without
// this, the first export of a process has every thread queue there. An
// export started meanwhile draws on each thread once that thread is ready.
class ExportDrawingWarmUp {
public:
    // Whether the threads still draw for it, and how many are drawing; and
    // the PDF most pages are drawn over, opened meanwhile by one of them and
    // kept open while this lives, which an export then opens its own from
    // rather than reading and checking the whole file again.
    struct Drawing {
        std::mutex mutex;
        std::condition_variable ended;
        bool leftOff = false;
        int drawing = 0;
        std::shared_ptr<BackdropsKeptOpen> backdrops;
    };

    ExportDrawingWarmUp(std::shared_ptr<Drawing> drawing, std::shared_future<void> done,
                        std::shared_future<void> opened = {});
    // Leaves it to the threads that have not started it (without waiting
    // for what they do before) and waits for those drawing it.
    ~ExportDrawingWarmUp();
    ExportDrawingWarmUp(const ExportDrawingWarmUp&) = delete;
    ExportDrawingWarmUp& operator=(const ExportDrawingWarmUp&) = delete;

    // Waits until every thread is ready.
    void wait() const;

private:
    std::shared_ptr<Drawing> m_drawing;
    std::shared_future<void> m_done;
    std::shared_future<void> m_opened;
};

// What the drawing threads draw to be readied for `document`: one element
// of each font and size its visible text is set in, on one page of their
// own, holding every character the document sets in that font and size; of
// a document set in many, only the fonts and sizes most of its lines are set
// in. None when no helper thread would draw its export.
std::optional<VectorDocument> exportFontSamples(const VectorDocument& document);

// Starts readying the drawing threads for `document`, whose samples one of
// them gathers: the calling thread only counts lines until it can tell. Null
// when its export would draw on the calling thread alone (too few lines),
// so nothing is to be readied. Drop the result before the application
// object goes.
std::unique_ptr<ExportDrawingWarmUp> warmUpExportDrawing(const VectorDocument& document);

// The status line's note on pages written as pictures ("" when none was),
// and on those among them drawn only in part, in the interface language.
QString rasterizedPagesNote(const PDFExportReport& report);

// What the Creator entry of written PDFs says.
QString pdfCreator();

}  // namespace zelvane::PDFCodec
