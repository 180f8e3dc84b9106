#pragma once

#include <QByteArray>
#include <QColor>
#include <QList>
#include <QImage>
#include <QRectF>
#include <QSize>
#include <QString>
#include <memory>
#include <mutex>

// Poppler's page, as its glib interface names it.
struct _PopplerPage;

namespace zelvane {

class PDFCancel;

// A stretch of page text drawn with one font and colour; [start, end) in
// UTF-16 units of the page text.
struct PDFTextRun {
    qsizetype start = 0;
    qsizetype end = 0;
    // As the file names it, subset prefix included ("ABCDEF+Calibri-Bold").
    QString fontName;
    double fontSize = 0;
    QColor color;
    // Where the baseline lies in the run's character rectangles, as a share
    // of their height from the top (the font's ascent over its ascent plus
    // descent, as the reader lays text out); 0 when unknown.
    double baselineShare = 0;
    // Printed invisibly (render mode 3, or 7 with nothing painted through
    // it), as a scan's text layer is: the page shows the text as a picture.
    bool invisible = false;
    // The page names the font without the file holding its program (known
    // only for files qpdf reads).
    bool withoutProgram = false;
};

// The text of a page as the reader lays it out: lines separated by line
// feeds, a rectangle for every UTF-16 unit (null for units without one, such
// as the line feeds poppler adds) in page space (points from the media box's
// top left corner, y down, unrotated), and the font runs.
struct PDFPageText {
    QString text;
    QList<QRectF> characterRects;
    QList<PDFTextRun> runs;
};

// Puts a space between two consecutive characters of a row that the text
// runs with no blank between them although a gap wider than a tenth of the
// font size separates them (words or table cells set apart by position
// only), so that words stay apart and column gaps show in the text.
void separateWordsByGaps(PDFPageText& text);

// Joins again the lines of a line set at a slant (a tilted stamp) that the
// reader cut where the slant left its row, often putting the later piece
// first: a line whose characters run a little off both axes goes on with the
// one whose first character comes next along the same slant, a letter or a
// word space on, whatever their order in the text. Units of the text move
// with their rectangles and runs.
void joinSlantedLines(PDFPageText& text);

// The one road to PDF files: opens a PDF held in memory, tells its pages'
// boxes and renders them. Boxes are in PDF user space (points, origin at the
// bottom left, y up) and ignore the page's /Rotate; renders show the page
// unrotated. Not thread-safe: use one instance per thread.
class PDFDocument {
public:
    // tooLarge: a page asks for more work than PDFWorkTally allows.
    enum class OpenError { none, damaged, passwordProtected, tooLarge };

    // Renders larger than this many pixels are refused.
    static constexpr qint64 kMaxRenderPixels = 64LL * 1000 * 1000;

    ~PDFDocument();
    PDFDocument(const PDFDocument&) = delete;
    PDFDocument& operator=(const PDFDocument&) = delete;

    // Nothing when the bytes are not a PDF that can be read (damaged,
    // truncated beyond repair, without pages, or locked by a password);
    // `error` then says which. Once `cancel` is set, poppler reads nothing
    // more of the file: what is being drawn or read ends early, incomplete.
    static std::unique_ptr<PDFDocument> open(const QByteArray& bytes, OpenError* error = nullptr,
                                             QString* errorText = nullptr,
                                             std::shared_ptr<const PDFCancel> cancel = {});

    // Another instance over the same file, for use on another thread (it
    // shares no poppler state with this one; it stops with the same
    // `cancel`). Nothing if poppler fails.
    std::unique_ptr<PDFDocument> reopen() const;
    // The same, stopping with `cancel` instead (a document whose drawing
    // was given up is opened again this way for its next drawing).
    std::unique_ptr<PDFDocument> reopen(std::shared_ptr<const PDFCancel> cancel) const;

    // Drawings of pages (renderBox…) hold `turn` while poppler draws, so that
    // documents drawing on several threads draw one at a time: cairo
    // composites glyphs under one lock for the whole program, taken for
    // every string, and threads drawing at once queue on it string after
    // string, each wait a sleep and a wake-up in the kernel. Nothing is held
    // for a null turn (the default).
    void takeTurnsDrawing(std::shared_ptr<std::mutex> turn);

    // From now on a drawing of a page (renderBox…) that runs past
    // `milliseconds` (0: no bound) is given up: poppler ends it at the next
    // object it reads, what it drew stays drawn (the text read with it as
    // far as it went), and the file is read afresh for what comes next.
    // Only for a document opened with a cancel; documents reopened from
    // this one are bounded alike.
    void boundDrawings(int milliseconds);
    // How many drawings of this document were given up so.
    int drawingsCutShort() const;
    // How many times poppler has drawn a page or part of one for the
    // renderBox… calls of any document in this process: the costly part of
    // opening a scan.
    static qint64 pageDrawings();

    // The bytes poppler reads: the file itself, or qpdf's copy of it
    // (unturned, repaired, without the encryption of its attachments).
    const QByteArray& readableBytes() const;
    // Whether the pages are poppler's alone: qpdf cannot read the file, or
    // reads other pages than poppler shows, so readableBytes() are the
    // file itself and no qpdf reading of them gives these pages.
    bool readByPopplerAlone() const;

    int pageCount() const;
    // An empty rectangle for an index out of range.
    QRectF mediaBox(int pageIndex) const;
    QRectF cropBox(int pageIndex) const;
    // The page's /Rotate, normalised to 0, 90, 180 or 270.
    int rotation(int pageIndex) const;

    // Draws the part `box` (PDF user space) of the unrotated page, stretched
    // to fill an image of `pixelSize`. What the page does not paint stays
    // transparent. A null image when the index is out of range, the size is
    // empty or above kMaxRenderPixels, or drawing fails.
    QImage renderBox(int pageIndex, const QRectF& box, const QSize& pixelSize) const;
    // The same into `image`, whose memory is reused when it already has
    // that size and premultiplied ARGB32 format; false where renderBox gives
    // a null image (the image's content is then unspecified).
    bool renderBoxInto(int pageIndex, const QRectF& box, const QSize& pixelSize, QImage& image) const;
    // Only the pixels `part` of that picture, drawn into `image` (of the
    // part's size): the same pixels as the whole picture has there.
    bool renderBoxInto(int pageIndex, const QRectF& box, const QSize& pixelSize, const QRect& part,
                       QImage& image) const;
    // The same, and the page's text as pageText gives it, read in the same
    // pass over the page's content where drawing gathers that very text
    // (the page shows no annotation of its own and its text was not read
    // before); read on its own first otherwise. `text` is set whether the
    // drawing succeeds or not.
    bool renderBoxReadingText(int pageIndex, const QRectF& box, const QSize& pixelSize, const QRect& part,
                              QImage& image, PDFPageText& text) const;
    // The page whose text was read last is kept, with poppler's text of it,
    // so that drawing it next does not gather its text again: this lets it
    // go once no drawing of it is to come.
    void forgetKeptPage() const;
    // The whole media box at `scale` pixels per point (sides rounded, at
    // least 1), on a transparent background.
    QImage renderPage(int pageIndex, double scale) const;
    // Every page as a PDF of its own drawing: vector paths, text in the
    // fonts it is drawn in, images, each page its media box at the origin,
    // drawn as renderPage draws it. For a document read by poppler alone,
    // whose objects qpdf cannot copy. Empty when drawing fails.
    QByteArray drawnCopy() const;

    // Empty for a page without text or an index out of range. Read once
    // for the bytes the document was opened from: asked again while
    // anything holds those bytes, by this instance or any other opened from
    // them, the page's text is not read again.
    PDFPageText pageText(int pageIndex) const;

private:
    PDFPageText readPageText(int pageIndex) const;
    // The text of `page` (poppler's page `pageIndex`), whose reference the
    // document takes over: kept for drawing the page next, or dropped.
    PDFPageText readPageText(int pageIndex, _PopplerPage* page, bool keepPage) const;

    struct Private;
    explicit PDFDocument(std::unique_ptr<Private> d);
    std::unique_ptr<Private> d;
};

}  // namespace zelvane
