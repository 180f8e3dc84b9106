#include "fonts/ScanFaceMatching.h"

#include "Graphemes.h"
#include "fonts/FontLookup.h"
#include "fonts/FontSubstitutions.h"

#include <QPainter>
#include <QPainterPath>
#include <QRawFont>

#include <algorithm>
#include <cmath>
#include <vector>

namespace zelvane::fonts {

namespace {

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
    std::vector<int> sorted = values;
    std::sort(sorted.begin(), sorted.end());
    const int ink = sorted[sorted.size() / 20];
    const int paper = sorted[std::min(sorted.size() - 1, sorted.size() * 9 / 10)];
    const float range = float(std::max(paper - ink, 1));
    std::vector<float> result(values.size());
    for (size_t i = 0; i < values.size(); ++i)
        result[i] = std::clamp(float(paper - values[i]) / range, 0.0f, 1.0f);
    return result;
}

// A word's ink in the picture: its tight box, in pixels.
struct WordInk {
    QString text;
    QRect box;
};

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
        result.append({words[w], QRect(QPoint(left, top), QPoint(right, bottom))});
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
    for (const WordInk& word : words) {
        QPainterPath path;
        path.addText(QPointF(0, 0), font, word.text);
        const QRectF box = path.boundingRect();
        if (box.width() <= 0 || box.height() <= 0)
            continue;
        QImage drawn(word.box.size(), QImage::Format_Grayscale8);
        drawn.fill(Qt::white);
        {
            QPainter painter(&drawn);
            painter.setRenderHint(QPainter::Antialiasing);
            painter.scale(word.box.width() / box.width(), word.box.height() / box.height());
            painter.translate(-box.topLeft());
            painter.fillPath(path, Qt::black);
        }
        for (int y = 0; y < word.box.height(); ++y) {
            const uchar* row = drawn.constScanLine(y);
            for (int x = 0; x < word.box.width(); ++x) {
                const float a = float(255 - row[x]) / 255.0f;
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
    for (quint32 glyph = 1; glyph < quint32(std::min(glyphs, 512)); ++glyph) {
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

std::optional<ScanFace> chooseScanFace(const PrintedInk& ink)
{
    const QString text = ink.text.trimmed();
    if (text.isEmpty() || ink.picture.isNull() || ink.width <= 0 || ink.height <= 0)
        return std::nullopt;
    const QImage grey = ink.picture.convertToFormat(QImage::Format_Grayscale8);
    const std::vector<float> printed = darkness(grey);
    QList<WordInk> words = wordsOf(printed, grey.size(), text);
    if (words.isEmpty())
        words = {{text, QRect(QPoint(0, 0), grey.size())}};

    std::optional<ScanFace> best;
    double bestScore = INFINITY;
    for (const QString& family : scanFaceFamilies()) {
        for (const bool bold : {false, true}) {
            if (bold && !familyHasFace(family, true, false))
                continue;
            const QFont font = makeFont({family}, 100, bold, false);
            QPainterPath path;
            path.addText(QPointF(0, 0), layoutFont(font, 0), text);
            const QRectF box = path.boundingRect();
            if (box.width() <= 0 || box.height() <= 0)
                continue;
            // The sizes at which the words are as wide (spaces left out:
            // justified lines widen them), and the text as high, as the ink.
            double printedWidth = 0, drawnWidth = 0;
            qsizetype gaps = 0;
            for (const WordInk& word : words) {
                QPainterPath wordPath;
                wordPath.addText(QPointF(0, 0), layoutFont(font, 0), word.text);
                printedWidth += word.box.width() / ink.pixelsPerPoint;
                drawnWidth += wordPath.boundingRect().width();
                gaps += std::max<qsizetype>(graphemeCount(word.text) - 1, 0);
            }
            if (drawnWidth <= 0)
                continue;
            const double byWidth = 100 * printedWidth / drawnWidth;
            const double byHeight = 100 * ink.height / box.height();
            const double score = difference(printed, grey.size(), words, layoutFont(font, 0))
                                 + 0.25 * std::abs(std::log(byWidth / byHeight));
            if (score < bestScore) {
                bestScore = score;
                const double size = std::clamp(byWidth, 0.93 * byHeight, 1.07 * byHeight);
                const double spacing = gaps > 0 ? (printedWidth - drawnWidth * size / 100) / double(gaps) : 0.0;
                best = ScanFace{family, postScriptNameOf(font), bold, size, spacing};
            }
        }
    }
    return best;
}

std::optional<ScanFace> defaultScanFace(double size, bool bold)
{
    const QStringList families = scanFaceFamilies();
    if (families.isEmpty())
        return std::nullopt;
    const QString& family = families.back();
    const bool hasBold = bold && familyHasFace(family, true, false);
    return ScanFace{family, postScriptNameOf(makeFont({family}, size, hasBold, false)), hasBold, size, 0};
}

}  // namespace zelvane::fonts
