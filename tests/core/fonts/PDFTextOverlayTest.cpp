// What the PDF overlay writes for held lines: numbers exactly halfway
// between two that can be written are rounded to the even one (as
// std::to_chars rounds the exact value), and a page of many lines is written
// whole, every line in the order it was held; a line held far off the page
// stays far off it.

#include "core/fonts/TestFonts.h"
#include "fonts/PDFTextOverlay.h"

#include <QFont>
#include <QImage>
#include <QPainter>
#include <QRawFont>

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

using namespace zelvane::PDFCodec;
namespace test = zelvane::testing;

namespace {

class PDFTextOverlayTest : public test::FontTestBase {
protected:
    void SetUp() override
    {
        test::FontTestBase::SetUp();
        if (IsSkipped())
            return;
        QFont font(QStringLiteral("Liberation Sans"));
        font.setPixelSize(8);
        m_raw = QRawFont::fromFont(font);
        if (m_raw.familyName() != QLatin1String("Liberation Sans"))
            GTEST_SKIP() << "Liberation Sans is not in the font database";
    }

    // `text` with its glyphs at `xs` on the baseline, each standing for its
    // character.
    PDFTextOverlay::HeldRun runOf(const QString& text, const QList<double>& xs) const
    {
        PDFTextOverlay::HeldRun held;
        held.run.setRawFont(m_raw);
        held.run.setGlyphIndexes(m_raw.glyphIndexesForString(text));
        QList<QPointF> positions;
        for (const double x : xs)
            positions.append(QPointF(x, 0));
        held.run.setPositions(positions);
        held.characters = text;
        return held;
    }

    QRawFont m_raw;
};

}  // namespace

TEST_F(PDFTextOverlayTest, NumbersHalfwayBetweenTwoAreRoundedToTheEvenOne)
{
    QImage image(64, 64, QImage::Format_ARGB32);
    QPainter painter(&image);
    // 1/128 and 3/128 lie halfway at six decimals, 1/32, 3/32 and 5/32 at four.
    painter.setWorldTransform(QTransform(1.0 / 128, 0, 0, 3.0 / 128, 0.5, -2.5));
    PDFTextOverlay overlay;
    overlay.startPage(0);
    ASSERT_TRUE(overlay.hold(painter, QPointF(1.0 / 32, 3.0 / 32), {runOf(QStringLiteral("A"), {0})}, Qt::black));
    ASSERT_TRUE(
        overlay.hold(painter, QPointF(-1.0 / 32, 12345 + 5.0 / 32), {runOf(QStringLiteral("B"), {0})}, Qt::black));
    painter.end();
    overlay.finish();

    ASSERT_EQ(overlay.pages().count(0), 1u);
    const QByteArray content = overlay.pages().at(0).content;
    EXPECT_TRUE(content.startsWith("q 0.007812 0 0 0.023438 0.5 -2.5 cm 0 0 0 rg\nBT\n/ZT0 8 Tf ")) << content.constData();
    EXPECT_TRUE(content.contains("1 0 0 -1 0.0312 0.0938 Tm [<00>] TJ\n")) << content.constData();
    EXPECT_TRUE(content.contains("1 0 0 -1 -0.0312 12345.1562 Tm [<01>] TJ\n")) << content.constData();
}

TEST_F(PDFTextOverlayTest, APageOfManyLinesIsWrittenWholeInTheOrderHeld)
{
    QImage image(64, 64, QImage::Format_ARGB32);
    QPainter painter(&image);
    PDFTextOverlay overlay;
    const QString text = QStringLiteral("The quick brown fox jumps over the lazy dog, again and again.");
    QList<double> xs;
    for (qsizetype i = 0; i < text.size(); ++i)
        xs.append(4.25 * double(i));
    constexpr int kLines = 600;  // far more than a page's first allowance
    for (const int page : {0, 1}) {
        overlay.startPage(page);
        for (int line = 0; line < kLines; ++line)
            ASSERT_TRUE(overlay.hold(painter, QPointF(10, line + 0.5), {runOf(text, xs)}, Qt::black));
    }
    painter.end();
    overlay.finish();

    ASSERT_EQ(overlay.pages().size(), 2u);
    for (const auto& [index, page] : overlay.pages()) {
        const QByteArray& content = page.content;
        EXPECT_GT(content.size(), 64 * 1024);
        EXPECT_EQ(content.count("BT\n"), kLines);
        EXPECT_EQ(content.count("ET Q\n"), kLines);
        EXPECT_TRUE(content.endsWith("] TJ\nET Q\n"));
        qsizetype from = 0;
        for (int line = 0; line < kLines; ++line) {
            const QByteArray start = "1 0 0 -1 10 " + QByteArray::number(line) + ".5 Tm [";
            const qsizetype at = content.indexOf(start, from);
            ASSERT_GE(at, from) << "page " << index << ", line " << line;
            from = at + start.size();
        }
    }
}

TEST_F(PDFTextOverlayTest, ALineHeldFarOffThePageIsWrittenFarOffIt)
{
    // Numbers too large to write as they are are written as the largest a
    // PDF reader takes, with their sign: never as zero, on the page; large
    // whole numbers as reals.
    QImage image(64, 64, QImage::Format_ARGB32);
    QPainter painter(&image);
    PDFTextOverlay overlay;
    overlay.startPage(0);
    const QList<double> far{1e60, -1e60, 1e300, -std::numeric_limits<double>::max(), 1e40,
                            -std::numeric_limits<double>::infinity()};
    for (const double x : far)
        ASSERT_TRUE(overlay.hold(painter, QPointF(x, 5), {runOf(QStringLiteral("A"), {0})}, Qt::black));
    // Its second glyph far along the line, its third back where it started.
    ASSERT_TRUE(overlay.hold(painter, QPointF(10, 20), {runOf(QStringLiteral("ABC"), {0, 1e70, 8})}, Qt::black));
    painter.setWorldTransform(QTransform(1e80, 0, 0, -1e80, -1e90, 1e90));
    ASSERT_TRUE(overlay.hold(painter, QPointF(0, 0), {runOf(QStringLiteral("B"), {0})}, Qt::black));
    painter.resetTransform();
    ASSERT_TRUE(overlay.hold(painter, QPointF(3e9, 5), {runOf(QStringLiteral("C"), {0})}, Qt::black));
    painter.end();
    overlay.finish();

    const QByteArray content = overlay.pages().at(0).content;
    const QList<QByteArray> lines = content.split('\n');
    QList<double> placed;
    QList<double> adjustments;
    QList<double> matrix;
    for (const QByteArray& line : lines) {
        const QList<QByteArray> words = line.split(' ');
        for (const QByteArray& word : words) {
            EXPECT_LE(word.size(), 63) << line.constData();
            EXPECT_FALSE(word.contains('e') && !word.startsWith('/') && word != "BT" && word != "ET")
                << line.constData();
            // Integers beyond 32 bits are more than PDF readers need read
            // (qpdf refuses those beyond 64).
            bool number = false;
            const double value = word.toDouble(&number);
            EXPECT_TRUE(!number || std::abs(value) <= 2147483647.0 || word.contains('.')) << word.constData();
        }
        if (const qsizetype at = words.indexOf("Tm"); at >= 2)
            placed.append(words[at - 2].toDouble());
        if (const qsizetype at = words.indexOf("Tm"); at >= 0 && line.contains("<01> "))
            adjustments.append(words[words.indexOf("[<00>") + 1].toDouble());
        if (line.startsWith("q ") && !line.startsWith("q 1 0 0 1 0 0 cm"))
            for (qsizetype k = 1; k <= 6; ++k)
                matrix.append(words[k].toDouble());
    }
    ASSERT_EQ(placed.size(), far.size() + 3);
    EXPECT_TRUE(content.contains(" 1 0 0 -1 3000000000.0 5 Tm ")) << content.constData();
    for (qsizetype i = 0; i < far.size(); ++i) {
        EXPECT_GE(std::abs(placed[i]), 1e37) << "line " << i << ": " << placed[i];
        EXPECT_LE(std::abs(placed[i]), 3.4e38) << "line " << i << ": " << placed[i];
        EXPECT_EQ(std::signbit(placed[i]), std::signbit(far[i])) << "line " << i;
    }
    // Against the text's way: a large step back, in thousandths of the size.
    ASSERT_EQ(adjustments.size(), 1);
    EXPECT_LE(adjustments[0], -1e37);
    ASSERT_EQ(matrix.size(), 6);
    EXPECT_GE(matrix[0], 1e37);
    EXPECT_LE(matrix[3], -1e37);
    EXPECT_LE(matrix[4], -1e37);
    EXPECT_GE(matrix[5], 1e37);
}
