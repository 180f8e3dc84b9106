#include "canvas/render/ImageLRU.h"
#include "canvas/render/PictureBudget.h"

#include <gtest/gtest.h>

using namespace zelvane;

namespace {

// An entry of 100 x 100 pixels: 40,000 bytes of pixels.
ImageLRUEntry picture()
{
    ImageLRUEntry entry;
    entry.image = QImage(100, 100, QImage::Format_ARGB32_Premultiplied);
    return entry;
}

constexpr qint64 kPicture = 100 * 100 * 4;

}  // namespace

TEST(PictureBudgetTest, TheLeastRecentlyUsedPictureOfAnyCacheGoesFirst)
{
    PictureBudget budget(5 * kPicture + 5 * 1024);
    ImageLRU cards(100 * kPicture, &budget);
    ImageLRU backdrops(100 * kPicture, &budget);
    cards.insert("c1", picture());
    backdrops.insert("b1", picture());
    cards.insert("c2", picture());
    backdrops.insert("b2", picture());
    cards.insert("c3", picture());
    EXPECT_EQ(budget.bytes(), cards.bytes() + backdrops.bytes());
    // c1 is used again: b1 is now the oldest of all.
    ASSERT_NE(cards.find("c1"), nullptr);
    backdrops.insert("b3", picture());
    EXPECT_EQ(backdrops.peek("b1"), nullptr);
    EXPECT_NE(cards.peek("c1"), nullptr);
    EXPECT_LE(budget.bytes(), budget.budget());
    // A busy cache takes the memory of an idle one.
    for (int i = 0; i < 20; ++i)
        backdrops.insert("more" + QByteArray::number(i), picture());
    EXPECT_EQ(cards.count(), 0);
    EXPECT_EQ(backdrops.count(), 5);
    EXPECT_LE(budget.bytes(), budget.budget());
    EXPECT_EQ(budget.bytes(), cards.bytes() + backdrops.bytes());
}

TEST(PictureBudgetTest, EachCacheKeepsItsOwnBoundAndGivesBackWhatItHeld)
{
    PictureBudget budget(100 * kPicture);
    {
        ImageLRU small(2 * kPicture + 1024, &budget);
        for (const char* key : {"a", "b", "c"})
            small.insert(key, picture());
        EXPECT_EQ(small.count(), 2);
        EXPECT_EQ(small.peek("a"), nullptr);
        // Replacing an entry counts it once.
        small.insert("c", picture());
        EXPECT_EQ(small.count(), 2);
        EXPECT_EQ(budget.bytes(), small.bytes());
        // A picture larger than the shared budget is not kept.
        ImageLRUEntry huge;
        huge.image = QImage(1000, 1000, QImage::Format_ARGB32_Premultiplied);
        ImageLRU big(1LL << 40, &budget);
        big.insert("huge", std::move(huge));
        EXPECT_EQ(big.count(), 0);
        small.removeIf([](const QByteArray& key, const ImageLRUEntry&) { return key == "b"; });
        EXPECT_EQ(small.count(), 1);
        EXPECT_EQ(budget.bytes(), small.bytes());
    }
    EXPECT_EQ(budget.bytes(), 0);
}
