#pragma once

// Small images and image files for the artwork tests.

#include <gtest/gtest.h>

#include <QBuffer>
#include <QByteArray>
#include <QColor>
#include <QImage>

namespace zelvane::testing {

inline QByteArray encoded(const QImage& image, const char* format, int quality = -1)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    EXPECT_TRUE(image.save(&buffer, format, quality)) << format;
    return bytes;
}

inline QImage filled(int width, int height, const QColor& color, QImage::Format format = QImage::Format_RGB32)
{
    QImage image(width, height, format);
    image.fill(color);
    return image;
}

inline QByteArray png(const QImage& image)
{
    return encoded(image, "PNG");
}

// The stored premultiplied pixel of an image in ARGB32_Premultiplied.
inline QRgb rawPixel(const QImage& image, int x, int y)
{
    EXPECT_EQ(image.format(), QImage::Format_ARGB32_Premultiplied);
    return reinterpret_cast<const QRgb*>(image.constScanLine(y))[x];
}

inline quint32 crc32(const QByteArray& bytes)
{
    quint32 crc = 0xFFFFFFFFu;
    for (char byte : bytes) {
        crc ^= quint8(byte);
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

inline QByteArray bigEndian(quint32 value)
{
    QByteArray bytes(4, '\0');
    for (int i = 0; i < 4; ++i)
        bytes[i] = char((value >> (24 - 8 * i)) & 0xFF);
    return bytes;
}

inline QByteArray pngChunk(const QByteArray& type, const QByteArray& data)
{
    return bigEndian(quint32(data.size())) + type + data + bigEndian(crc32(type + data));
}

// A well-formed PNG header announcing an RGBA image of the given size,
// followed by a few bytes of image data.
inline QByteArray pngClaiming(quint32 width, quint32 height)
{
    const QByteArray header = bigEndian(width) + bigEndian(height) + QByteArray("\x08\x06\x00\x00\x00", 5);
    const QByteArray data("\x78\x9c\x63\x60\x00\x00\x00\x02\x00\x01", 10);
    return QByteArray("\x89PNG\r\n\x1a\n", 8) + pngChunk("IHDR", header) + pngChunk("IDAT", data)
           + pngChunk("IEND", QByteArray());
}
}  // namespace zelvane::testing
