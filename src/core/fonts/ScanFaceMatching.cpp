#include "fonts/ScanFaceMatching.h"

#include "Graphemes.h"
#include "fonts/FontLookup.h"
#include "fonts/FontMemo.h"
#include "fonts/FontSubstitutions.h"

#include <QPainter>
#include <QPainterPath>
#include <QRawFont>

#include <algorithm>
#include <array>
#include <atomic>
#include <cmath>
#include <functional>
#include <vector>

namespace zelvane::fonts {

namespace {

// The outline of `text` in `font`, its origin on the baseline's start.
QPainterPath textPath(const QFont& font, const QString& text)
{
    QPainterPath path;
    path.addText(QPointF(0, 0), font, text);
    return path;
}

// At most this many words' outlines are kept while a FontMemo lives (a few
// megabytes): the commonest words come back line after line.
constexpr qsizetype kMostKeptOutlines = 2000;

// The same, kept while a FontMemo lives.
QPainterPath keptTextPath(const QFont& font, const QString& text)
{
    FontMemo* const memo = FontMemo::current();
    if (!memo)
        return textPath(font, text);
    const std::pair key{font, text};
    if (const auto found = memo->textPaths.constFind(key); found != memo->textPaths.constEnd())
        return *found;
    if (memo->textPaths.size() >= kMostKeptOutlines)
        memo->textPaths.clear();
    const QPainterPath path = textPath(font, text);
    memo->textPaths.insert(key, path);
    return path;
}

// The box of that outline, worked out once while a FontMemo lives: a scan
// repeats its words line after line.
QRectF textBox(const QFont& font, const QString& text)
{
    return FontMemo::remembered(&FontMemo::textBoxes, std::pair{font, text},
                                [&] { return textPath(font, text).boundingRect(); });
}

// Ink darkness, 0 for paper and 1 for full ink, by pixel: paper is the
// lightest tenth of the picture, full ink its darkest twentieth, so that
// blurred thin strokes count for the ink they hold.
std::vector<float> darkness(const QImage& grey)
{
    std::vector<int> values;
    values.reserve(size_t(grey.width()) * size_t(grey.height()));
    for (int y = 0; y < grey.height(); ++y) {
        const uchar* row = grey.constScanLine(y);
        values.insert(values.end(), row, row + grey.width());
    }
    // The values in order, by how many there are of each grey.
    std::array<size_t, 256> counts{};
    for (const int value : values)
        ++counts[size_t(value)];
    const auto nth = [&counts](size_t n) {
        size_t seen = 0;
        for (int shade = 0; shade < 256; ++shade) {
            seen += counts[size_t(shade)];
            if (seen > n)
                return shade;
        }
        return 255;
    };
    const int ink = nth(values.size() / 20);
    const int paper = nth(std::min(values.size() - 1, values.size() * 9 / 10));
    const float range = float(std::max(paper - ink, 1));
    std::vector<float> result(values.size());
    for (size_t i = 0; i < values.size(); ++i)
        result[i] = std::clamp(float(paper - values[i]) / range, 0.0f, 1.0f);
    return result;
}

// A word's ink in the picture: its tight box, in pixels, and where its ink
// begins and ends between pixels.
struct WordInk {
    QString text;
    QRect box;
    double left = 0;
    double right = 0;
};

// Where the ink of the columns from `from` walking by `step` first reaches
// half its strength: the scan's blur spreads an edge over a few pixels,
// whose middle is where the print's edge lies. `strength` gives a column's
// darkest pixel; columns are `step` apart, their centres half a pixel in.
double halfInkEdge(const std::function<float(int)>& strength, int from, int step, int columns)
{
    float before = from - step >= 0 && from - step < columns ? std::min(strength(from - step), 0.5f) : 0.0f;
    for (int k = 0; k < 4; ++k) {
        const int x = from + k * step;
        if (x < 0 || x >= columns)
            break;
        const float d = strength(x);
        if (d >= 0.5f) {
            const double centre = x + 0.5;
            return centre - step * (1.0 - (0.5 - before) / std::max(d - before, 1e-3f));
        }
        before = d;
    }
    return step > 0 ? from : from + 1;
}

// The picture's words: its inked columns cut at the widest gaps of paper,
// as many cuts as the text has spaces; nothing when there are fewer gaps.
QList<WordInk> wordsOf(const std::vector<float>& ink, const QSize& size, const QString& text)
{
    const QStringList words = text.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    constexpr float kInk = 0.25f;
    std::vector<bool> inked(size_t(size.width()), false);
    for (int x = 0; x < size.width(); ++x) {
        for (int y = 0; y < size.height() && !inked[size_t(x)]; ++y)
            inked[size_t(x)] = ink[size_t(y) * size_t(size.width()) + size_t(x)] > kInk;
    }
    // Runs of inked columns, and the gaps between them.
    QList<QPair<int, int>> runs;
    for (int x = 0; x < size.width(); ++x) {
        if (!inked[size_t(x)])
            continue;
        if (!runs.isEmpty() && runs.back().second == x - 1)
            runs.back().second = x;
        else
            runs.append({x, x});
    }
    if (runs.size() < words.size() || words.isEmpty())
        return {};
    QList<int> gaps;  // index of the run after each gap, widest first
    for (qsizetype i = 1; i < runs.size(); ++i)
        gaps.append(int(i));
    std::stable_sort(gaps.begin(), gaps.end(), [&runs](int a, int b) {
        return runs[a].first - runs[a - 1].second > runs[b].first - runs[b - 1].second;
    });
    QList<int> cuts = gaps.mid(0, words.size() - 1);
    std::sort(cuts.begin(), cuts.end());
    QList<WordInk> result;
    int first = 0;
    for (qsizetype w = 0; w < words.size(); ++w) {
        const int last = w < cuts.size() ? cuts[w] - 1 : int(runs.size()) - 1;
        const int left = runs[first].first, right = runs[last].second;
        int top = size.height(), bottom = -1;
        for (int y = 0; y < size.height(); ++y) {
            for (int x = left; x <= right; ++x) {
                if (ink[size_t(y) * size_t(size.width()) + size_t(x)] > kInk) {
                    top = std::min(top, y);
                    bottom = std::max(bottom, y);
                    break;
                }
            }
        }
        if (bottom < top)
            return {};
        const auto strength = [&](int x) {
            float darkest = 0;
            for (int y = top; y <= bottom; ++y)
                darkest = std::max(darkest, ink[size_t(y) * size_t(size.width()) + size_t(x)]);
            return darkest;
        };
        const double start = halfInkEdge(strength, left, 1, size.width());
        const double end = std::max(halfInkEdge(strength, right, -1, size.width()), start + 0.5);
        result.append({words[w], QRect(QPoint(left, top), QPoint(right, bottom)), start, end});
        first = last + 1;
    }
    return result;
}

// How far a face's drawing of the words, each stretched over its printed
// ink, is from the print: the share of ink the two do not have in common,
// plus how far the weight of the strokes (the ink's total, which a scan's
// blur spreads but keeps) is from the print's.
double difference(const std::vector<float>& ink, const QSize& size, const QList<WordInk>& words,
                  const QFont& font)
{
    double apart = 0, total = 0, drawnMass = 0, printedMass = 0;
    // Coverage in the alpha of a format Qt paints fast, every word drawn
    // into its own box of one picture (the boxes do not overlap).
    QImage drawn(size, QImage::Format_ARGB32_Premultiplied);
    drawn.fill(Qt::transparent);
    QList<const WordInk*> drawnWords;
    {
        QPainter painter(&drawn);
        painter.setRenderHint(QPainter::Antialiasing);
        for (const WordInk& word : words) {
            const QPainterPath path = keptTextPath(font, word.text);
            const QRectF box = path.boundingRect();
            if (box.width() <= 0 || box.height() <= 0)
                continue;
            painter.setClipRect(word.box);
            painter.setTransform(QTransform::fromTranslate(word.box.left(), word.box.top())
                                     .scale(word.box.width() / box.width(), word.box.height() / box.height())
                                     .translate(-box.left(), -box.top()));
            painter.fillPath(path, Qt::black);
            painter.resetTransform();
            drawnWords.append(&word);
        }
    }
    for (const WordInk* drawnWord : std::as_const(drawnWords)) {
        const WordInk& word = *drawnWord;
        for (int y = 0; y < word.box.height(); ++y) {
            const auto* row = reinterpret_cast<const QRgb*>(drawn.constScanLine(word.box.top() + y)) + word.box.left();
            for (int x = 0; x < word.box.width(); ++x) {
                const float a = float(qAlpha(row[x])) / 255.0f;
                const float b = ink[size_t(word.box.top() + y) * size_t(size.width()) + size_t(word.box.left() + x)];
                apart += std::abs(a - b);
                total += a + b;
                drawnMass += a;
                printedMass += b;
            }
        }
    }
    if (total <= 0 || drawnMass <= 0 || printedMass <= 0)
        return INFINITY;
    return apart / total + std::abs(std::log(drawnMass / printedMass));
}

// The rows of the picture's ink: the first and last row with ink, and where
// the ink begins and ends between rows (where the rows' darkest pixels
// reach half strength).
struct InkRows {
    int first = 0;
    int last = 0;
    double top = 0;
    double bottom = 0;
};

InkRows inkRows(const std::vector<float>& ink, const QSize& size)
{
    std::vector<float> rows(size_t(size.height()), 0.0f);
    for (int y = 0; y < size.height(); ++y) {
        for (int x = 0; x < size.width(); ++x)
            rows[size_t(y)] = std::max(rows[size_t(y)], ink[size_t(y) * size_t(size.width()) + size_t(x)]);
    }
    const auto strength = [&rows](int y) { return rows[size_t(y)]; };
    int first = 0, last = size.height() - 1;
    while (first < last && rows[size_t(first)] <= 0.25f)
        ++first;
    while (last > first && rows[size_t(last)] <= 0.25f)
        --last;
    const double top = halfInkEdge(strength, first, 1, size.height());
    return {first, last, top, std::max(halfInkEdge(strength, last, -1, size.height()), top + 0.5)};
}

// At most this many words of a line are compared with its print, taken
// evenly from the line: a long line costs no more than a short one.
constexpr qsizetype kMostWords = 6;

QList<WordInk> sampledWords(const QList<WordInk>& words)
{
    QList<WordInk> sample;
    const qsizetype count = std::min(words.size(), kMostWords);
    for (qsizetype i = 0; i < count; ++i)
        sample.append(words[count > 1 ? i * (words.size() - 1) / (count - 1) : 0]);
    return sample;
}

// Some words of a line drawn over their picture, each from where its ink
// starts: how far a drawing is from the ink, and where its baseline fits.
// A long line is judged by a few of its words spread over it, and only the
// ink of those words counts.
class PlacedWords {
public:
    PlacedWords(const std::vector<float>& ink, const QSize& size, const QList<WordInk>& words, double pixelsPerPoint)
        : m_size(size), m_pixelsPerPoint(pixelsPerPoint), m_drawn(size, QImage::Format_ARGB32_Premultiplied)
    {
        m_words = sampledWords(words);
        m_ink.assign(ink.size(), 0.0f);
        for (const WordInk& word : m_words) {
            const int from = std::max(word.box.left() - 2, 0), to = std::min(word.box.right() + 2, size.width() - 1);
            for (int y = 0; y < size.height(); ++y) {
                const size_t row = size_t(y) * size_t(size.width());
                std::copy(ink.begin() + qsizetype(row) + from, ink.begin() + qsizetype(row) + to + 1,
                          m_ink.begin() + qsizetype(row) + from);
            }
        }
        m_rows = inkRows(m_ink, size);
    }

    // The words in `font` (in points), baseline at 0.
    QPainterPath drawing(const QFont& font) const
    {
        QPainterPath drawing;
        for (const WordInk& word : m_words) {
            QPainterPath path;
            path.addText(QPointF(0, 0), font, word.text);
            const QRectF box = path.boundingRect();
            if (!box.isEmpty())
                drawing.addPath(path.translated(word.left / m_pixelsPerPoint - box.left(), 0));
        }
        return drawing;
    }

    // The baseline (pixels from the top) at which the drawing spans the
    // ink's rows.
    double spanningBaseline(const QPainterPath& drawing) const
    {
        const QRectF extent = drawing.boundingRect();
        return spanningBaseline(extent.top(), extent.bottom());
    }

    // The same for the words drawn in `font` without letter spacing (which
    // moves glyphs along the line only), from their boxes measured once
    // while a FontMemo lives; nothing when no word draws.
    std::optional<double> spanningBaseline(const QFont& font) const
    {
        double top = INFINITY, bottom = -INFINITY;
        for (const WordInk& word : m_words) {
            const QRectF box = textBox(font, word.text);
            if (box.isEmpty())
                continue;
            top = std::min(top, box.top());
            bottom = std::max(bottom, box.bottom());
        }
        if (!(bottom >= top))
            return std::nullopt;
        return spanningBaseline(top, bottom);
    }

    // How far the drawing with its baseline `baseline` pixels from the top
    // is from the ink.
    double apart(const QPainterPath& drawing, double baseline)
    {
        // Coverage only: the drawing's alpha.
        m_drawn.fill(Qt::transparent);
        {
            QPainter painter(&m_drawn);
            painter.setRenderHint(QPainter::Antialiasing);
            painter.translate(0, baseline);
            painter.scale(m_pixelsPerPoint, m_pixelsPerPoint);
            painter.fillPath(drawing, Qt::black);
        }
        double sum = 0;
        for (int y = 0; y < m_size.height(); ++y) {
            const auto* row = reinterpret_cast<const QRgb*>(m_drawn.constScanLine(y));
            const float* printed = m_ink.data() + size_t(y) * size_t(m_size.width());
            for (int x = 0; x < m_size.width(); ++x)
                sum += std::abs(float(qAlpha(row[x])) / 255.0f - printed[x]);
        }
        return sum;
    }

    // The baseline among `centre` ± `count` steps of `step` points where the
    // drawing differs least from the ink, and that difference.
    std::pair<double, double> bestBaseline(const QPainterPath& drawing, double centre, double step, int count)
    {
        std::pair<double, double> best{centre, INFINITY};
        for (int k = -count; k <= count; ++k) {
            const double baseline = centre + k * step * m_pixelsPerPoint;
            if (const double a = apart(drawing, baseline); a < best.second)
                best = {baseline, a};
        }
        return best;
    }

private:
    double spanningBaseline(double top, double bottom) const
    {
        return 0.5 * (m_rows.top - top * m_pixelsPerPoint + m_rows.bottom - bottom * m_pixelsPerPoint);
    }

    std::vector<float> m_ink;
    QSize m_size;
    QList<WordInk> m_words;
    double m_pixelsPerPoint;
    InkRows m_rows;
    QImage m_drawn;
};

}  // namespace

bool drawsNoOutlines(const QRawFont& program)
{
    if (!program.isValid())
        return false;
    const QByteArray maxp = program.fontTable("maxp");
    if (maxp.size() < 6)
        return false;
    const int glyphs = (uchar(maxp[4]) << 8) | uchar(maxp[5]);
    // Glyph 0 draws missing characters; the others are the program's own.
    if (glyphs < 2)
        return false;
    // A TrueType program says where its outlines are: a glyph has one when
    // its stretch of 'glyf' is not empty. Subsets often keep the original
    // glyph numbers, their few outlines far behind empty glyphs, so every
    // glyph is looked at.
    const QByteArray head = program.fontTable("head");
    const QByteArray loca = program.fontTable("loca");
    const QByteArray glyf = program.fontTable("glyf");
    if (head.size() >= 54 && !loca.isEmpty() && !glyf.isEmpty()) {
        const bool longOffsets = uchar(head[51]) != 0 || uchar(head[50]) != 0;
        const qsizetype width = longOffsets ? 4 : 2;
        const auto offset = [&](qsizetype glyph) -> quint32 {
            const auto* at = reinterpret_cast<const uchar*>(loca.constData()) + glyph * width;
            return longOffsets ? (quint32(at[0]) << 24 | quint32(at[1]) << 16 | quint32(at[2]) << 8 | at[3])
                               : (quint32(at[0]) << 8 | at[1]) * 2;
        };
        const qsizetype last = std::min<qsizetype>(glyphs, loca.size() / width - 1);
        for (qsizetype glyph = 1; glyph < last; ++glyph) {
            const quint32 start = offset(glyph);
            if (offset(glyph + 1) <= start)
                continue;
            // A glyph with a header but no contour draws nothing either.
            if (qsizetype(start) + 2 > glyf.size())
                return false;
            if (uchar(glyf[start]) != 0 || uchar(glyf[start + 1]) != 0)
                return false;
        }
        return true;
    }
    for (quint32 glyph = 1; glyph < quint32(glyphs); ++glyph) {
        if (!program.pathForGlyph(glyph).isEmpty())
            return false;
    }
    return true;
}

QStringList scanFaceFamilies()
{
    QStringList families;
    if (!hasFontSupport())
        return families;
    for (const QString& design : {QStringLiteral("Times New Roman"), QStringLiteral("Arial")}) {
        for (const QString& family : substituteFamilies(design).mid(1)) {
            if (const auto installed = installedFamily(family); installed && *installed == family) {
                families.append(family);
                break;
            }
        }
    }
    return families;
}

namespace {
std::atomic<qint64> g_scanFaceMatchings{0};
std::atomic<qint64> g_scanFaceComparisons{0};
}  // namespace

qint64 scanFaceMatchings()
{
    return g_scanFaceMatchings.load();
}

qint64 scanFaceComparisons()
{
    return g_scanFaceComparisons.load();
}

// Lines of fewer words (a page number, a figure in a table) are matched on
// their own but do not choose for the other lines of their setting.
constexpr qsizetype kFewestTellingWords = 3;

// How many of those lines of a setting choose its face for the others.
constexpr int kTellingLinesToSettle = 3;

std::optional<ScanFace> chooseScanFace(const PrintedInk& ink)
{
    ++g_scanFaceMatchings;
    const QString text = ink.text.trimmed();
    if (text.isEmpty() || ink.picture.isNull() || ink.width <= 0 || ink.height <= 0)
        return std::nullopt;
    const QImage grey = ink.picture.convertToFormat(QImage::Format_Grayscale8);
    const std::vector<float> printed = darkness(grey);
    QList<WordInk> words = wordsOf(printed, grey.size(), text);
    if (words.isEmpty())
        words = {{text, QRect(QPoint(0, 0), grey.size()), 0.0, double(grey.width())}};

    // The ink's height, without the halo the scan's blur adds at every
    // edge (measured on the words' sides, where stems stand).
    double halo = 0;
    for (const WordInk& word : words)
        halo += 0.5 * ((word.left - word.box.left()) + (word.box.right() + 1 - word.right));
    halo = std::clamp(halo / double(words.size()), 0.0, 2.0);
    const InkRows rows = inkRows(printed, grey.size());
    const double inkHeight =
        std::clamp((rows.last - rows.first + 1 - 2 * halo) / ink.pixelsPerPoint, 0.5 * ink.height, ink.height);

    const QList<WordInk> compared = sampledWords(words);
    // Only a line of a few words tells the design of its setting's lines.
    const bool tells = words.size() >= kFewestTellingWords;
    std::optional<ScanFace> best;
    double bestScore = INFINITY;
    double bestPrintedWidth = 0, bestDrawnWidth = 0;
    qsizetype bestGaps = 0;
    // A text layer's lines of one font and size print in one face: once a
    // line of them chose its family, the others choose among its faces, and
    // once its first few lines chose, the others of a few words take the
    // face most of them chose without comparing faces. Shorter ones (a
    // heading, a figure) always choose among the family's faces.
    FontMemo* const memo = ink.setting.isEmpty() ? nullptr : FontMemo::current();
    const QStringList installed = scanFaceFamilies();
    struct Candidate {
        QString family;
        bool bold;
        bool italic;
    };
    static constexpr std::array<std::pair<bool, bool>, 3> kFaces{{{false, false}, {true, false}, {false, true}}};
    QList<Candidate> candidates;
    FontMemo::ScanFaceChoice* chosen = nullptr;
    if (memo) {
        if (const auto found = memo->scanFaces.find(ink.setting);
            found != memo->scanFaces.end() && installed.contains(found->family))
            chosen = &*found;
    }
    int told = 0;
    size_t mostChosen = 0;
    if (chosen) {
        for (size_t face = 0; face < kFaces.size(); ++face) {
            told += chosen->votes[face];
            if (chosen->votes[face] > chosen->votes[mostChosen])
                mostChosen = face;
        }
    }
    const bool settled = told >= kTellingLinesToSettle;
    if (settled && tells) {
        candidates.append({chosen->family, kFaces[mostChosen].first, kFaces[mostChosen].second});
    } else {
        for (const QString& family : chosen ? QStringList{chosen->family} : installed) {
            for (const auto& [bold, italic] : kFaces) {
                if ((bold || italic) && !familyHasFace(family, bold, italic))
                    continue;
                candidates.append({family, bold, italic});
            }
        }
    }
    for (const Candidate& candidate : std::as_const(candidates)) {
        const QString& family = candidate.family;
        const bool bold = candidate.bold, italic = candidate.italic;
        const QFont font = makeFont({family}, 100, bold, italic);
        const QFont laidOut = layoutFont(font, 0);
        // The sizes at which the words are as wide (spaces left out:
        // justified lines widen them), and the text as high, as the ink.
        // The words' boxes are measured once for the whole import.
        double printedWidth = 0, drawnWidth = 0;
        qsizetype gaps = 0;
        double top = INFINITY, bottom = -INFINITY;
        for (const WordInk& word : words) {
            const QRectF wordBox = textBox(laidOut, word.text);
            printedWidth += (word.right - word.left) / ink.pixelsPerPoint;
            drawnWidth += wordBox.width();
            gaps += std::max<qsizetype>(graphemeCount(word.text) - 1, 0);
            if (!wordBox.isNull()) {
                top = std::min(top, wordBox.top());
                bottom = std::max(bottom, wordBox.bottom());
            }
        }
        // The text's height: that of its words together.
        const double textHeight = bottom - top;
        if (!(textHeight > 0) || drawnWidth <= 0)
            continue;
        const double byWidth = 100 * printedWidth / drawnWidth;
        const double byHeight = 100 * inkHeight / textHeight;
        // One face left is not compared with the print.
        double score = 0;
        if (candidates.size() > 1) {
            ++g_scanFaceComparisons;
            const double apart = difference(printed, grey.size(), compared, laidOut)
                                 + 0.25 * std::abs(std::log(byWidth / byHeight));
            // A slant shows little on digits and short words: an italic face
            // has to match clearly better than the upright ones.
            score = (italic ? 1 / 0.85 : 1.0) * apart;
        }
        if (score < bestScore) {
            bestScore = score;
            const double size = std::clamp(byWidth, 0.93 * byHeight, 1.07 * byHeight);
            const double spacing = gaps > 0 ? (printedWidth - drawnWidth * size / 100) / double(gaps) : 0.0;
            best = ScanFace{family, postScriptNameOf(font), bold, italic, size, spacing, std::nullopt};
            bestPrintedWidth = printedWidth;
            bestDrawnWidth = drawnWidth;
            bestGaps = gaps;
        }
    }
    if (!best || grey.isNull())
        return best;
    if (memo && tells && !settled) {
        if (!chosen)
            chosen = &*memo->scanFaces.insert(ink.setting, {best->family, {}});
        ++chosen->votes[best->bold ? 1 : best->italic ? 2 : 0];
    }

    // The size and baseline at which the chosen face, its words as wide as
    // their ink, covers the ink best: the baseline first, in fifths of a
    // point, then sizes a step of 1.5 % apart, then the baseline again in
    // twentieths of a point.
    PlacedWords placed(printed, grey.size(), words, ink.pixelsPerPoint);
    const auto spacingAt = [&](double size) {
        return bestGaps > 0 ? std::clamp((bestPrintedWidth - bestDrawnWidth * size / 100) / double(bestGaps),
                                         -0.2 * size, 0.2 * size)
                            : 0.0;
    };
    const auto drawingAt = [&](double size) {
        return placed.drawing(
            layoutFont(makeFont({best->family}, size, best->bold, best->italic), spacingAt(size)));
    };
    // Lines of one setting in one face print alike: drawing them over and
    // over is most of the work, done for the first of them only.
    const QString fitKey = memo ? ink.setting + QChar(0x1f) + best->family + QChar(0x1f) + QChar(best->bold ? '1' : '0')
                                      + QChar(best->italic ? '1' : '0')
                                : QString();
    if (memo) {
        if (const auto fit = memo->scanFits.constFind(fitKey); fit != memo->scanFits.constEnd()) {
            const double size = fit->first;
            const std::optional<double> spanning =
                placed.spanningBaseline(layoutFont(makeFont({best->family}, size, best->bold, best->italic), 0));
            if (!spanning)
                return best;
            best->fontSize = size;
            best->letterSpacing = spacingAt(size);
            best->baseline = (*spanning + fit->second * size * ink.pixelsPerPoint) / ink.pixelsPerPoint;
            return best;
        }
    }
    const QPainterPath first = drawingAt(best->fontSize);
    if (first.isEmpty())
        return best;
    auto [baseline, apart] = placed.bestBaseline(first, placed.spanningBaseline(first), 0.2, 6);
    double size = best->fontSize;
    for (int k = -4; k <= 4; ++k) {
        const double candidate = best->fontSize * (1 + 0.015 * k);
        if (const double a = placed.apart(drawingAt(candidate), baseline); a < apart) {
            apart = a;
            size = candidate;
        }
    }
    const QPainterPath fitted = drawingAt(size);
    baseline = placed.bestBaseline(fitted, baseline, 0.05, 4).first;
    if (memo && tells) {
        memo->scanFits.insert(fitKey, {size, (baseline - placed.spanningBaseline(fitted))
                                                            / (size * ink.pixelsPerPoint)});
    }
    best->fontSize = size;
    best->letterSpacing = spacingAt(size);
    best->baseline = baseline / ink.pixelsPerPoint;
    return best;
}

std::optional<ScanFace> defaultScanFace(double size, bool bold)
{
    const QStringList families = scanFaceFamilies();
    if (families.isEmpty())
        return std::nullopt;
    const QString& family = families.back();
    const bool hasBold = bold && familyHasFace(family, true, false);
    return ScanFace{family, postScriptNameOf(makeFont({family}, size, hasBold, false)), hasBold, false, size, 0,
                    std::nullopt};
}

}  // namespace zelvane::fonts
