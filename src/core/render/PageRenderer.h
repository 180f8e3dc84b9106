#pragma once

#include "fonts/PrintedLinePlacement.h"
#include "model/VectorPage.h"
#include "pdf/PDFPrintedCharacter.h"

#include <QByteArray>
#include <memory>
#include <optional>

class QPainter;

namespace zelvane {
class PDFDocument;
}

namespace zelvane::PDFCodec {

enum class BackdropDrawing {
    // The PDF backdrop is drawn as a raster at the device's resolution.
    raster,
    // Background and backdrop are left out: the PDF writer puts the page's
    // own vector content underneath.
    leaveOut,
};

// Draws a page in page space with the painter's current transform:
// background, PDF backdrop, masks over changed or redacted PDF text, then the
// visible elements (unchanged PDF text is left to the backdrop). A backdrop
// whose drawing runs past pageDrawingBoundMs() is given up and shown as far
// as it was drawn: false then.
bool renderPage(const VectorPage& page, QPainter& painter, BackdropDrawing backdrop = BackdropDrawing::raster);

// How the page's PDF printed the line a changed PDF text element was made
// from (renderElement draws the words left unchanged at those places), while
// the element keeps the size, weight and slant it was found with and holds
// one line; nothing otherwise or when the line is not found.
std::optional<PrintedLine> printedLineFor(const VectorPage& page, const VectorElement& element);

// The boxes (page space) of the characters the page's PDF printed the line
// of an extracted text as, as the page's text reads them; nothing when the
// line is not found there.
std::optional<QList<PDFPrintedCharacter>> printedCharactersFor(const VectorPage& page, const TextPayload& text);

// The boxes of the characters of the one printed line whose rectangle
// `rect` (page space) is, as a deleted line leaves it; nothing when no
// single line is.
std::optional<QList<PDFPrintedCharacter>> printedLineCharactersFor(const VectorPage& page, const QRectF& rect);

// While it lives, the PDF most of the pages are drawn over stays open, and
// threads drawing those pages meanwhile open theirs from the one already
// read rather than reading and checking the whole file again.
class BackdropsKeptOpen {
public:
    explicit BackdropsKeptOpen(const QList<VectorPage>& pages);
    ~BackdropsKeptOpen();
    BackdropsKeptOpen(const BackdropsKeptOpen&) = delete;
    BackdropsKeptOpen& operator=(const BackdropsKeptOpen&) = delete;

private:
    std::shared_ptr<PDFDocument> m_document;
};

// The PDF the editor draws `data` from, opened as this thread keeps it for
// drawing (nothing when it cannot be opened).
std::shared_ptr<PDFDocument> openedBackdrop(const QByteArray& data);

// Lets go of what this thread kept of the last backdrop it drew over (the
// PDF and the text of a page), for a thread that goes on living without
// drawing pages.
void forgetThreadBackdrop();

// The page as a PNG image at `scale` pixels per point (sides at least 16);
// nothing when the image would be too large or cannot be made. `cutShort`
// tells whether the backdrop's drawing was given up at its bound.
std::optional<QByteArray> renderPagePNG(const VectorPage& page, double scale, bool* cutShort = nullptr);

// Largest image renderPagePNG makes, in pixels.
inline constexpr qint64 kMaxPageImagePixels = 64LL * 1000 * 1000;

}  // namespace zelvane::PDFCodec
