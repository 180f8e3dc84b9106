#include "pdf/PageRasterWindow.h"

#include <algorithm>
#include <bit>
#include <cstdlib>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace zelvane {

PageRasterWindow::PageRasterWindow(const QImage& image, const QPoint& origin, const QRect& window)
    : m_image(image),
      m_origin(origin),
      m_window(window),
      m_overWhite(image.format() == QImage::Format_ARGB32_Premultiplied)
{
}

namespace {

#ifdef __SSE2__
// The distances of four pixels, each in the low byte of its 32-bit lane:
// white under a premultiplied pixel of alpha a adds 255 - a to each channel,
// capped at 255, as PageRasterWindow::onPaper reads it.
__m128i distancesOfFour(const QRgb* four, __m128i opaque, __m128i paper)
{
    const __m128i pixels = _mm_or_si128(_mm_loadu_si128(reinterpret_cast<const __m128i*>(four)), opaque);
    __m128i alpha = _mm_srli_epi32(pixels, 24);
    alpha = _mm_or_si128(alpha, _mm_slli_epi32(alpha, 8));
    alpha = _mm_or_si128(alpha, _mm_slli_epi32(alpha, 16));
    const __m128i onWhite = _mm_adds_epu8(pixels, _mm_xor_si128(alpha, _mm_set1_epi32(-1)));
    const __m128i apart = _mm_and_si128(_mm_or_si128(_mm_subs_epu8(onWhite, paper), _mm_subs_epu8(paper, onWhite)),
                                        _mm_set1_epi32(0x00FFFFFF));
    const __m128i most = _mm_max_epu8(_mm_max_epu8(apart, _mm_srli_epi32(apart, 8)), _mm_srli_epi32(apart, 16));
    return _mm_and_si128(most, _mm_set1_epi32(0xFF));
}

// Bit k set when byte k of the sixteen is at least `threshold`.
unsigned atLeast(const std::uint8_t* sixteen, __m128i threshold)
{
    const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(sixteen));
    return unsigned(_mm_movemask_epi8(_mm_cmpeq_epi8(_mm_max_epu8(bytes, threshold), bytes)));
}
#endif

// Set bits of a 16-bit mask.
int bitsSet(unsigned mask)
{
    mask = mask - ((mask >> 1) & 0x5555u);
    mask = (mask & 0x3333u) + ((mask >> 2) & 0x3333u);
    mask = (mask + (mask >> 4)) & 0x0F0Fu;
    return int((mask + (mask >> 8)) & 0x1Fu);
}

int distance(const PaperColour& p, const PaperColour& paper)
{
    return std::max({std::abs(p.r - paper.r), std::abs(p.g - paper.g), std::abs(p.b - paper.b)});
}

}  // namespace

PaperDistances::PaperDistances(const PageRasterWindow& pixels, const PaperColour& paper)
    : m_columns(pixels.columns()),
      m_firstRow(pixels.window().top()),
      m_stride((pixels.columns() + 63) / 64 * 64),
      m_bytes(size_t(m_stride) * size_t(pixels.window().height()), 0)
{
#ifdef __SSE2__
    const __m128i paperBytes =
        _mm_set1_epi32(int((unsigned(paper.r) << 16) | (unsigned(paper.g) << 8) | unsigned(paper.b)));
    // Without white under the pixels, every pixel reads as opaque.
    const __m128i opaque = _mm_set1_epi32(pixels.readsOverWhite() ? 0 : int(0xFF000000u));
#endif
    for (int py = pixels.window().top(); py <= pixels.window().bottom(); ++py) {
        const QRgb* line = pixels.row(py);
        std::uint8_t* out = m_bytes.data() + size_t(py - m_firstRow) * size_t(m_stride);
        int i = 0;
#ifdef __SSE2__
        for (; i + 16 <= m_columns; i += 16) {
            const __m128i a = _mm_packs_epi32(distancesOfFour(line + i, opaque, paperBytes),
                                              distancesOfFour(line + i + 4, opaque, paperBytes));
            const __m128i b = _mm_packs_epi32(distancesOfFour(line + i + 8, opaque, paperBytes),
                                              distancesOfFour(line + i + 12, opaque, paperBytes));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i), _mm_packus_epi16(a, b));
        }
#endif
        for (; i < m_columns; ++i) {
            out[i] = std::uint8_t(distance(pixels.onPaper(line[i]), paper));
        }
    }
}

int PaperDistances::countAtLeast(int py, std::uint8_t threshold) const
{
    const std::uint8_t* bytes = row(py);
    int count = 0;
#ifdef __SSE2__
    const __m128i limit = _mm_set1_epi8(char(threshold));
    for (int i = 0; i < m_stride; i += 16) {
        count += bitsSet(atLeast(bytes + i, limit));
    }
#else
    for (int i = 0; i < m_columns; ++i) {
        count += bytes[i] >= threshold ? 1 : 0;
    }
#endif
    return count;
}

void PaperDistances::maskAtLeast(int py, std::uint8_t threshold, std::uint64_t* words) const
{
    const std::uint8_t* bytes = row(py);
    std::fill(words, words + wordsPerRow(), 0);
#ifdef __SSE2__
    const __m128i limit = _mm_set1_epi8(char(threshold));
    for (int w = 0; w < wordsPerRow(); ++w) {
        const std::uint8_t* word = bytes + w * 64;
        words[w] = std::uint64_t(atLeast(word, limit)) | std::uint64_t(atLeast(word + 16, limit)) << 16
                           | std::uint64_t(atLeast(word + 32, limit)) << 32
                           | std::uint64_t(atLeast(word + 48, limit)) << 48;
    }
#else
    for (int i = 0; i < m_columns; ++i) {
        if (bytes[i] >= threshold) {
            words[i / 64] |= std::uint64_t(1) << (i % 64);
        }
    }
#endif
}

}  // namespace zelvane
