#include "CanvasTestSupport.h"
#include "theme/Theme.h"
#include "canvas/render/SceneDrawing.h"
#include "canvas/render/VectorSceneRenderCache.h"
#include "core/fonts/TestFonts.h"
#include "core/support/TestPDF.h"

#include <QPainter>
#include <cmath>
#include <limits>

using namespace zelvane;
using namespace zelvane::testing;

namespace {

const QColor kPane(0x2A, 0x2D, 0x33);

VectorElement shape(VectorShapeType type, VectorRect frame, std::optional<QString> stroke,
                    std::optional<QString> fill = std::nullopt, double width = 1, bool dashed = false)
{
    return VectorElement::make(QStringLiteral("shape"), ShapePayload::make(type, 0, false, false), frame, 0,
                               VectorStyle(std::move(stroke), std::move(fill), width, 1, dashed));
}

VectorElement text(const QString& content, VectorRect frame, const QString& color = QStringLiteral("#000000"))
{
    TextPayload payload;
    payload.text = content;
    payload.fontFamily = QStringLiteral("Liberation Sans");
    payload.fontSize = 14;
    return VectorElement::make(QStringLiteral("text"), payload, frame, 0,
                               VectorStyle(std::nullopt, color, 0, 1, false));
}

class SceneDrawingTest : public CanvasTest {
protected:
    QImage draw(const VectorPage& page, const PageCanvasGeometry& geom, const SceneOverlay& overlay = {})
    {
        QImage image = blankImage(geom.paneSize.toSize(), kPane);
        QPainter painter(&image);
        const auto tiles = cache.backdropImages(page, geom.scale(), geom.visiblePageRect().toQRectF(),
                                                VectorSceneRenderCache::BackdropWait::exact);
        drawSinglePageScene(painter, page, geom, cache.geometries(page, ++revision), tiles, overlay, cache);
        return image;
    }

    // Where dark runs start along the darkest row near y, from x0 to x1.
    static QList<int> runStarts(const QImage& image, int nearY, int x0, int x1)
    {
        int y = nearY;
        int most = -1;
        for (int row = nearY - 3; row <= nearY + 3; ++row) {
            const int dark = countNear(image, Qt::black, QRect(x0, row, x1 - x0, 1), 100);
            if (dark > most) {
                most = dark;
                y = row;
            }
        }
        QList<int> starts;
        bool inside = false;
        for (int x = x0; x < x1; ++x) {
            const bool dark = qGray(image.pixel(x, y)) < 128;
            if (dark && !inside)
                starts.append(x);
            inside = dark;
        }
        return starts;
    }

    static double meanPeriod(const QList<int>& starts)
    {
        if (starts.size() < 3)
            return 0;
        return double(starts.last() - starts.first()) / double(starts.size() - 1);
    }

    VectorSceneRenderCache cache;
    quint64 revision = 0;
};

}  // namespace

TEST_F(SceneDrawingTest, ArrowsGetFilledHeadsAndNothingWithoutColours)
{
    VectorPage page = blankPage();
    page.elements = {shape(VectorShapeType::arrow, VectorRect(20, 20, 100, 50), QStringLiteral("#FF0000"))};
    const PageCanvasGeometry geom{QSizeF(400, 200), 200, 100, 1, QSizeF(0, 0), 0};
    const QImage image = draw(page, geom);
    // The head at the top-right corner (pane 240, 40) is filled well beyond
    // the shaft's width (2 pane points): 10 points back from the tip, 3
    // points aside is still red.
    const double theta = std::atan2(-100.0, 200.0);
    const QPointF back(240 - 10 * std::cos(theta), 40 - 10 * std::sin(theta));
    const QPointF across(back.x() - 3 * std::sin(theta), back.y() + 3 * std::cos(theta));
    EXPECT_TRUE(colorNear(image.pixel(back.toPoint()), Qt::red));
    EXPECT_TRUE(colorNear(image.pixel(across.toPoint()), Qt::red, 60));

    page.elements = {shape(VectorShapeType::arrow, VectorRect(20, 20, 100, 50), std::nullopt)};
    EXPECT_EQ(countNear(draw(page, geom), Qt::red, QRect(0, 0, 400, 200)), 0);
}

TEST_F(SceneDrawingTest, DashesFollowTheZoomNotThePageFit)
{
    VectorPage page = blankPage();
    page.elements = {shape(VectorShapeType::rectangle, VectorRect(20, 40, 160, 20), QStringLiteral("#000000"),
                           std::nullopt, 1, true)};
    // Fitted at two pane points per page point, zoom 1: 6 + 4 pane points.
    const QImage fitted = draw(page, PageCanvasGeometry{QSizeF(400, 200), 200, 100, 1, QSizeF(0, 0), 0});
    EXPECT_NEAR(meanPeriod(runStarts(fitted, 80, 60, 340)), 10, 0.6);
    // Zoom 2: 12 + 8.
    const QImage zoomed = draw(page, PageCanvasGeometry{QSizeF(200, 100), 200, 100, 2, QSizeF(0, 0), 0});
    EXPECT_NEAR(meanPeriod(runStarts(zoomed, 30, 0, 200)), 20, 0.6);
}

TEST_F(SceneDrawingTest, ThinStrokesKeepAFloor)
{
    VectorPage page = blankPage();
    page.elements = {shape(VectorShapeType::rectangle, VectorRect(20, 20, 160, 60), QStringLiteral("#000000"),
                           std::nullopt, 0.1)};
    const QImage image = draw(page, PageCanvasGeometry{QSizeF(200, 100), 200, 100, 1, QSizeF(0, 0), 0});
    // 0.1 page point would all but vanish (about 240 of 255); 0.8 pane
    // point still shows, if spread over two rows.
    int ink = 0;
    for (int y = 17; y <= 23; ++y)
        ink += 255 - qGray(image.pixel(100, y));
    EXPECT_GT(ink, 170);
}

TEST_F(SceneDrawingTest, SelectionHandlesTurnWithTheElementAndLockedOnesHaveNoKnob)
{
    VectorPage page = blankPage();
    VectorElement box = shape(VectorShapeType::rectangle, VectorRect(60, 30, 80, 40), std::nullopt,
                              QStringLiteral("#CCCCCC"));
    box.rotationDegrees = 30;
    page.elements = {box};
    const PageCanvasGeometry geom{QSizeF(400, 200), 200, 100, 1, QSizeF(0, 0), 0};
    SceneOverlay overlay;
    overlay.selection = {box.id};
    QImage image = draw(page, geom, overlay);

    const QRectF paneRect = geom.pageToPane(box.frame);
    for (const QPointF& corner : rotatedCornerHandles(paneRect, 30))
        EXPECT_TRUE(colorNear(image.pixel(corner.toPoint()), Theme::background(), 30));
    const QPointF knob = rotationHandlePoint(paneRect, 30);
    EXPECT_TRUE(colorNear(image.pixel(knob.toPoint()), Theme::accent()));
    // The angle label sits above the knob.
    EXPECT_GT(countNear(image, Theme::accent(), QRect(int(knob.x()) - 20, int(knob.y()) - 22, 40, 14)), 5);

    page.elements[0].locked = true;
    page.elements[0].rotationDegrees = 0.1;
    image = draw(page, geom, overlay);
    const QPointF straightKnob = rotationHandlePoint(paneRect, 0.1);
    EXPECT_FALSE(colorNear(image.pixel(straightKnob.toPoint()), Theme::accent()));
    EXPECT_TRUE(colorNear(image.pixel(paneRect.topLeft().toPoint()), Theme::background(), 30));
    EXPECT_EQ(countNear(image, Theme::accent(),
                        QRect(int(straightKnob.x()) - 20, int(straightKnob.y()) - 22, 40, 14)), 0);

    // Hidden elements get no frame.
    page.elements[0].visible = false;
    image = draw(page, geom, overlay);
    EXPECT_FALSE(colorNear(image.pixel(paneRect.topLeft().toPoint()), Theme::background(), 30));
}

TEST_F(SceneDrawingTest, MasksHideChangedPDFTextWhichIsDrawnAnew)
{
    // Black "printed text" at page (20, 20, 80, 20).
    TestPDFPage pdf;
    pdf.mediaBox = QRectF(0, 0, 200, 100);
    pdf.fills = {{QRectF(20, 60, 80, 20), Qt::black}};
    VectorPage page = VectorPage::make(QUuid::createUuid(), QStringLiteral("PDF"), 200, 100,
                                       QStringLiteral("#FFFFFF"), makeTestPDF({pdf}));
    VectorElement line = text(QStringLiteral("HHHH"), VectorRect(20, 20, 80, 20), QStringLiteral("#0000FF"));
    TextPayload& payload = *line.text();
    payload.isPDFExtracted = true;
    payload.originalPDFText = QStringLiteral("HHHH");
    payload.originalPDFRect = VectorRect(20, 20, 80, 20);
    payload.originalTextColorHex = QStringLiteral("#0000FF");
    payload.originalFontSize = 14;
    payload.maskColorHex = QStringLiteral("#FFFFFF");
    page.elements = {line};
    const PageCanvasGeometry geom{QSizeF(400, 200), 200, 100, 1, QSizeF(0, 0), 0};

    // Unchanged: the backdrop shows the print, the element is not drawn.
    QImage image = draw(page, geom);
    EXPECT_TRUE(colorNear(image.pixel(120, 60), Qt::black));
    EXPECT_EQ(countNear(image, Qt::blue, QRect(0, 0, 400, 200)), 0);
    // Its dashed box shows when PDF text boxes are on.
    SceneOverlay boxes;
    boxes.showPDFTextBoxes = true;
    image = draw(page, geom, boxes);
    int tinted = 0;
    for (int x = 36; x < 204; ++x) {
        // Just above the print (pane y 40), 1 point out: a faint cyan dash.
        for (int y = 36; y < 40; ++y)
            tinted += qBlue(image.pixel(x, y)) - qRed(image.pixel(x, y)) > 12 ? 1 : 0;
    }
    EXPECT_GT(tinted, 20);

    // Moved down: a mask hides the print, the text is drawn at its new place.
    page.elements[0].frame = VectorRect(20, 60, 80, 20);
    image = draw(page, geom);
    EXPECT_TRUE(colorNear(image.pixel(120, 60), Qt::white));
    EXPECT_GT(countNear(image, Qt::blue, QRect(40, 120, 160, 40), 60), 40);
    EXPECT_EQ(countNear(image, Qt::blue, QRect(40, 40, 160, 40), 60), 0);
}

TEST_F(SceneDrawingTest, ATurnedPDFLinesBoxTurnsWithIt)
{
    TestPDFPage pdf;
    pdf.mediaBox = QRectF(0, 0, 200, 200);
    VectorPage page = VectorPage::make(QUuid::createUuid(), QStringLiteral("PDF"), 200, 200,
                                       QStringLiteral("#FFFFFF"), makeTestPDF({pdf}));
    // A line 160 long, 10 high, centred at (100, 100) and running down the page.
    VectorElement line = text(QStringLiteral("HHHH"), VectorRect(20, 95, 160, 10));
    line.rotationDegrees = 90;
    TextPayload& payload = *line.text();
    payload.isPDFExtracted = true;
    payload.originalPDFText = QStringLiteral("HHHH");
    payload.originalPDFRect = line.frame;
    payload.originalTextColorHex = QStringLiteral("#000000");
    payload.originalFontSize = 14;
    payload.originalRotationDegrees = 90;
    page.elements = {line};
    const PageCanvasGeometry geom{QSizeF(200, 200), 200, 200, 1, QSizeF(0, 0), 0};
    SceneOverlay boxes;
    boxes.showPDFTextBoxes = true;
    const QImage image = draw(page, geom, boxes);
    const auto tinted = [&](const QRect& area) {
        int count = 0;
        for (int y = area.top(); y <= area.bottom(); ++y)
            for (int x = area.left(); x <= area.right(); ++x)
                count += qBlue(image.pixel(x, y)) - qRed(image.pixel(x, y)) > 12 ? 1 : 0;
        return count;
    };
    // Its long sides run down beside the centre; nothing lies along the unturned frame's ends.
    EXPECT_GT(tinted(QRect(88, 30, 8, 140)), 20);
    EXPECT_GT(tinted(QRect(104, 30, 8, 140)), 20);
    EXPECT_EQ(tinted(QRect(10, 85, 60, 30)), 0);
    EXPECT_EQ(tinted(QRect(130, 85, 60, 30)), 0);
}

TEST_F(SceneDrawingTest, TextLinesKeepEmptyLinesAndTheirColour)
{
    VectorPage page = blankPage(200, 200);
    page.elements = {text(QStringLiteral("HH\n\nHH"), VectorRect(20, 20, 100, 60), QStringLiteral("#000000"))};
    const PageCanvasGeometry geom{QSizeF(200, 200), 200, 200, 1, QSizeF(0, 0), 0};
    const QImage image = draw(page, geom);
    // Rows with ink: the first line near the top of the frame, the third two
    // line heights (2 x 1.25 x 14 = 35) below it, nothing in between.
    QList<int> inkRows;
    for (int y = 0; y < 200; ++y) {
        if (countNear(image, Qt::black, QRect(20, y, 100, 1), 80) > 0)
            inkRows.append(y);
    }
    ASSERT_FALSE(inkRows.isEmpty());
    const int firstTop = inkRows.first();
    EXPECT_GE(firstTop, 20);
    EXPECT_LT(firstTop, 26);
    EXPECT_TRUE(inkRows.contains(firstTop + 35));
    EXPECT_FALSE(inkRows.contains(firstTop + 20));
}

TEST_F(SceneDrawingTest, ALongTurnedElementCrossingTheViewIsDrawn)
{
    VectorPage page = blankPage();
    // A bar along the top edge, turned upright about its centre, crosses the
    // page's middle; its unturned frame is far outside the zoomed view.
    VectorElement bar = shape(VectorShapeType::rectangle, VectorRect(0, 2, 200, 4), std::nullopt,
                              QStringLiteral("#00AA00"));
    bar.rotationDegrees = 90;
    page.elements = {bar};
    const PageCanvasGeometry geom{QSizeF(200, 100), 200, 100, 6, QSizeF(0, 0), 0};
    ASSERT_FALSE(bar.frame.intersects(geom.visiblePageRect()));
    const QImage image = draw(page, geom);
    EXPECT_TRUE(colorNear(image.pixel(100, 50), QColor(0, 0xAA, 0)));
}

TEST_F(SceneDrawingTest, UnreadableFramesAndHugeCountsAreDrawnWithoutTrouble)
{
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    VectorPage page = blankPage();
    QList<VectorElement> elements;
    for (const VectorRect& frame : {VectorRect(0, 0, 1, 1), VectorRect(0, 0, 1, 1), VectorRect(0, 0, 1, 1)}) {
        (void)frame;
    }
    auto add = [&](double x, double y, double w, double h, double degrees, bool dashed) {
        VectorElement e = shape(VectorShapeType::line, VectorRect(0, 0, 1, 1), QStringLiteral("#000000"),
                                QStringLiteral("#00FF00"), 2, dashed);
        e.frame.x = x;
        e.frame.y = y;
        e.frame.width = w;
        e.frame.height = h;
        e.rotationDegrees = degrees;
        elements.append(e);
        VectorElement t = text(QStringLiteral("X"), e.frame);
        t.rotationDegrees = degrees;
        elements.append(t);
    };
    add(nan, 0, 10, 10, 0, false);
    add(0, 0, inf, 10, 0, true);
    add(-1e300, -1e300, 2e300, 2e300, 0, true);
    add(10, 10, 1e300, 1e-300, 45, true);
    add(10, 10, 50, 50, nan, false);
    add(10, 10, -50, -50, inf, true);
    page.elements = elements;
    for (const double zoom : {0.25, 1.0, 6.0}) {
        const QImage image = draw(page, PageCanvasGeometry{QSizeF(200, 100), 200, 100, zoom, QSizeF(0, 0), 28});
        EXPECT_FALSE(image.isNull());
    }

    // A huge page and an empty pane.
    VectorPage huge = blankPage(1e300, 64);
    huge.elements = elements;
    draw(huge, PageCanvasGeometry{QSizeF(300, 200), 1e300, 64, 1, QSizeF(0, 0), 28});
    draw(page, PageCanvasGeometry{QSizeF(0, 0), 200, 100, 1, QSizeF(0, 0), 28});

    // Five thousand elements.
    VectorPage crowded = blankPage(2000, 2000);
    for (int i = 0; i < 5000; ++i)
        crowded.elements.append(shape(VectorShapeType::ellipse, VectorRect(i % 100 * 20, i / 100 * 40, 18, 18),
                                      QStringLiteral("#123456")));
    const QImage image = draw(crowded, PageCanvasGeometry{QSizeF(400, 400), 2000, 2000, 1, QSizeF(0, 0), 28});
    EXPECT_GT(countNear(image, QColor(0x12, 0x34, 0x56), QRect(0, 0, 400, 400), 60), 100);
}

TEST_F(SceneDrawingTest, OutlinesStrokedTogetherKeepTheirOrderAndTurn)
{
    VectorPage page = blankPage();
    const QString red = QStringLiteral("#FF0000");
    VectorElement under = shape(VectorShapeType::line, VectorRect(10, 10, 180, 80), red, std::nullopt, 3);
    VectorElement cover = shape(VectorShapeType::rectangle, VectorRect(80, 30, 40, 40), std::nullopt,
                                QStringLiteral("#0000FF"));
    VectorElement turned = shape(VectorShapeType::rectangle, VectorRect(140, 40, 40, 20), red, std::nullopt, 3);
    turned.rotationDegrees = 90;
    page.elements = {under, cover, turned};
    const PageCanvasGeometry geom{QSizeF(200, 100), 200, 100, 1, QSizeF(0, 0), 0};
    const QImage image = draw(page, geom);
    // The line passes under the blue square's centre.
    EXPECT_TRUE(colorNear(image.pixel(100, 50), Qt::blue));
    EXPECT_GT(countNear(image, Qt::red, QRect(29, 80, 3, 3), 60), 0);
    // Upright, the turned box's long sides run vertically through x 150 and 170.
    EXPECT_GT(countNear(image, Qt::red, QRect(148, 49, 4, 3), 60), 0);
    EXPECT_GT(countNear(image, Qt::red, QRect(168, 49, 4, 3), 60), 0);
    EXPECT_EQ(countNear(image, Qt::red, QRect(155, 38, 10, 4), 120), 0);
}

TEST_F(SceneDrawingTest, TheKeptSheetIsDrawnAnewWhenWhatItShowsChanges)
{
    VectorPage page = blankPage();
    page.elements = {shape(VectorShapeType::rectangle, VectorRect(50, 25, 100, 50), std::nullopt,
                           QStringLiteral("#00AA00"))};
    const PageCanvasGeometry geom{QSizeF(200, 100), 200, 100, 1, QSizeF(0, 0), 0};
    EXPECT_TRUE(colorNear(draw(page, geom).pixel(100, 50), QColor(0, 0xAA, 0)));

    // Same page, same revision given by a caller that does not count: the
    // colour still changes.
    page.elements[0].style.fillColorHex = QStringLiteral("#AA00AA");
    QImage image = blankImage(QSize(200, 100), kPane);
    {
        QPainter painter(&image);
        drawSinglePageScene(painter, page, geom, cache.geometries(page, revision), {}, {}, cache);
    }
    EXPECT_TRUE(colorNear(image.pixel(100, 50), QColor(0xAA, 0, 0xAA)));

    // A pan by whole points moves the kept sheet.
    const QImage panned = draw(page, PageCanvasGeometry{QSizeF(200, 100), 200, 100, 1, QSizeF(30, 0), 0});
    EXPECT_TRUE(colorNear(panned.pixel(175, 50), QColor(0xAA, 0, 0xAA)));
    EXPECT_TRUE(colorNear(panned.pixel(60, 50), Qt::white));
}

TEST_F(SceneDrawingTest, DrawnAccentsFollowCentredText)
{
    if (liberationSansRegular().isEmpty())
        GTEST_SKIP() << "Liberation Sans (fonts-liberation2) is not installed";
    // A face with E but no É: the accent is drawn over the E.
    TestFontOptions options;
    options.family = QStringLiteral("Canvas Capitals");
    options.postScriptName = QStringLiteral("CanvasCapitals");
    options.characters = QStringLiteral("E ");
    ASSERT_EQ(installTestFont(makeTestFont(liberationSansRegular(), options)), options.family);

    VectorPage page = blankPage(200, 100);
    VectorElement letter = text(QStringLiteral("É"), VectorRect(20, 30, 160, 60));
    letter.text()->fontFamily = options.family;
    letter.text()->fontSize = 40;
    letter.text()->alignment = TextAlignmentMode::center;
    page.elements = {letter};
    const QImage image = draw(page, PageCanvasGeometry{QSizeF(200, 100), 200, 100, 1, QSizeF(0, 0), 0});
    // The letter stands around the frame's middle (x 100); the accent above
    // its top (y 30 + 0) lies there too, not at the frame's left edge.
    EXPECT_GT(countNear(image, Qt::black, QRect(85, 15, 30, 15), 100), 3);
    EXPECT_EQ(countNear(image, Qt::black, QRect(15, 10, 40, 25), 100), 0);
}

// An edit redraws the kept sheet only where it changes: a mark put into the
// kept picture elsewhere stays, while around the changes the frame is the
// one a fresh drawing of the edited page gives, an element that lies over a
// changed one still on top.
TEST_F(SceneDrawingTest, AnEditIsDrawnAgainOnlyWhereItChanges)
{
    VectorPage page = blankPage(400, 200);
    for (int i = 0; i < 6; ++i)
        page.elements.append(shape(VectorShapeType::rectangle, VectorRect(20 + 40 * i, 20, 60, 40),
                                   QStringLiteral("#202020"), i % 2 ? QStringLiteral("#CC3333") : QStringLiteral("#3333CC"),
                                   2));
    page.elements.append(text(QStringLiteral("Au-dessus de tout"), VectorRect(30, 30, 40, 16)));
    page.elements.append(shape(VectorShapeType::ellipse, VectorRect(300, 120, 60, 50), std::nullopt,
                               QStringLiteral("#33AA33")));
    const PageCanvasGeometry geom{QSizeF(400, 200), 400, 200, 1, QSizeF(0, 0), 0};
    draw(page, geom);
    // The mark, far from every change below.
    const QPoint mark(380, 185);
    QImage& kept = cache.sheetLayer().image;
    ASSERT_FALSE(kept.isNull());
    kept.setPixelColor(mark, Qt::magenta);

    // Selection frames are drawn over the sheet, for the elements chosen
    // wherever they have moved in the list.
    SceneOverlay overlay;
    overlay.selection = {page.elements[4].id};
    const auto fresh = [&](const VectorPage& edited) {
        VectorSceneRenderCache other;
        QImage image = blankImage(geom.paneSize.toSize(), kPane);
        QPainter painter(&image);
        drawSinglePageScene(painter, edited, geom, other.geometries(edited, 1), {}, overlay, other);
        return image;
    };
    const auto sameBut = [&](QImage drawn, const QImage& expected) {
        drawn.setPixelColor(mark, expected.pixelColor(mark));
        return drawn == expected;
    };

    // The lowest box moves under the others and the text over it.
    page.elements[0].frame.y += 7;
    page.elements[0].frame.x += 5;
    QImage drawn = draw(page, geom, overlay);
    EXPECT_EQ(drawn.pixelColor(mark), QColor(Qt::magenta));
    EXPECT_TRUE(sameBut(drawn, fresh(page)));

    // One added on top, one taken away, one hidden.
    page.elements.append(shape(VectorShapeType::rectangle, VectorRect(150, 100, 50, 50), QStringLiteral("#000000"),
                               QStringLiteral("#FFCC00"), 3));
    overlay.selection.insert(page.elements.last().id);
    drawn = draw(page, geom, overlay);
    EXPECT_EQ(drawn.pixelColor(mark), QColor(Qt::magenta));
    EXPECT_TRUE(sameBut(drawn, fresh(page)));
    page.elements.removeAt(3);
    drawn = draw(page, geom, overlay);
    EXPECT_EQ(drawn.pixelColor(mark), QColor(Qt::magenta));
    EXPECT_TRUE(sameBut(drawn, fresh(page)));
    page.elements[1].visible = false;
    overlay.selection.insert(page.elements[0].id);
    drawn = draw(page, geom, overlay);
    EXPECT_EQ(drawn.pixelColor(mark), QColor(Qt::magenta));
    EXPECT_TRUE(sameBut(drawn, fresh(page)));

    // Another zoom draws the sheet anew.
    const PageCanvasGeometry zoomed{QSizeF(400, 200), 400, 200, 1.5, QSizeF(0, 0), 0};
    drawn = draw(page, zoomed, overlay);
    VectorSceneRenderCache other;
    QImage expected = blankImage(zoomed.paneSize.toSize(), kPane);
    {
        QPainter painter(&expected);
        drawSinglePageScene(painter, page, zoomed, other.geometries(page, 1), {}, overlay, other);
    }
    EXPECT_EQ(drawn, expected);
}
