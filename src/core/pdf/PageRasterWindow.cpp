#include "pdf/PageRasterWindow.h"

#include <algorithm>
#include <bit>
#include <cstdlib>

#ifdef __SSE2__
#include <emmintrin.h>
#endif
#if defined(__x86_64__) && defined(__GNUC__)
#include <immintrin.h>
#define ZELVANE_AVX2_DISTANCES 1
#endif

namespace zelvane {

PageRasterWindow::PageRasterWindow(const QImage& image, const QPoint& origin, const QRect& window)
    : m_image(image),
      m_origin(origin),
      m_window(window),
      m_overWhite(image.format() == QImage::Format_ARGB32_Premultiplied)
{
}

void PageRasterWindow::prefetch() const
{
    constexpr size_t kCacheLine = 64;
    const size_t bytes = size_t(columns()) * sizeof(QRgb);
    const char* line = reinterpret_cast<const char*>(row(m_window.top()));
    for (int py = m_window.top(); py <= m_window.bottom(); ++py, line += m_image.bytesPerLine()) {
        for (size_t at = 0; at < bytes; at += kCacheLine) {
            __builtin_prefetch(line + at);
        }
        __builtin_prefetch(line + bytes - 1);
    }
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

#ifdef ZELVANE_AVX2_DISTANCES
// The same for eight pixels at a time, on processors that have AVX2.
__attribute__((target("avx2"))) __m256i distancesOfEight(const QRgb* eight, __m256i opaque, __m256i paper)
{
    const __m256i pixels = _mm256_or_si256(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(eight)), opaque);
    const __m256i alpha = _mm256_shuffle_epi8(
        pixels, _mm256_setr_epi8(3, 3, 3, -1, 7, 7, 7, -1, 11, 11, 11, -1, 15, 15, 15, -1, 3, 3, 3, -1, 7, 7, 7, -1,
                                 11, 11, 11, -1, 15, 15, 15, -1));
    const __m256i onWhite = _mm256_adds_epu8(pixels, _mm256_xor_si256(alpha, _mm256_set1_epi32(0x00FFFFFF)));
    const __m256i apart = _mm256_and_si256(
        _mm256_or_si256(_mm256_subs_epu8(onWhite, paper), _mm256_subs_epu8(paper, onWhite)),
        _mm256_set1_epi32(0x00FFFFFF));
    const __m256i most =
        _mm256_max_epu8(_mm256_max_epu8(apart, _mm256_srli_epi32(apart, 8)), _mm256_srli_epi32(apart, 16));
    return _mm256_and_si256(most, _mm256_set1_epi32(0xFF));
}

// The same from white paper, in fewer steps: under a pixel of alpha a,
// channel c shows as min(c + 255 - a, 255), which lies a - c (0 when c
// exceeds a) below white.
__attribute__((target("avx2"))) __m256i distancesFromWhiteOfEight(const QRgb* eight, __m256i opaque)
{
    const __m256i pixels = _mm256_or_si256(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(eight)), opaque);
    // Alpha in every byte of its pixel: alpha less alpha adds nothing.
    const __m256i alpha = _mm256_shuffle_epi8(
        pixels, _mm256_setr_epi8(3, 3, 3, 3, 7, 7, 7, 7, 11, 11, 11, 11, 15, 15, 15, 15, 3, 3, 3, 3, 7, 7, 7, 7, 11,
                                 11, 11, 11, 15, 15, 15, 15));
    const __m256i apart = _mm256_subs_epu8(alpha, pixels);
    const __m256i most =
        _mm256_max_epu8(_mm256_max_epu8(apart, _mm256_srli_epi32(apart, 8)), _mm256_srli_epi32(apart, 16));
    return _mm256_and_si256(most, _mm256_set1_epi32(0xFF));
}

// The distances of the row's first columns, 32 at a time; how many were done.
// `blank` is the distance of a pixel 0 (nothing drawn), which most of a
// line's pixels are: 32 of them at once are written without working it out.
template<bool fromWhite>
__attribute__((target("avx2"))) int distancesOfRow(const QRgb* line, int columns, std::uint8_t* out,
                                                     const PaperColour& paper, bool overWhite, std::uint8_t blank)
{
    const __m256i blanks = _mm256_set1_epi8(char(blank));
    const __m256i paperBytes =
        _mm256_set1_epi32(int((unsigned(paper.r) << 16) | (unsigned(paper.g) << 8) | unsigned(paper.b)));
    const __m256i opaque = _mm256_set1_epi32(overWhite ? 0 : int(0xFF000000u));
    // Packing works within each half of the register: the lanes are put
    // back in order at the end.
    const __m256i order = _mm256_setr_epi32(0, 4, 1, 5, 2, 6, 3, 7);
    int i = 0;
    for (; i + 32 <= columns; i += 32) {
        const __m256i* pixels = reinterpret_cast<const __m256i*>(line + i);
        const __m256i any = _mm256_or_si256(_mm256_or_si256(_mm256_loadu_si256(pixels), _mm256_loadu_si256(pixels + 1)),
                                            _mm256_or_si256(_mm256_loadu_si256(pixels + 2), _mm256_loadu_si256(pixels + 3)));
        if (_mm256_testz_si256(any, any)) {
            _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + i), blanks);
            continue;
        }
        __m256i a, b;
        if constexpr (fromWhite) {
            a = _mm256_packs_epi32(distancesFromWhiteOfEight(line + i, opaque),
                                   distancesFromWhiteOfEight(line + i + 8, opaque));
            b = _mm256_packs_epi32(distancesFromWhiteOfEight(line + i + 16, opaque),
                                   distancesFromWhiteOfEight(line + i + 24, opaque));
        } else {
            a = _mm256_packs_epi32(distancesOfEight(line + i, opaque, paperBytes),
                                   distancesOfEight(line + i + 8, opaque, paperBytes));
            b = _mm256_packs_epi32(distancesOfEight(line + i + 16, opaque, paperBytes),
                                   distancesOfEight(line + i + 24, opaque, paperBytes));
        }
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + i),
                            _mm256_permutevar8x32_epi32(_mm256_packus_epi16(a, b), order));
    }
    return i;
}

bool hasAVX2()
{
    static const bool has = __builtin_cpu_supports("avx2");
    return has;
}

// Bit k set when byte k of the thirty-two is at least the threshold.
__attribute__((target("avx2"))) inline std::uint32_t atLeastOf32(const std::uint8_t* bytes, __m256i threshold)
{
    const __m256i values = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(bytes));
    return std::uint32_t(_mm256_movemask_epi8(_mm256_cmpeq_epi8(_mm256_max_epu8(values, threshold), values)));
}

// How many of `count` bytes (a multiple of 64) are at least `threshold`.
__attribute__((target("avx2,popcnt"))) int countAtLeastAVX2(const std::uint8_t* bytes, int count,
                                                           std::uint8_t threshold)
{
    const __m256i limit = _mm256_set1_epi8(char(threshold));
    int found = 0;
    for (int i = 0; i < count; i += 64) {
        found += __builtin_popcountll(std::uint64_t(atLeastOf32(bytes + i, limit))
                                      | std::uint64_t(atLeastOf32(bytes + i + 32, limit)) << 32);
    }
    return found;
}

// The masks of `words` words of bytes for up to four thresholds.
template<size_t N>
__attribute__((target("avx2"))) void masksAtLeastAVX2(const std::uint8_t* bytes, int words,
                                                      const std::array<std::uint8_t, N>& thresholds,
                                                      const std::array<std::uint64_t*, N>& out)
{
    __m256i limits[N];
    for (size_t k = 0; k < N; ++k) {
        limits[k] = _mm256_set1_epi8(char(thresholds[k]));
    }
    for (int w = 0; w < words; ++w) {
        const std::uint8_t* word = bytes + w * 64;
        for (size_t k = 0; k < N; ++k) {
            out[k][w] = std::uint64_t(atLeastOf32(word, limits[k])) | std::uint64_t(atLeastOf32(word + 32, limits[k])) << 32;
        }
    }
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
      m_bytes(std::make_unique_for_overwrite<std::uint8_t[]>(size_t(m_stride) * size_t(pixels.window().height())))
{
#ifdef __SSE2__
    const __m128i paperBytes =
        _mm_set1_epi32(int((unsigned(paper.r) << 16) | (unsigned(paper.g) << 8) | unsigned(paper.b)));
    // Without white under the pixels, every pixel reads as opaque.
    const __m128i opaque = _mm_set1_epi32(pixels.readsOverWhite() ? 0 : int(0xFF000000u));
#endif
#ifdef ZELVANE_AVX2_DISTANCES
    const std::uint8_t blank = std::uint8_t(distance(pixels.onPaper(0), paper));
    const bool white = paper.r == 255 && paper.g == 255 && paper.b == 255;
#endif
    for (int py = pixels.window().top(); py <= pixels.window().bottom(); ++py) {
        const QRgb* line = pixels.row(py);
        std::uint8_t* out = m_bytes.get() + size_t(py - m_firstRow) * size_t(m_stride);
        std::fill(out + m_columns, out + m_stride, 0);
        int i = 0;
#ifdef ZELVANE_AVX2_DISTANCES
        if (hasAVX2()) {
            i = white ? distancesOfRow<true>(line, m_columns, out, paper, pixels.readsOverWhite(), blank)
                      : distancesOfRow<false>(line, m_columns, out, paper, pixels.readsOverWhite(), blank);
        }
#endif
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
#ifdef ZELVANE_AVX2_DISTANCES
    if (hasAVX2()) {
        return countAtLeastAVX2(bytes, m_stride, threshold);
    }
#endif
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

qsizetype PaperDistances::countAtLeast(int firstRow, int lastRow, std::uint8_t threshold) const
{
#ifdef ZELVANE_AVX2_DISTANCES
    // The rows lie one after the other, as one run of bytes.
    if (hasAVX2() && firstRow <= lastRow) {
        return countAtLeastAVX2(row(firstRow), (lastRow - firstRow + 1) * m_stride, threshold);
    }
#endif
    qsizetype count = 0;
    for (int py = firstRow; py <= lastRow; ++py) {
        count += countAtLeast(py, threshold);
    }
    return count;
}

void PaperDistances::maskAtLeast(int py, std::uint8_t threshold, std::uint64_t* words) const
{
    const std::uint8_t* bytes = row(py);
#ifdef ZELVANE_AVX2_DISTANCES
    if (hasAVX2()) {
        masksAtLeastAVX2<1>(bytes, wordsPerRow(), {threshold}, {words});
        return;
    }
#endif
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

void PaperDistances::masksAtLeast(int py, const std::array<std::uint8_t, 3>& thresholds,
                                  const std::array<std::uint64_t*, 3>& words) const
{
#ifdef ZELVANE_AVX2_DISTANCES
    if (hasAVX2()) {
        masksAtLeastAVX2<3>(row(py), wordsPerRow(), thresholds, words);
        return;
    }
#endif
#ifdef __SSE2__
    const std::uint8_t* bytes = row(py);
    const __m128i limits[3] = {_mm_set1_epi8(char(thresholds[0])), _mm_set1_epi8(char(thresholds[1])),
                               _mm_set1_epi8(char(thresholds[2]))};
    for (int w = 0; w < wordsPerRow(); ++w) {
        std::array<std::uint64_t, 3> masks{};
        for (int part = 0; part < 4; ++part) {
            const __m128i sixteen = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes + w * 64 + part * 16));
            for (size_t k = 0; k < 3; ++k) {
                const unsigned bits =
                    unsigned(_mm_movemask_epi8(_mm_cmpeq_epi8(_mm_max_epu8(sixteen, limits[k]), sixteen)));
                masks[k] |= std::uint64_t(bits) << (part * 16);
            }
        }
        for (size_t k = 0; k < 3; ++k) {
            words[k][w] = masks[k];
        }
    }
#else
    for (size_t k = 0; k < 3; ++k) {
        maskAtLeast(py, thresholds[k], words[k]);
    }
#endif
}

}  // namespace zelvane
