#include "fonts/PrintedLinePlacement.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace zelvane::PDFCodec;

namespace {

// A plain layout where every character is `advance` wide.
QList<double> evenly(const QString& text, double advance)
{
    QList<double> x;
    for (qsizetype i = 0; i <= text.size(); ++i)
        x.append(double(i) * advance);
    return x;
}

// A line printed with characters 5 wide and word spaces 9 wide (justified).
PrintedLine justified(const QString& text)
{
    PrintedLine line{text, {}};
    double x = 0;
    for (const QChar c : text) {
        line.x.append(c.isSpace() ? std::nan("") : x);
        x += c.isSpace() ? 9 : 5;
    }
    return line;
}

}  // namespace

TEST(PrintedLinePlacementTest, AnUnchangedLineTakesEveryPrintedPlace)
{
    const QString text = QStringLiteral("ab cd ef");
    const PrintedLine printed = justified(text);
    const QList<double> natural = evenly(text, 5);
    const QList<double> shifts = printedShifts(printed, natural, text, natural);
    ASSERT_EQ(shifts.size(), text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (!text[i].isSpace()) {
            EXPECT_DOUBLE_EQ(natural[i] + shifts[i], printed.x[i]) << i;
        }
    }
}

TEST(PrintedLinePlacementTest, AChangedWordFlowsAndTheWordsAfterItMoveByTheChange)
{
    const PrintedLine printed = justified(QStringLiteral("ab cd ef"));  // a 0, c 19, e 38
    const QString edited = QStringLiteral("ab wxyz ef");                 // "cd" became two letters longer
    const QList<double> shifts =
        printedShifts(printed, evenly(printed.text, 5), edited, evenly(edited, 5));
    const QList<double> natural = evenly(edited, 5);
    // Kept before the change: at its printed place.
    EXPECT_DOUBLE_EQ(natural[1] + shifts[1], 5);
    // The changed word follows "ab" after a word space as wide as the print's.
    EXPECT_DOUBLE_EQ(natural[3] + shifts[3], 19);
    EXPECT_DOUBLE_EQ(natural[6] + shifts[6], 34);
    // "ef" keeps its printed gap to the change and moves by its 10 extra points.
    EXPECT_DOUBLE_EQ(natural[8] + shifts[8], 48);
    EXPECT_DOUBLE_EQ(natural[9] + shifts[9], 53);
}

TEST(PrintedLinePlacementTest, LettersWithoutAPrintedPlaceFollowTheLetterBefore)
{
    PrintedLine printed = justified(QStringLiteral("office"));
    printed.x[2] = std::nan("");  // "ff" printed as one glyph
    const QList<double> natural = evenly(printed.text, 4);
    const QList<double> shifts = printedShifts(printed, natural, printed.text, natural);
    EXPECT_DOUBLE_EQ(shifts[2], shifts[1]);
    EXPECT_DOUBLE_EQ(natural[3] + shifts[3], 15);
}

TEST(PrintedLinePlacementTest, ALineWithNoWordLeftIsSetPlainly)
{
    const PrintedLine printed = justified(QStringLiteral("ab cd"));
    const QString edited = QStringLiteral("xy zw");
    for (const double shift : printedShifts(printed, evenly(printed.text, 5), edited, evenly(edited, 5)))
        EXPECT_EQ(shift, 0);
}
