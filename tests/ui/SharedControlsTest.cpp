#include "UiTestSupport.h"
#include "controls/Chip.h"
#include "controls/FieldRow.h"
#include "controls/IconButton.h"
#include "controls/SectionHeader.h"
#include "controls/SymbolIcon.h"
#include "controls/TextButton.h"
#include "controls/VectorHeroGraphic.h"
#include "theme/Theme.h"

#include <QLabel>
#include <QLayout>
#include <QPainter>
#include <QTest>

using namespace zelvane;

namespace {

using SharedControlsTest = zelvane::testing::UiTest;

// Shows a widget in a window of its own and waits for it.
template <class W>
void showAlone(W& widget)
{
    widget.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&widget));
}

QColor centrePixel(QWidget& widget, int x = -1)
{
    const QImage image = widget.grab().toImage();
    return image.pixelColor(x < 0 ? image.width() / 2 : x, 1 + image.height() / 8);
}

}  // namespace

TEST_F(SharedControlsTest, TextButtonColoursFollowItsStyleFlags)
{
    TextButton plain(QStringLiteral("Plain"));
    EXPECT_EQ(plain.foregroundColor(), Theme::text());
    EXPECT_EQ(plain.backgroundColor(), Theme::white(0.07));

    TextButton prominent(QStringLiteral("Go"));
    prominent.setProminent(true);
    EXPECT_EQ(prominent.backgroundColor(), Theme::accent());
    EXPECT_EQ(prominent.foregroundColor(), Theme::background());

    // Destructive with a tint: filled with the tint, not danger.
    TextButton tinted(QStringLiteral("Delete"));
    tinted.setDestructive(true);
    tinted.setTint(Theme::osc());
    EXPECT_EQ(tinted.backgroundColor(), Theme::osc());
    EXPECT_EQ(tinted.foregroundColor(), Theme::background());

    TextButton danger(QStringLiteral("Delete"));
    danger.setDestructive(true);
    EXPECT_EQ(danger.backgroundColor(), Theme::danger());

    TextButton tintOnly(QStringLiteral("Tag"));
    tintOnly.setTint(Theme::tcp());
    EXPECT_EQ(tintOnly.foregroundColor(), Theme::tcp());
    EXPECT_EQ(tintOnly.backgroundColor(), Theme::withOpacity(Theme::tcp(), 0.14));

    prominent.setEnabled(false);
    EXPECT_EQ(prominent.backgroundColor(), Theme::withOpacity(Theme::accent(), 0.35));
    EXPECT_EQ(prominent.foregroundColor(), Theme::textFaint());
    plain.setEnabled(false);
    EXPECT_EQ(plain.backgroundColor(), Theme::white(0.02));
}

TEST_F(SharedControlsTest, TextButtonRunsItsActionOnClickOnlyWhenEnabled)
{
    int clicks = 0;
    TextButton button(QStringLiteral("Export"), [&clicks] { ++clicks; });
    showAlone(button);
    QTest::mouseClick(&button, Qt::LeftButton);
    EXPECT_EQ(clicks, 1);
    // The whole padded area is the hit area.
    QTest::mouseClick(&button, Qt::LeftButton, {}, QPoint(1, 1));
    EXPECT_EQ(clicks, 2);
    button.setEnabled(false);
    QTest::mouseClick(&button, Qt::LeftButton);
    EXPECT_EQ(clicks, 2);
}

TEST_F(SharedControlsTest, TextButtonSizeFollowsTitleSymbolAndCompactness)
{
    TextButton bare(QStringLiteral("Export"));
    TextButton withSymbol(QStringLiteral("Export"));
    withSymbol.setSymbol(QStringLiteral("square.and.arrow.up"));
    EXPECT_GT(withSymbol.sizeHint().width(), bare.sizeHint().width());
    TextButton compact(QStringLiteral("Export"));
    compact.setCompact(true);
    EXPECT_LT(compact.sizeHint().width(), bare.sizeHint().width());
    EXPECT_LT(compact.sizeHint().height(), bare.sizeHint().height());
}

TEST_F(SharedControlsTest, HoveringBrightensAButton)
{
    TextButton button(QStringLiteral("Hover"));
    showAlone(button);
    const QColor resting = button.backgroundColor();
    QEnterEvent enter(QPointF(5, 5), QPointF(5, 5), QPointF(5, 5));
    QApplication::sendEvent(&button, &enter);
    EXPECT_TRUE(button.hovered());
    ASSERT_TRUE(QTest::qWaitFor([&button] { return button.hoverProgress() == 1.0; }, 2000));
    EXPECT_EQ(button.backgroundColor(), Theme::white(0.11));
    EXPECT_NE(button.backgroundColor(), resting);
}

TEST_F(SharedControlsTest, IconButtonKeepsItsTintWhenActiveAndDisabled)
{
    int clicks = 0;
    IconButton button(QStringLiteral("trash"), QStringLiteral("Delete"), [&clicks] { ++clicks; });
    EXPECT_EQ(button.size(), QSize(26, 24));
    EXPECT_EQ(button.toolTip(), QStringLiteral("Delete"));
    EXPECT_EQ(button.backgroundColor(), Theme::white(0.06));
    button.setTint(Theme::alive());
    button.setActive(true);
    EXPECT_EQ(button.backgroundColor(), Theme::alive());
    EXPECT_EQ(button.foregroundColor(), Theme::background());
    button.setEnabled(false);
    EXPECT_EQ(button.backgroundColor(), Theme::alive());
    EXPECT_EQ(button.foregroundColor(), Theme::textFaint());
    button.setActive(false);
    EXPECT_EQ(button.backgroundColor(), Theme::white(0.02));

    button.setEnabled(true);
    showAlone(button);
    QTest::mouseClick(&button, Qt::LeftButton, {}, QPoint(1, 1));
    EXPECT_EQ(clicks, 1);
}

TEST_F(SharedControlsTest, ChipIsFilledOrFaint)
{
    Chip chip(QStringLiteral("PDF"), Theme::tcp());
    EXPECT_EQ(chip.foregroundColor(), Theme::tcp());
    EXPECT_EQ(chip.backgroundColor(), Theme::withOpacity(Theme::tcp(), 0.14));
    chip.setFilled(true);
    EXPECT_EQ(chip.foregroundColor(), Theme::background());
    EXPECT_EQ(chip.backgroundColor(), Theme::tcp());
    chip.resize(chip.sizeHint());
    showAlone(chip);
    EXPECT_EQ(centrePixel(chip, 1), Theme::tcp());
}

TEST_F(SharedControlsTest, SectionHeaderShowsItsTitleInCapitalsWithTwoPointsBelow)
{
    auto* trailing = new QLabel(QStringLiteral("3"));
    SectionHeader header(QStringLiteral("pages"), trailing);
    EXPECT_EQ(header.titleLabel()->text(), QStringLiteral("PAGES"));
    EXPECT_EQ(header.layout()->contentsMargins(), QMargins(0, 0, 0, 2));
    header.resize(300, header.sizeHint().height());
    showAlone(header);
    EXPECT_EQ(trailing->geometry().right(), header.width() - 1);
    EXPECT_EQ(trailing->parentWidget(), &header);
}

TEST_F(SharedControlsTest, FieldRowKeepsItsLabelColumnWidth)
{
    for (const QString& label : {QStringLiteral("W"), QStringLiteral("A very long label indeed")}) {
        auto* content = new QLabel(QStringLiteral("content"));
        FieldRow row(label, 60, content);
        row.resize(400, 30);
        showAlone(row);
        EXPECT_EQ(row.labelWidget()->width(), 60);
        EXPECT_EQ(content->x(), 60 + 8);
        EXPECT_EQ(row.labelWidget()->text(), label);
    }
}

TEST_F(SharedControlsTest, HeroGraphicDrawsTheSheetsAtTheirPlaces)
{
    VectorHeroGraphic hero(100);
    EXPECT_EQ(hero.size(), QSize(100, 100));
    QImage image(100, 100, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    VectorHeroGraphic::draw(painter, 100, 100);
    painter.end();
    // Inside the front sheet (20, 22, 52, 64) away from bars and curve: panel.
    EXPECT_EQ(image.pixelColor(60, 40), Theme::panel());
    // Inside the back sheet only (28, 16, 50, 62): laneAlt.
    EXPECT_EQ(image.pixelColor(74, 30), Theme::laneAlt());
    // The first text bar at x 28, y 30.32, width 20.8: tcp.
    EXPECT_EQ(image.pixelColor(35, 31), Theme::tcp());
    // The control point disc at P0 (28, 72): alive.
    EXPECT_EQ(image.pixelColor(28, 72), Theme::alive());
    // Outside everything: transparent.
    EXPECT_EQ(image.pixelColor(2, 2).alpha(), 0);
}

TEST_F(SharedControlsTest, SymbolsComeFromTheThemeOrTheBundleElseAPlainGlyph)
{
    // A tool symbol that no icon theme names: the bundled drawing.
    EXPECT_FALSE(SymbolIcon::icon(QStringLiteral("signature")).isNull());
    // A common action: the icon theme's.
    EXPECT_FALSE(SymbolIcon::icon(QStringLiteral("trash")).isNull());
    EXPECT_TRUE(SymbolIcon::icon(QStringLiteral("no.such.symbol")).isNull());

    for (const QString& symbol : {QStringLiteral("signature"), QStringLiteral("trash"), QStringLiteral("no.such")}) {
        SCOPED_TRACE(symbol.toStdString());
        const QImage image = SymbolIcon::tinted(symbol, 16, Theme::accent()).toImage();
        ASSERT_EQ(image.size(), QSize(16, 16));
        int inked = 0;
        for (int y = 0; y < 16; ++y) {
            for (int x = 0; x < 16; ++x) {
                const QColor pixel = image.pixelColor(x, y);
                if (pixel.alpha() == 255) {
                    ++inked;
                    EXPECT_EQ(pixel.rgb(), Theme::accent().rgb());
                }
            }
        }
        EXPECT_GT(inked, 5);
    }
}
