#include "Graphemes.h"

#include <gtest/gtest.h>
#include <QTextBoundaryFinder>

using namespace zelvane;

namespace {

qsizetype finderCount(const QString& text)
{
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text);
    qsizetype count = 0;
    while (finder.toNextBoundary() >= 0)
        ++count;
    return count;
}

}  // namespace

// Every pair of characters below U+0300, and a few longer texts, count and
// cut as Qt's grapheme boundaries do.
TEST(GraphemesTest, LatinTextCountsAndCutsAsTheBoundaryFinderDoes)
{
    QString pair(2, QChar());
    for (char16_t a = 0; a < 0x300; ++a) {
        pair[0] = QChar(a);
        for (char16_t b = 0; b < 0x300; ++b) {
            pair[1] = QChar(b);
            const qsizetype expected = finderCount(pair);
            ASSERT_EQ(graphemeCount(pair), expected) << int(a) << " " << int(b);
            ASSERT_EQ(leadingGraphemes(pair, 1).size(), expected == 1 ? 2 : 1) << int(a) << " " << int(b);
        }
    }
    for (const QString& text : {QString(), QStringLiteral("a\r\n\r\r\n\nb"), QStringLiteral("\r\n"),
                                QStringLiteral("\u00A9\u00AE \u00AD-\u02FF\u0001")}) {
        EXPECT_EQ(graphemeCount(text), finderCount(text)) << text.toStdString();
    }
    EXPECT_EQ(leadingGraphemes(QStringLiteral("a\r\nbc"), 2), QStringLiteral("a\r\n"));
    EXPECT_EQ(leadingGraphemes(QStringLiteral("abc"), 3), QStringLiteral("abc"));
    EXPECT_EQ(leadingGraphemes(QStringLiteral("abc"), 5), QStringLiteral("abc"));
    EXPECT_EQ(leadingGraphemes(QStringLiteral("abc"), 0), QString());
}

TEST(GraphemesTest, AccentsAndSurrogatePairsJoinTheirLetter)
{
    // e + combining acute, an emoji (surrogate pair), and a Latin letter.
    const QString text = QStringLiteral("e\u0301\U0001F600x");
    EXPECT_EQ(graphemeCount(text), 3);
    EXPECT_EQ(leadingGraphemes(text, 1), QStringLiteral("e\u0301"));
    EXPECT_EQ(leadingGraphemes(text, 2), QStringLiteral("e\u0301\U0001F600"));
}
