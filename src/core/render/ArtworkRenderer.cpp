#include "render/ArtworkRenderer.h"

#include "assets/AssetImageCodec.h"
#include "pdf/PDFDocument.h"
#include "render/PageRenderer.h"
#include "svg/SVGCodec.h"

#include <QBuffer>
#include <QImageReader>
#include <QPainter>

#include <algorithm>
#include <cmath>
#include <memory>

namespace zelvane::ArtworkRenderer {

namespace {

using AssetImageCodec::hasExtension;
using AssetImageCodec::kDecodeAllocationLimitMB;
using AssetImageCodec::openFirstPDFPage;

// Rendered PDF sides are never smaller than this.
constexpr int kMinRenderSide = 32;

// Images that declare more pixels than this are not decoded at all.
constexpr qint64 kMaxDecodedPixels = PDFDocument::kMaxRenderPixels;

// libjpeg fills in whatever a cut JPEG lacks with grey and reports success.
// A whole JPEG has its end-of-image marker after its last scan (neither
// marker can occur inside the compressed data).
bool isCutJPEG(const QByteArray& data)
{
    const qsizetype lastScan = data.lastIndexOf(QByteArrayView("\xFF\xDA", 2));
    return lastScan < 0 || data.indexOf(QByteArrayView("\xFF\xD9", 2), lastScan) < 0;
}

// SVG artwork is drawn only by our own SVG reader and page renderer: Qt's
// image plugin for it would draw the same bytes otherwise when their
// extension was not kept.
bool isVectorFormat(const QByteArray& format)
{
    return format == "svg" || format == "svgz";
}

QImage decodeImage(const QByteArray& data)
{
    QBuffer buffer;
    buffer.setData(data);
    if (!buffer.open(QIODevice::ReadOnly))
        return QImage();
    QImageReader reader(&buffer);
    reader.setAllocationLimit(kDecodeAllocationLimitMB);
    if (isVectorFormat(reader.format()))
        return QImage();
    const QSize declared = reader.size();
    if (declared.isValid() && qint64(declared.width()) * declared.height() > kMaxDecodedPixels)
        return QImage();
    if (reader.format() == "jpeg" && isCutJPEG(data))
        return QImage();
    QImage image;
    if (!reader.read(&image))
        return QImage();
    return image;
}

// SVG artwork: read with our own SVG reader and its first page drawn at twice
// its size, whatever the target. Nothing (not even a null image) means the
// bytes are not SVG we can read and go to the image decoder instead.
std::optional<QImage> renderSVG(const QByteArray& data)
{
    // Artwork can hold artwork; a few levels are plenty.
    thread_local int depth = 0;
    if (depth >= 4)
        return QImage();
    struct Nesting {
        Nesting() { ++depth; }
        ~Nesting() { --depth; }
    } nesting;

    VectorDocument document;
    try {
        document = SVGCodec::importSVG(data, QStringLiteral("Asset"), std::nullopt);
    } catch (const std::exception&) {
        return std::nullopt;
    }
    if (document.pages.isEmpty())
        return std::nullopt;
    const std::optional<QByteArray> png = PDFCodec::renderPagePNG(document.pages.front(), 2.0);
    if (!png)
        return std::nullopt;
    QImage image;
    image.loadFromData(*png, "PNG");
    return image;
}

// Turns white and near-white paper transparent, fading the light greys in
// between, and crops the result to the ink when the ink covers clearly less
// than the whole picture. Works in place on premultiplied pixels.
QImage makeWhitePaperTransparent(const QImage& source)
{
    if (source.width() < 3 || source.height() < 3)
        return source;

    QImage image = source.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    if (image.isNull())
        return source;
    const int width = image.width();
    const int height = image.height();

    int inkLeft = width;
    int inkRight = -1;
    int inkTop = height;
    int inkBottom = -1;

    for (int y = 0; y < height; ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < width; ++x) {
            const QRgb pixel = line[x];
            const int alpha = qAlpha(pixel);
            if (alpha < 9) {
                line[x] = 0;
                continue;
            }
            const int r = std::min(qRed(pixel) * 255 / alpha, 255);
            const int g = std::min(qGreen(pixel) * 255 / alpha, 255);
            const int b = std::min(qBlue(pixel) * 255 / alpha, 255);

            // Paper is light and colourless: the score is the brightness
            // less half the colourfulness.
            const int spread = std::max({r, g, b}) - std::min({r, g, b});
            const int luma = (299 * r + 587 * g + 114 * b) / 1000;
            const int score = luma - spread / 2;

            int newAlpha = alpha;
            if (score > 237)
                newAlpha = 0;
            else if (score >= 181)
                newAlpha = std::min(int(std::lround((238 - score) / 58.0 * alpha)), alpha);

            if (newAlpha <= 4) {
                line[x] = 0;
                continue;
            }
            line[x] = qRgba(r * newAlpha / 255, g * newAlpha / 255, b * newAlpha / 255, newAlpha);
            if (newAlpha >= 24) {
                inkLeft = std::min(inkLeft, x);
                inkRight = std::max(inkRight, x);
                inkTop = std::min(inkTop, y);
                inkBottom = std::max(inkBottom, y);
            }
        }
    }

    if (inkRight < 0)
        return image;
    const int inkWidth = inkRight - inkLeft + 1;
    const int inkHeight = inkBottom - inkTop + 1;
    if (double(width) * height * 0.65 <= double(inkWidth) * inkHeight)
        return image;

    const int marginX = std::max(inkWidth / 18, 4);
    const int marginY = std::max(inkHeight / 18, 4);
    const int x0 = std::max(inkLeft - marginX, 0);
    const int y0 = std::max(inkTop - marginY, 0);
    const int cropWidth = std::min(inkWidth + 2 * marginX, width - x0);
    const int cropHeight = std::min(inkHeight + 2 * marginY, height - y0);
    return image.copy(x0, y0, cropWidth, cropHeight);
}

// The pixel size a PDF page of proportions `ratio` is drawn at so that its
// longer side is about `target`.
QSize pdfRenderSize(double ratio, int target)
{
    const auto side = [](double value) { return std::max(int(std::lround(value)), kMinRenderSide); };
    const int longSide = std::max(target, kMinRenderSide);
    if (ratio >= 6)
        return QSize(longSide, side(target / 6.0));
    if (ratio >= 1)
        return QSize(longSide, side(target / ratio));
    if (ratio >= 0.2)
        return QSize(side(target * ratio), longSide);
    return QSize(side(target * 0.2), longSide);
}

// Pixels per point of the painter's device, for artwork that must be a raster.
double deviceScale(const QPainter& painter)
{
    const QTransform& t = painter.deviceTransform();
    const double scale = std::sqrt(std::abs(t.determinant()));
    return std::isfinite(scale) && scale > 0 ? scale : 1.0;
}

}  // namespace

QImage renderImage(const QByteArray& data, const std::optional<QString>& ext, int targetMaxDimension,
                   bool removeWhiteBackground)
{
    // A PDF that cannot be opened goes to the image decoder.
    QImage bitmap;
    bool decided = false;

    if (AssetImageCodec::isPDF(data, ext)) {
        if (const std::unique_ptr<PDFDocument> document = openFirstPDFPage(data)) {
            const QRectF crop = document->cropBox(0);
            const QRectF box = crop.width() > 1 ? crop : document->mediaBox(0);
            const double ratio = box.width() / std::max(box.height(), 1.0);
            bitmap = document->renderBox(0, box, pdfRenderSize(ratio, targetMaxDimension));
            decided = true;
        }
    } else if (hasExtension(ext, QLatin1String("svg"))) {
        if (std::optional<QImage> svg = renderSVG(data)) {
            bitmap = std::move(*svg);
            decided = true;
        }
    }

    if (!decided)
        bitmap = decodeImage(data);

    if (!bitmap.isNull() && removeWhiteBackground)
        return makeWhitePaperTransparent(bitmap);
    return bitmap;
}

bool canDraw(const QByteArray& data, const std::optional<QString>& ext)
{
    if (data.isEmpty())
        return false;
    if (AssetImageCodec::isPDF(data, ext) && openFirstPDFPage(data))
        return true;
    if (hasExtension(ext, QLatin1String("svg"))) {
        try {
            const VectorDocument document = SVGCodec::importSVG(data, QStringLiteral("Asset"), std::nullopt);
            if (!document.pages.isEmpty())
                return true;
        } catch (const std::exception&) {
        }
    }
    QBuffer buffer;
    buffer.setData(data);
    if (!buffer.open(QIODevice::ReadOnly))
        return false;
    QImageReader reader(&buffer);
    reader.setAllocationLimit(kDecodeAllocationLimitMB);
    if (!reader.canRead() || isVectorFormat(reader.format()))
        return false;
    const QSize declared = reader.size();
    if (declared.isValid())
        return !declared.isEmpty() && qint64(declared.width()) * declared.height() <= kMaxDecodedPixels &&
               !(reader.format() == "jpeg" && isCutJPEG(data));
    // A format that cannot tell its size up front is decoded.
    return !decodeImage(data).isNull();
}

void draw(const QByteArray& data, const std::optional<QString>& ext, bool removeWhiteBackground, const QRectF& rect,
          QPainter& painter)
{
    if (!rect.isValid() || !std::isfinite(rect.width()) || !std::isfinite(rect.height())) {
        return;
    }
    if (!removeWhiteBackground && AssetImageCodec::isPDF(data, ext)) {
        // PDF artwork is drawn from its own page at the device's resolution
        // (four pixels per point on vector devices), so it stays sharp.
        if (const auto document = PDFDocument::open(data); document && document->pageCount() > 0) {
            const QRectF crop = document->cropBox(0);
            const QRectF box = crop.width() > 1 ? crop : document->mediaBox(0);
            const double scale = painter.device() && painter.device()->devType() == QInternal::Image
                                     ? deviceScale(painter)
                                     : 4.0;
            const QSize pixels(std::max(1, int(std::ceil(rect.width() * scale))),
                               std::max(1, int(std::ceil(rect.height() * scale))));
            const QImage image = document->renderBox(0, box, pixels);
            if (!image.isNull()) {
                painter.drawImage(rect, image);
                return;
            }
        }
    }
    const QImage image = renderImage(data, ext, 1200, removeWhiteBackground);
    if (!image.isNull()) {
        painter.drawImage(rect, image);
    }
}

}  // namespace zelvane::ArtworkRenderer
