#include "assets/AssetImageCodec.h"

#include "pdf/PDFDocument.h"

#include <QBuffer>
#include <QImageReader>

#include <algorithm>
#include <memory>

namespace zelvane::AssetImageCodec {

namespace {

constexpr double kMinAspectRatio = 0.25;
constexpr double kMaxAspectRatio = 6;
// What a file whose proportions cannot be told is assumed to be: a typical
// signature, wide and low.
constexpr double kUnknownAspectRatio = 2.4;

double clampedRatio(double ratio)
{
    return std::clamp(ratio, kMinAspectRatio, kMaxAspectRatio);
}

}  // namespace

bool hasExtension(const std::optional<QString>& ext, QLatin1String wanted)
{
    return ext && ext->toLower() == wanted;
}

std::unique_ptr<PDFDocument> openFirstPDFPage(const QByteArray& data)
{
    std::unique_ptr<PDFDocument> document = PDFDocument::open(data);
    if (!document || document->pageCount() < 1)
        return nullptr;
    return document;
}

const QSet<QString>& supportedExtensions()
{
    static const QSet<QString> extensions{
        QStringLiteral("pdf"),  QStringLiteral("png"),  QStringLiteral("jpg"),
        QStringLiteral("jpeg"), QStringLiteral("tiff"), QStringLiteral("tif"),
        QStringLiteral("heic"), QStringLiteral("webp"), QStringLiteral("svg"),
    };
    return extensions;
}

bool isPDF(const QByteArray& data, const std::optional<QString>& ext)
{
    if (hasExtension(ext, QLatin1String("pdf")))
        return true;
    if (data.size() < 5)
        return false;
    return QString::fromUtf8(data.left(5)) == QLatin1String("%PDF-");
}

double aspectRatio(const QByteArray& data, const std::optional<QString>& ext)
{
    if (isPDF(data, ext)) {
        if (const std::unique_ptr<PDFDocument> document = openFirstPDFPage(data)) {
            const QRectF crop = document->cropBox(0);
            const QRectF media = document->mediaBox(0);
            const double width = crop.width() > 1 ? crop.width() : media.width();
            const double height = crop.height() > 1 ? crop.height() : media.height();
            if (width > 1 && height > 1)
                return clampedRatio(width / height);
        }
    }

    QBuffer buffer;
    buffer.setData(data);
    if (buffer.open(QIODevice::ReadOnly)) {
        QImageReader reader(&buffer);
        reader.setAllocationLimit(kDecodeAllocationLimitMB);
        QSize size = reader.size();
        if (!size.isValid()) {
            // The format cannot tell its size up front: decode, unless the
            // reader already knows it would be too large.
            QImage image;
            if (reader.read(&image))
                size = image.size();
        }
        if (size.width() > 0 && size.height() >= 1)
            return clampedRatio(double(size.width()) / size.height());
    }
    return kUnknownAspectRatio;
}

}  // namespace zelvane::AssetImageCodec
