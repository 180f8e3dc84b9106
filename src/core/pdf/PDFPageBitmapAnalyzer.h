#pragma once

#include <QImage>
#include <QRectF>
#include <QString>
#include <optional>

namespace zelvane {

class PDFDocument;
struct PDFPageText;

// What is really printed under one text line, measured on the page's pixels.
// Lengths and positions in points, origin at the page's top left, y down.
struct RegionMetrics {
    QString backgroundHex;
    std::optional<QString> inkHex;
    double inkX = 0;
    double inkY = 0;
    double inkWidth = 0;
    double inkHeight = 0;
    double baselineY = 0;
    double capHeight = 0;
    bool capHeightReliable = false;
    bool looksBold = false;
};

// One page rendered on white at twice its point size, then measured line by
// line: the paper and ink colours, the ink's rectangle, the baseline, the cap
// height and whether the strokes look bold.
class PDFPageBitmapAnalyzer {
public:
    static constexpr double kScale = 2.0;

    // Nothing when the page cannot be rendered (out of range, a raster
    // beyond the render limit, or a drawing failure). The sides are the
    // page's as shown, after `rotation` (a clockwise quarter turn of the
    // PDF page: 0, 90, 180 or 270 degrees).
    static std::optional<PDFPageBitmapAnalyzer> create(const PDFDocument& document, int pageIndex, double pageWidth,
                                                       double pageHeight, int rotation = 0);
    // The same, drawing the page into `raster`, which is reused from page to
    // page when it has the right size and nothing else shares it.
    static std::optional<PDFPageBitmapAnalyzer> create(const PDFDocument& document, int pageIndex, double pageWidth,
                                                       double pageHeight, QImage& raster, int rotation = 0);
    // The same, drawing only the pixels `area` of an unturned page: regions
    // analysed later must lie in `pixelsUnder(area's points)`; a region
    // reaching past it is measured as blank paper.
    static std::optional<PDFPageBitmapAnalyzer> create(const PDFDocument& document, int pageIndex, double pageWidth,
                                                       double pageHeight, QImage& raster, const QRect& area);
    // Draws what create(…, area) draws, the pixels `area` of the unturned
    // page, into `raster`, and reads the page's text into `text` in the same
    // pass where it can (PDFDocument::renderBoxReadingText). False when the
    // page cannot be drawn; `text` is set either way.
    static bool drawReadingText(const PDFDocument& document, int pageIndex, double pageWidth, double pageHeight,
                                QImage& raster, const QRect& area, PDFPageText& text);
    // The analyzer create(…, area) gives, over pixels drawn before: `drawn`
    // holds the unturned page's bitmap from `drawnAt` on (as drawReadingText
    // or create draw it) and is read in place. Nothing when the pixels
    // `area` are not all among them.
    static std::optional<PDFPageBitmapAnalyzer> overDrawn(const QImage& drawn, const QPoint& drawnAt,
                                                          double pageWidth, double pageHeight, const QRect& area);
    // Over an already rendered page (any format; transparency shows white).
    // Premultiplied ARGB32 and RGB32 images are read in place, not copied.
    explicit PDFPageBitmapAnalyzer(const QImage& pageAtTwiceItsSize);

    // The page's bitmap size, or nothing beyond the render limit.
    static std::optional<QSize> pixelSize(double pageWidth, double pageHeight);
    // The pixels of a page bitmap of `size` that analysing any region
    // inside `points` (page points, y down) reads.
    static QRect pixelsUnder(const QSize& size, const QRectF& points);

    int pixelWidth() const { return m_pageSize.width(); }
    int pixelHeight() const { return m_pageSize.height(); }

    RegionMetrics analyzeTextRegion(const QRectF& selectionRect, const QString& text, double expectedFontSize) const;

    // The page as drawn on white within `points` (page points, y down), in
    // grey at kScale pixels per point; what lies outside the drawn pixels
    // shows white. A null image for an empty area.
    QImage greyPicture(const QRectF& points) const;

    // The same page turned back so that lines whose glyphs advance at
    // `lineAngle` degrees (90, 180 or 270, clockwise on the page) run left
    // to right; regions are then given in the turned page's points (see
    // PDFCodec::pageTurnedUnder). The page itself for any other angle.
    PDFPageBitmapAnalyzer turnedUnder(int lineAngle) const;

private:
    PDFPageBitmapAnalyzer(const QImage& drawn, const QPoint& origin, const QSize& pageSize);

    // RGB32, or premultiplied ARGB32 read as drawn over white: the pixels
    // from m_origin on of a page bitmap of m_pageSize, row 0 at the top.
    QImage m_image;
    QPoint m_origin;
    QSize m_pageSize;
};

}  // namespace zelvane
