#include "UiTestSupport.h"
#include "panels/inspector/ColorSwatchStrip.h"
#include "panels/inspector/CoordinateBadge.h"
#include "panels/inspector/DoubleSlider.h"
#include "panels/inspector/FontFamilyList.h"
#include "panels/inspector/InspectorFormat.h"
#include "panels/inspector/ProportionalSize.h"

#include <QFontDatabase>
#include <QAbstractButton>
#include <QTest>
#include <cmath>
#include <limits>

using namespace zelvane;
using namespace zelvane::testing;

namespace {

class InspectorControlsTest : public UiTest {};

void expectFrame(const VectorRect& frame, double x, double y, double w, double h)
{
    EXPECT_DOUBLE_EQ(frame.x, x);
    EXPECT_DOUBLE_EQ(frame.y, y);
    EXPECT_DOUBLE_EQ(frame.width, w);
    EXPECT_DOUBLE_EQ(frame.height, h);
}

}  // namespace

TEST_F(InspectorControlsTest, TheSizeRuleKeepsTheCentreAndFloorsRatioAndHeight)
{
    expectFrame(proportionalSizeFrame(VectorRect(0, 0, 200, 100), 100), 50, 25, 100, 50);
    // 300 × 5 at 36: the height would be 0.6.
    expectFrame(proportionalSizeFrame(VectorRect(0, 0, 300, 5), 36), 132, -3.5, 36, 12);
    // 10 × 400: ratio 0.025 taken as 0.05.
    expectFrame(proportionalSizeFrame(VectorRect(0, 0, 10, 400), 36), -13, -160, 36, 720);
    // 40 × 0.5: the height counts as 1.
    const VectorRect thin = proportionalSizeFrame(VectorRect(0, 0, 40, 0.5), 80);
    EXPECT_DOUBLE_EQ(thin.width, 80);
    EXPECT_DOUBLE_EQ(thin.height, 12);
    // Widths under 24 are raised to it.
    EXPECT_DOUBLE_EQ(proportionalSizeFrame(VectorRect(0, 0, 100, 100), 5).width, 24);
}

TEST_F(InspectorControlsTest, TheSizeRuleSurvivesZeroNegativeAndNonFiniteFrames)
{
    VectorRect zero;
    zero.width = 0;
    zero.height = 0;
    const VectorRect a = proportionalSizeFrame(zero, 36);
    EXPECT_DOUBLE_EQ(a.width, 36);
    EXPECT_DOUBLE_EQ(a.height, 720);
    VectorRect negative;
    negative.width = -50;
    negative.height = -20;
    const VectorRect b = proportionalSizeFrame(negative, 100);
    EXPECT_DOUBLE_EQ(b.width, 100);
    EXPECT_DOUBLE_EQ(b.height, 2000);
    VectorRect broken;
    broken.x = 10;
    broken.width = std::numeric_limits<double>::infinity();
    broken.height = std::nan("");
    const VectorRect c = proportionalSizeFrame(broken, 100);
    EXPECT_TRUE(std::isfinite(c.x) && std::isfinite(c.y) && std::isfinite(c.width) && std::isfinite(c.height));
    EXPECT_DOUBLE_EQ(c.x, 10);
    EXPECT_DOUBLE_EQ(c.width, 100);
}

TEST_F(InspectorControlsTest, BadgesRoundHalvesAwayFromZeroAndDashWhatHasNoWholeNumber)
{
    CoordinateBadge badge(QStringLiteral("X"));
    const std::pair<double, QString> cases[] = {
        {10.5, "11"},
        {-10.5, "-11"},
        {0.4, "0"},
        {-12, "-12"},
        {12345, "12345"},
        {std::nan(""), "—"},
        {std::numeric_limits<double>::infinity(), "—"},
        {1e300, "—"},
        {9.3e18, "—"},
    };
    for (const auto& [value, text] : cases) {
        badge.setValue(value);
        EXPECT_EQ(badge.valueText(), text) << value;
    }
    EXPECT_EQ(InspectorFormat::pointsOneDecimal(2), "2.0 pt");
    EXPECT_EQ(InspectorFormat::pointsOneDecimal(std::nan("")), "— pt");
    EXPECT_EQ(InspectorFormat::signedDegrees(0), "+0°");
    EXPECT_EQ(InspectorFormat::signedDegrees(-90), "-90°");
    EXPECT_EQ(InspectorFormat::signedDegrees(-1e300), "—°");
    EXPECT_EQ(InspectorFormat::wholePoints(499.5), "500 pt");
}

TEST_F(InspectorControlsTest, TheSliderClampsBeforeConvertingAndNeverEmitsForShownValues)
{
    DoubleSlider slider(6, 42);
    int edits = 0;
    QObject::connect(&slider, &DoubleSlider::valueEdited, [&edits] { ++edits; });
    slider.setDoubleValue(72);
    EXPECT_EQ(slider.value(), slider.maximum());
    slider.setDoubleValue(-1e308);
    EXPECT_EQ(slider.value(), slider.minimum());
    slider.setDoubleValue(std::numeric_limits<double>::infinity());
    EXPECT_EQ(slider.value(), slider.maximum());
    slider.setDoubleValue(std::nan(""));
    EXPECT_EQ(slider.value(), slider.minimum());
    slider.setDoubleValue(24);
    EXPECT_DOUBLE_EQ(slider.doubleValue(), 24);
    EXPECT_EQ(edits, 0);
}

TEST_F(InspectorControlsTest, TheFontListSortsByCodePointDropsEmptyNamesAndKeepsOneOfEach)
{
    // The free families installed here, metric-compatible ones among them,
    // and the element's own family even when this machine substitutes it.
    const QStringList offered = FontFamilyList::familyList(QStringLiteral("Helvetica"), {});
    for (const char* family : {"Liberation Sans", "Liberation Serif", "Liberation Mono", "Nimbus Sans",
                               "Nimbus Roman", "DejaVu Sans"})
        EXPECT_TRUE(offered.contains(QString::fromLatin1(family))) << family;
    EXPECT_TRUE(offered.contains(QStringLiteral("Helvetica")));
    for (const QString& family : offered) {
        if (family != QStringLiteral("Helvetica")) {
            EXPECT_TRUE(QFontDatabase::hasFamily(family)) << family.toStdString();
        }
    }
    EXPECT_FALSE(offered.contains(QStringLiteral("Helvetica Neue")));
    EXPECT_FALSE(offered.contains(QStringLiteral("Avenir Next")));
    QStringList sorted = offered;
    std::sort(sorted.begin(), sorted.end(), [](const QString& a, const QString& b) { return a.toUcs4() < b.toUcs4(); });
    EXPECT_EQ(offered, sorted);
    EXPECT_EQ(FontFamilyList::familyList(QStringLiteral("Liberation Serif"), {}).size(), offered.size() - 1);
    const QStringList withRegistered =
        FontFamilyList::familyList(QString(), {QStringLiteral("abc"), QString(), QStringLiteral(" ")});
    EXPECT_EQ(withRegistered.first(), " ");
    EXPECT_EQ(withRegistered.last(), "abc");
    EXPECT_FALSE(withRegistered.contains(QString()));

    FontFamilyList list;
    list.showFamilies(withRegistered, QString());
    EXPECT_EQ(list.currentIndex(), -1);
    list.showFamilies(withRegistered, QStringLiteral("Liberation Serif"));
    EXPECT_EQ(list.currentText(), "Liberation Serif");
}

TEST_F(InspectorControlsTest, TheStripOutlinesTheSwatchMatchingInAnyCaseAndReportsEveryClick)
{
    QList<std::optional<QString>> chosen;
    ColorSwatchStrip strip(true, [&chosen](const std::optional<QString>& hex) { chosen.append(hex); });
    strip.setCurrentHex(QStringLiteral("#dc2626"));
    EXPECT_EQ(strip.currentSwatchIndex(), 5);
    EXPECT_FALSE(strip.noneHighlighted());
    strip.setCurrentHex(QStringLiteral("#FFF"));
    EXPECT_EQ(strip.currentSwatchIndex(), -1);
    EXPECT_FALSE(strip.noneHighlighted());
    strip.setCurrentHex(QStringLiteral("none"));
    EXPECT_FALSE(strip.noneHighlighted());
    strip.setCurrentHex(std::nullopt);
    EXPECT_TRUE(strip.noneHighlighted());

    strip.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&strip));
    strip.setCurrentHex(QStringLiteral("#DC2626"));
    QTest::mouseClick(strip.swatchButton(5), Qt::LeftButton);
    QTest::mouseClick(strip.noneButton(), Qt::LeftButton);
    ASSERT_EQ(chosen.size(), 2);
    EXPECT_EQ(chosen[0], QStringLiteral("#DC2626"));
    EXPECT_FALSE(chosen[1].has_value());
    EXPECT_EQ(strip.swatchButton(1)->toolTip(), "Ink Blue (#1E3A8A)");
}
