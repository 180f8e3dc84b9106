#pragma once

#include <QImage>
#include <QRect>
#include <array>
#include <cstdint>
#include <memory>
#include <vector>

namespace zelvane {

// A colour as it shows on white paper, 0-255 a channel.
struct PaperColour {
    int r, g, b;
};

// The pixels of one window (bounds inclusive, page bitmap pixels) of a page
// bitmap held from `origin` on, as they show on white paper: the image is
// RGB32, or premultiplied ARGB32 read as drawn over white.
class PageRasterWindow {
public:
    PageRasterWindow(const QImage& image, const QPoint& origin, const QRect& window);

    const QRect& window() const { return m_window; }
    int columns() const { return m_window.width(); }
    bool readsOverWhite() const { return m_overWhite; }

    // Row py of the page from the window's left edge on.
    const QRgb* row(int py) const
    {
        return reinterpret_cast<const QRgb*>(m_image.constScanLine(py - m_origin.y())) + (m_window.left() - m_origin.x());
    }

    // Asks the processor to start loading every pixel of the window at
    // once: the first reads then wait on memory once, not row after row.
    void prefetch() const;

    PaperColour onPaper(QRgb value) const
    {
        // Capped for pixels that are not validly premultiplied.
        const int add = m_overWhite ? 255 - qAlpha(value) : 0;
        return {std::min(qRed(value) + add, 255), std::min(qGreen(value) + add, 255), std::min(qBlue(value) + add, 255)};
    }

private:
    const QImage& m_image;
    QPoint m_origin;
    QRect m_window;
    bool m_overWhite;
};

// How far each pixel of a window lies from the paper colour: the largest
// difference of one colour channel, 0 to 255, one byte a pixel.
class PaperDistances {
public:
    PaperDistances(const PageRasterWindow& pixels, const PaperColour& paper);

    int columns() const { return m_columns; }
    const std::uint8_t* row(int py) const { return m_bytes.get() + size_t(py - m_firstRow) * size_t(m_stride); }

    // How many pixels of row py are at least `threshold` away (threshold 1 or more).
    int countAtLeast(int py, std::uint8_t threshold) const;
    // The same over rows firstRow to lastRow.
    qsizetype countAtLeast(int firstRow, int lastRow, std::uint8_t threshold) const;

    // Bit (i % 64) of words[i / 64] set when pixel i of row py is at least
    // `threshold` away (threshold 1 or more), for wordsPerRow() words; bits
    // past the last column are clear.
    void maskAtLeast(int py, std::uint8_t threshold, std::uint64_t* words) const;
    int wordsPerRow() const { return m_stride / 64; }
    // The same for three thresholds at once, mask k to words[k].
    void masksAtLeast(int py, const std::array<std::uint8_t, 3>& thresholds,
                      const std::array<std::uint64_t*, 3>& words) const;

private:
    int m_columns;
    int m_firstRow;
    int m_stride;  // bytes a row, a multiple of 64, the padding at distance 0
    std::unique_ptr<std::uint8_t[]> m_bytes;
};

}  // namespace zelvane
