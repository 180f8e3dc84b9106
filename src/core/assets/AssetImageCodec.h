#pragma once

#include <QByteArray>
#include <QImage>
#include <QSet>
#include <QString>
#include <optional>

namespace zelvane {

// Recognises, measures and draws the image, PDF and SVG files used as
// signature and stamp artwork.
namespace AssetImageCodec {

// {"pdf", "png", "jpg", "jpeg", "tiff", "tif", "heic", "webp", "svg"}.
const QSet<QString>& supportedExtensions();

bool isPDF(const QByteArray& data, const std::optional<QString>& ext);
// Width over height within 0.25...6, or 2.4 when it cannot be told.
double aspectRatio(const QByteArray& data, const std::optional<QString>& ext);
// The bitmap to draw, optionally with white paper made transparent and
// cropped to the ink; a null image when the bytes cannot be drawn.
QImage renderImage(const QByteArray& data, const std::optional<QString>& ext, int targetMaxDimension,
                   bool removeWhiteBackground);

}  // namespace AssetImageCodec

}  // namespace zelvane
