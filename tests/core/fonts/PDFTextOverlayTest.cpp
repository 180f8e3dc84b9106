// What the PDF overlay writes for held lines: numbers exactly halfway
// between two that can be written are rounded to the even one (as
// std::to_chars rounds the exact value), and a page of many lines is written
// whole, every line in the order it was held.

#include "core/fonts/TestFonts.h"
#include "fonts/PDFTextOverlay.h"

#include <QFont>
#include <QImage>
#include <QPainter>
#include <QRawFont>

#include <gtest/gtest.h>

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
