#pragma once

#include <QByteArray>
#include <QLatin1String>
#include <QSet>
#include <QString>
#include <memory>
#include <optional>

namespace zelvane {

class PDFDocument;

// Recognises and measures the image, PDF and SVG files used as signature and
// stamp artwork. Drawing them is ArtworkRenderer's (render/).
namespace AssetImageCodec {

// Decoding artwork stops here: the image reader refuses to allocate more.
inline constexpr int kDecodeAllocationLimitMB = 256;

// {"pdf", "png", "jpg", "jpeg", "tiff", "tif", "heic", "webp", "svg"}.
const QSet<QString>& supportedExtensions();

bool isPDF(const QByteArray& data, const std::optional<QString>& ext);
// Width over height within 0.25...6, or 2.4 when it cannot be told.
double aspectRatio(const QByteArray& data, const std::optional<QString>& ext);

// Whether the extension, lower-cased, is `wanted`.
bool hasExtension(const std::optional<QString>& ext, QLatin1String wanted);
// Page 1 of a PDF file, or nothing when it cannot be opened or has no page.
std::unique_ptr<PDFDocument> openFirstPDFPage(const QByteArray& data);

}  // namespace AssetImageCodec

}  // namespace zelvane
