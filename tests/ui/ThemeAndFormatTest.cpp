#include "UiTestSupport.h"
#include "model/VectorElement.h"
#include "theme/Format.h"
#include "theme/Theme.h"

#include <limits>

using namespace zelvane;

TEST(FormatTest, PercentRoundsHalvesAwayFromZero)
{
    EXPECT_EQ(Format::percent(1.0), QStringLiteral("100 %"));
    EXPECT_EQ(Format::percent(0.5), QStringLiteral("50 %"));
    EXPECT_EQ(Format::percent(2.6), QStringLiteral("260 %"));
    EXPECT_EQ(Format::percent(0.0), QStringLiteral("0 %"));
    EXPECT_EQ(Format::percent(0.125), QStringLiteral("13 %"));
    EXPECT_EQ(Format::percent(-0.125), QStringLiteral("-13 %"));
    EXPECT_EQ(Format::percent(6.0), QStringLiteral("600 %"));
}

TEST(FormatTest, PercentOfUnusableRatiosShowsADashOrClamps)
{
    EXPECT_EQ(Format::percent(std::numeric_limits<double>::quiet_NaN()), QStringLiteral("— %"));
    EXPECT_EQ(Format::percent(std::numeric_limits<double>::infinity()), QStringLiteral("— %"));
    EXPECT_EQ(Format::percent(-std::numeric_limits<double>::infinity()), QStringLiteral("— %"));
    EXPECT_EQ(Format::percent(std::numeric_limits<double>::max()), QStringLiteral("2147483647 %"));
    EXPECT_EQ(Format::percent(-std::numeric_limits<double>::max()), QStringLiteral("-2147483648 %"));
    EXPECT_EQ(Format::percent(1e12), QStringLiteral("2147483647 %"));
    EXPECT_EQ(Format::percent(-1e12), QStringLiteral("-2147483648 %"));
}

TEST(FormatTest, CountPicksSingularBelowTwo)
{
    EXPECT_EQ(Format::count(1, QStringLiteral("signature")), QStringLiteral("1 signature"));
    EXPECT_EQ(Format::count(0, QStringLiteral("signature")), QStringLiteral("0 signature"));
    EXPECT_EQ(Format::count(-3, QStringLiteral("page")), QStringLiteral("-3 page"));
    EXPECT_EQ(Format::count(3, QStringLiteral("signature")), QStringLiteral("3 signatures"));
    EXPECT_EQ(Format::count(2, QStringLiteral("élément"), QStringLiteral("éléments")), QStringLiteral("2 éléments"));
}

TEST(ThemeTest, ColoursAreOpaqueWholeBytes)
{
    const QList<QColor> colours{Theme::background(), Theme::panel(),   Theme::lane(),      Theme::laneAlt(),
                                Theme::laneSelected(), Theme::header(), Theme::separator(), Theme::text(),
                                Theme::textDim(),    Theme::textFaint(), Theme::accent(),  Theme::alive(),
                                Theme::standby(),    Theme::tcp(),      Theme::osc(),       Theme::warning(),
                                Theme::danger()};
    for (const QColor& colour : colours) {
        EXPECT_EQ(colour.alpha(), 255);
        EXPECT_EQ(colour.spec(), QColor::Rgb);
    }
    EXPECT_EQ(Theme::background().name(), QStringLiteral("#111317"));
    EXPECT_EQ(Theme::accent().name(), QStringLiteral("#ffb454"));
    EXPECT_EQ(Theme::danger().name(), QStringLiteral("#ff5c57"));
    EXPECT_EQ(Theme::textFaint().name(), QStringLiteral("#565d6a"));
}

TEST(ThemeTest, ElementTintFollowsTheKindAndThePDFTextState)
{
    const VectorRect frame{10, 10, 100, 20};
    auto element = [&frame](VectorElementKind kind) {
        return VectorElement::make(QStringLiteral("e"), std::move(kind), frame, 0, VectorStyle{});
    };
    EXPECT_EQ(Theme::elementTint(element(SignaturePayload{})), Theme::accent());
    EXPECT_EQ(Theme::elementTint(element(PathPayload{})), Theme::osc());
    EXPECT_EQ(Theme::elementTint(element(ShapePayload{})), Theme::alive());
    EXPECT_EQ(Theme::elementTint(element(StampPayload{})), Theme::warning());

    TextPayload text;
    text.text = QStringLiteral("Hello");
    EXPECT_EQ(Theme::elementTint(element(text)), Theme::standby());

    text.isPDFExtracted = true;
    text.originalPDFText = text.text;
    VectorElement fromPDF = element(text);
    ASSERT_FALSE(fromPDF.hasModifiedPDFText());
    EXPECT_EQ(Theme::elementTint(fromPDF), Theme::tcp());
    fromPDF.text()->text = QStringLiteral("Changed");
    ASSERT_TRUE(fromPDF.hasModifiedPDFText());
    EXPECT_EQ(Theme::elementTint(fromPDF), Theme::alive());
}
