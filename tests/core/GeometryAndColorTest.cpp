#include "model/RGBAColor.h"
#include "model/VectorGeometry.h"
#include "model/VectorStyle.h"

#include <gtest/gtest.h>
#include <cmath>
#include <cstdint>
#include <limits>

using namespace zelvane;

namespace {
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

void expectColor(const std::optional<RGBAColor>& color, double r, double g, double b, double a = 1)
{
    ASSERT_TRUE(color.has_value());
    EXPECT_NEAR(color->r, r, 1e-9);
    EXPECT_NEAR(color->g, g, 1e-9);
    EXPECT_NEAR(color->b, b, 1e-9);
    EXPECT_NEAR(color->a, a, 1e-9);
}
}  // namespace

TEST(VectorRectTest, InitialiserKeepsSidesAtLeastOneButFieldsDoNot)
{
    EXPECT_EQ(VectorRect(5, 5, 0, -3), VectorRect(5, 5, 1, 1));
    EXPECT_EQ(VectorRect(0, 0, kNaN, 7).width, 1);
    VectorRect r(0, 0, 10, 10);
    r.width = 0.2;
    EXPECT_EQ(r.width, 0.2);
    EXPECT_EQ(r.offsetBy(0, 0).width, 1);
    EXPECT_EQ(r.offsetBy(3, 4), VectorRect(3, 4, 1, 10));
}

TEST(VectorRectTest, InsetNeverBelowTwoAndNegativeInsetGrows)
{
    const VectorRect r(10, 20, 40, 40);
    const VectorRect inset = r.insetBy(50, 50);
    EXPECT_EQ(inset.x, 60);
    EXPECT_EQ(inset.y, 70);
    EXPECT_EQ(inset.width, 2);
    EXPECT_EQ(inset.height, 2);
    EXPECT_EQ(r.insetBy(-5, -1), VectorRect(5, 19, 50, 42));
}

TEST(VectorRectTest, BoundingGrowsRightAndDownFromTheMinimum)
{
    EXPECT_EQ(VectorRect::bounding({}, 0), VectorRect(0, 0, 1, 1));
    EXPECT_EQ(VectorRect::bounding({{3, 4}}, 10), VectorRect(3, 4, 10, 10));
    EXPECT_EQ(VectorRect::bounding({{0, 0}, {30, 2}}, 8), VectorRect(0, 0, 30, 8));
    EXPECT_EQ(VectorRect::bounding({{5, 9}, {-5, 2}, {1, 20}}, 0), VectorRect(-5, 2, 10, 18));
}

TEST(VectorRectTest, EdgesAreInclusive)
{
    const VectorRect r(0, 0, 10, 10);
    EXPECT_TRUE(r.contains({10, 10}));
    EXPECT_TRUE(r.contains({0, 5}));
    EXPECT_FALSE(r.contains({10.01, 5}));
    EXPECT_TRUE(r.contains({12, 5}, 2));
    EXPECT_TRUE(r.intersects(VectorRect(10, 0, 5, 5)));
    EXPECT_TRUE(r.intersects(VectorRect(10, 10, 5, 5)));
    EXPECT_FALSE(r.intersects(VectorRect(10.5, 0, 5, 5)));
    EXPECT_EQ(r.center(), (VectorPoint{5, 5}));
}

TEST(VectorPointTest, DistanceAndInterpolation)
{
    EXPECT_DOUBLE_EQ((VectorPoint{0, 0}.distance({3, 4})), 5);
    EXPECT_DOUBLE_EQ((VectorPoint{0, 0}.distance({1e200, 1e200})), std::hypot(1e200, 1e200));
    EXPECT_EQ((VectorPoint{0, 0}.interpolated({10, 20}, 1.5)), (VectorPoint{15, 30}));
}

TEST(RGBAColorTest, ReadsHexadecimalForms)
{
    expectColor(RGBAColor::fromHex(QStringLiteral("  #ABC\n")), 0xAA / 255.0, 0xBB / 255.0, 0xCC / 255.0);
    expectColor(RGBAColor::fromHex(QStringLiteral("FFF")), 1, 1, 1);
    expectColor(RGBAColor::fromHex(QStringLiteral("#AABBCC80")), 0xAA / 255.0, 0xBB / 255.0, 0xCC / 255.0,
                0x80 / 255.0);
    expectColor(RGBAColor::fromHex(QStringLiteral("#aabbcc")), 0xAA / 255.0, 0xBB / 255.0, 0xCC / 255.0);
    expectColor(RGBAColor::fromHex(QStringLiteral("+ABCDE")), 0x0A / 255.0, 0xBC / 255.0, 0xDE / 255.0);
}

TEST(RGBAColorTest, DigitsWrittenAsThisProgramWritesThemReadAsAnyOtherSpelling)
{
    // "#" and six or eight digits are read at once; spaces around them take
    // the general reading, which must agree, and a character that is no
    // digit anywhere leaves it to that reading too.
    const QString digits = QStringLiteral("0123456789abcdefABCDEF");
    std::uint32_t state = 12345;
    const auto next = [&] { return state = state * 1664525u + 1013904223u; };
    for (int k = 0; k < 2000; ++k) {
        QString text = QStringLiteral("#");
        const int count = k % 2 ? 8 : 6;
        for (int i = 0; i < count; ++i)
            text += digits[qsizetype(next() >> 8) % digits.size()];
        if (k % 7 == 0)
            text[qsizetype(1 + (next() >> 8) % quint32(count))] = QLatin1Char(k % 3 ? 'g' : '+');
        const auto fast = RGBAColor::fromHex(text);
        const auto general = RGBAColor::fromHex(QLatin1Char(' ') + text + QLatin1Char('\t'));
        ASSERT_EQ(fast.has_value(), general.has_value()) << text.toStdString();
        if (fast) {
            EXPECT_EQ(*fast, *general) << text.toStdString();
        }
    }
    expectColor(RGBAColor::fromHex(QStringLiteral("#0A1b2C")), 0x0A / 255.0, 0x1B / 255.0, 0x2C / 255.0);
    expectColor(RGBAColor::fromHex(QStringLiteral("#FfEe0080")), 1, 0xEE / 255.0, 0, 0x80 / 255.0);
}

TEST(RGBAColorTest, ReadsNamesAndFunctionalForm)
{
    expectColor(RGBAColor::fromHex(QStringLiteral("Navy")), 0.12, 0.25, 0.69);
    expectColor(RGBAColor::fromHex(QStringLiteral(" GREY ")), 0.54, 0.57, 0.62);
    expectColor(RGBAColor::fromHex(QStringLiteral("Gold")), 1.0, 0.706, 0.329);
    expectColor(RGBAColor::fromHex(QStringLiteral("red")), 1.0, 0.36, 0.34);
    expectColor(RGBAColor::fromHex(QStringLiteral("rgb(300, -20, 12.75)")), 1, 0, 0.05);
    expectColor(RGBAColor::fromHex(QStringLiteral("RGB(255,128,0)")), 1, 128 / 255.0, 0);
    expectColor(RGBAColor::fromHex(QStringLiteral("rgb(10, x, 20, 30)")), 10 / 255.0, 20 / 255.0, 30 / 255.0);
    expectColor(RGBAColor::fromHex(QStringLiteral("rgb(1,,2,\t3 )")), 1 / 255.0, 2 / 255.0, 3 / 255.0);
}

TEST(RGBAColorTest, RejectsEverythingElse)
{
    for (const char* text : {"#red", "rgba(1,2,3,0.5)", "#abcd", "0xFFFFFF", "#12345", "rgb(10,20)", "None",
                             "TRANSPARENT", "", "   ", "#GGGGGG", "-ABCDE", "#ÀBCDEF", "blurple", "##ABC"}) {
        EXPECT_FALSE(RGBAColor::fromHex(QString::fromUtf8(text)).has_value()) << text;
    }
    EXPECT_FALSE(RGBAColor::fromHex(std::optional<QString>()).has_value());
}

TEST(RGBAColorTest, WritesSixUpperCaseDigitsWithoutAlpha)
{
    EXPECT_EQ(RGBAColor(1, 0.5, 0, 0.3).hexString(), QStringLiteral("#FF8000"));
    EXPECT_EQ(RGBAColor::fromHex(QStringLiteral("#aabbcc80"))->hexString(), QStringLiteral("#AABBCC"));
    const RGBAColor clamped(2, -1, 0.5, 7);
    EXPECT_EQ(clamped, RGBAColor(1, 0, 0.5, 1));
    EXPECT_EQ(RGBAColor(kNaN, 0, 0, kNaN), RGBAColor(0, 0, 0, 0));
    // Out-of-range fields set directly still write two digits per channel.
    RGBAColor wild;
    wild.r = 3;
    wild.g = -2;
    wild.b = kNaN;
    EXPECT_EQ(wild.hexString(), QStringLiteral("#FF0000"));
    // Every byte of every channel, as printf writes it.
    for (int value = 0; value < 256; ++value) {
        const double unit = value / 255.0;
        EXPECT_EQ(RGBAColor(unit, 0, 0, 1).hexString(), QString::asprintf("#%02X0000", value));
        EXPECT_EQ(RGBAColor(0, unit, 0, 1).hexString(), QString::asprintf("#00%02X00", value));
        EXPECT_EQ(RGBAColor(0, 0, unit, 1).hexString(), QString::asprintf("#0000%02X", value));
    }
}

TEST(VectorStyleTest, InitialiserClampsWidthAndOpacityOnly)
{
    EXPECT_EQ(VectorStyle(std::nullopt, std::nullopt, -3, 1, false).strokeWidth, 0);
    EXPECT_EQ(VectorStyle(std::nullopt, std::nullopt, 1, 0, false).opacity, 0.05);
    EXPECT_EQ(VectorStyle(std::nullopt, std::nullopt, 1, 1.7, false).opacity, 1);
    EXPECT_EQ(VectorStyle(std::nullopt, std::nullopt, 1, kNaN, false).opacity, 0.05);
    EXPECT_EQ(VectorStyle(std::nullopt, std::nullopt, kNaN, 1, false).strokeWidth, 0);
    const VectorStyle odd(QStringLiteral("blurple"), std::nullopt, 1, 1, false);
    EXPECT_EQ(odd.strokeColorHex, QStringLiteral("blurple"));
    EXPECT_NE(VectorStyle(QStringLiteral("#FFB454"), std::nullopt, 1, 1, false),
              VectorStyle(QStringLiteral("#ffb454"), std::nullopt, 1, 1, false));
    VectorStyle direct = VectorStyle::defaultShape();
    direct.opacity = 0;
    EXPECT_EQ(direct.opacity, 0);
    EXPECT_EQ(VectorStyle::defaultText().strokeWidth, 0);
    EXPECT_FALSE(VectorStyle::defaultText().strokeColorHex.has_value());
    EXPECT_EQ(VectorStyle::defaultInk().strokeColorHex, QStringLiteral("#1E3A8A"));
    EXPECT_EQ(VectorStyle::defaultShape().fillColorHex, QStringLiteral("#FFB454"));
}
