#include "CanvasToolsTestSupport.h"

#include "canvas/PageCardsView.h"
#include "canvas/render/PageThumbnailDrawing.h"
#include "canvas/render/PictureBudget.h"
#include "canvas/render/VectorSceneRenderCache.h"
#include "controls/TextButton.h"

#include <QPainter>
#include <QScrollBar>

using namespace zelvane;
using namespace zelvane::testing;

namespace {

class PageCardsTest : public CanvasToolTest {
protected:
    void SetUp() override
    {
        CanvasToolTest::SetUp();
        VectorDocument document = controller().document();
        for (int i = 1; i < 4; ++i)
            VectorOperations::addPage(document, std::nullopt,
                                      i == 2 ? PageFormatPreset::a4Landscape : PageFormatPreset::a4Portrait,
                                      QStringLiteral("Page %1").arg(i + 1));
        controller().setDocument(document);
        model->setDisplayMode(CanvasDisplayMode::multiPageGrid);
        QApplication::processEvents();
    }

    PageCardsView& cards() { return *view->pageCards(); }
    MultiPageCardView& card(qsizetype index)
    {
        cards().revealCard(index);
        MultiPageCardView* found = cards().cardFor(index);
        EXPECT_TRUE(found);
        return *found;
    }

    static VectorElement filledBox(const VectorRect& frame, const QString& fill)
    {
        return VectorElement::make(QStringLiteral("Box"),
                                   ShapePayload::make(VectorShapeType::rectangle, 0, false, false), frame, 0,
                                   VectorStyle(std::nullopt, fill, 0, 1, false));
    }
};

}  // namespace

TEST_F(PageCardsTest, GridColumnsFollowTheWidth)
{
    EXPECT_EQ(PageCardsView::gridColumns(100), 1);
    EXPECT_EQ(PageCardsView::gridColumns(1000), 2);
    EXPECT_EQ(PageCardsView::gridColumns(28 + 3 * 360), 3);
    EXPECT_EQ(PageCardsView::gridColumns(std::nan("")), 1);
    EXPECT_EQ(cards().columns(), PageCardsView::gridColumns(cards().viewport()->width()));
    // Cards never overlap, however narrow the view.
    view->resize(420, 700);
    QApplication::processEvents();
    EXPECT_FALSE(cards().cardRect(0).intersects(cards().cardRect(1)));
    model->setDisplayMode(CanvasDisplayMode::multiPageContinuous);
    EXPECT_EQ(cards().columns(), 1);
    EXPECT_EQ(cards().cardWidth(), PageCardsView::kContinuousCardWidth);
}

TEST_F(PageCardsTest, CardsKeepThePageAspectAndNumberTheirBadges)
{
    EXPECT_EQ(card(0).badgeText(), QStringLiteral("PAGE 1"));
    {
        ScopedLanguage french(AppLanguage::fr);
        EXPECT_EQ(card(0).badgeText(), QStringLiteral("PAGE 1"));
    }
    const QRect portrait = card(0).thumbnailRect();
    const QRect landscape = card(2).thumbnailRect();
    EXPECT_EQ(portrait.width(), cards().cardWidth());
    EXPECT_EQ(landscape.width(), cards().cardWidth());
    EXPECT_GT(portrait.height(), portrait.width());
    EXPECT_LT(landscape.height(), landscape.width());
}

TEST_F(PageCardsTest, AClickOnAThumbnailOrEditOpensThatPage)
{
    QTest::mouseClick(&card(2), Qt::LeftButton, {}, card(2).thumbnailRect().center());
    EXPECT_EQ(controller().currentPageIndex(), 2);
    EXPECT_EQ(model->displayMode(), CanvasDisplayMode::singlePage);
    EXPECT_FALSE(controller().canUndo());

    model->setDisplayMode(CanvasDisplayMode::multiPageContinuous);
    QApplication::processEvents();
    QTest::mouseClick(card(1).editButton(), Qt::LeftButton);
    EXPECT_EQ(controller().currentPageIndex(), 1);
    EXPECT_EQ(model->displayMode(), CanvasDisplayMode::singlePage);
}

TEST_F(PageCardsTest, SignOnAnotherCardSignsThereAndKeepsTheMode)
{
    EXPECT_TRUE(card(0).isCurrent());
    QTest::mouseClick(card(3).signButton(), Qt::LeftButton);
    EXPECT_EQ(controller().currentPageIndex(), 3);
    ASSERT_EQ(page(3).elements.size(), 1);
    EXPECT_TRUE(std::holds_alternative<SignaturePayload>(page(3).elements[0].kind));
    EXPECT_TRUE(page(0).elements.isEmpty());
    EXPECT_EQ(model->displayMode(), CanvasDisplayMode::multiPageGrid);
    EXPECT_EQ(undoSteps(), 1);
    EXPECT_TRUE(card(3).isCurrent());
    EXPECT_FALSE(card(0).isCurrent());
}

TEST_F(PageCardsTest, TheThumbnailShowsThePageAsItPrints)
{
    // A background that does not parse is white; a mask that does not parse
    // takes the page colour; hidden elements stay away.
    VectorPage plain = page(0);
    plain.backgroundColorHex = QStringLiteral("not a colour");
    VectorElement hidden = filledBox(VectorRect(300, 100, 100, 100), QStringLiteral("#0000FF"));
    hidden.visible = false;
    plain.elements = {filledBox(VectorRect(100, 100, 100, 100), QStringLiteral("#FF0000")), hidden};
    VectorSceneRenderCache cache;
    const QImage image = renderPageThumbnail(plain, QSizeF(297.64, 420.945), 1, cache);
    ASSERT_FALSE(image.isNull());
    EXPECT_EQ(image.pixelColor(75, 75), QColor(255, 0, 0));
    EXPECT_EQ(image.pixelColor(175, 75), QColor(Qt::white));
    EXPECT_EQ(image.pixelColor(20, 300), QColor(Qt::white));

    // A PDF line still as printed is left to the backdrop; once edited it
    // is drawn.
    VectorPage printed = page(0);
    printed.pdfPageData = QByteArray("not a PDF");
    VectorElement line = VectorOperations::makeTextElement(QStringLiteral("█████"), {100, 100}, 40,
                                                           QStringLiteral("#000000"), true);
    line.text()->isPDFExtracted = true;
    line.text()->originalPDFText = line.text()->text;
    line.text()->originalPDFRect = line.frame;
    line.text()->originalFontSize = 40;
    line.text()->originalIsBold = true;
    line.text()->originalTextColorHex = QStringLiteral("#000000");
    printed.elements = {line};
    auto darkPixels = [&cache](const VectorPage& p) {
        const QImage thumbnail = renderPageThumbnail(p, QSizeF(595.28, 841.89), 1, cache);
        int dark = 0;
        for (int y = 90; y < 160; ++y)
            for (int x = 90; x < 300; ++x)
                dark += thumbnail.pixelColor(x, y).lightness() < 100;
        return dark;
    };
    EXPECT_EQ(darkPixels(printed), 0);
    printed.elements[0].text()->text = QStringLiteral("█████ █");
    EXPECT_GT(darkPixels(printed), 200);

    // The card draws that thumbnail once it is made.
    add(filledBox(VectorRect(100, 100, 100, 100), QStringLiteral("#FF0000")));
    model->setDisplayMode(CanvasDisplayMode::multiPageContinuous);
    QApplication::processEvents();
    cards().finishThumbnails();
    MultiPageCardView& first = card(0);
    const QImage shot = first.grab().toImage();
    const QRect thumb = first.thumbnailRect();
    const double s = thumb.width() / page(0).width;
    EXPECT_EQ(shot.pixelColor(thumb.topLeft() + QPointF(150 * s, 150 * s).toPoint()).rgb(), QColor(255, 0, 0).rgb());
    EXPECT_EQ(shot.pixelColor(thumb.topLeft() + QPointF(300 * s, 500 * s).toPoint()).rgb(), QColor(Qt::white).rgb());
}

TEST_F(PageCardsTest, FiveThousandPagesBuildOnlyTheCardsInView)
{
    VectorDocument document = controller().document();
    const VectorPage blank = document.pages.front();
    document.pages.clear();
    for (int i = 0; i < 5000; ++i) {
        VectorPage copy = blank;
        copy.id = QUuid::createUuid();
        document.pages.append(copy);
    }
    controller().setDocument(document);
    QApplication::processEvents();
    EXPECT_LT(cards().builtCardCount(), 40);
    cards().verticalScrollBar()->setValue(cards().verticalScrollBar()->maximum());
    QApplication::processEvents();
    EXPECT_TRUE(cards().cardFor(4999));
    EXPECT_FALSE(cards().cardFor(0));
    EXPECT_LT(cards().builtCardCount(), 40);
    cards().finishThumbnails();
    QTest::mouseClick(cards().cardFor(4999)->editButton(), Qt::LeftButton);
    EXPECT_EQ(controller().currentPageIndex(), 4999);
}

TEST_F(PageCardsTest, TheCurrentPageComesIntoViewWhenTheCardsShowOrItChanges)
{
    VectorDocument document = controller().document();
    const VectorPage blank = document.pages.front();
    document.pages.clear();
    for (int i = 0; i < 60; ++i) {
        VectorPage copy = blank;
        copy.id = QUuid::createUuid();
        document.pages.append(copy);
    }
    controller().setDocument(document);
    QScrollBar* scroll = cards().verticalScrollBar();
    // The card's middle lies in the part of the content the view shows.
    const auto shown = [this, scroll](qsizetype index) {
        const QRect seen(0, scroll->value(), cards().viewport()->width(), cards().viewport()->height());
        return seen.contains(cards().cardRect(index).center());
    };
    const auto waitShown = [&shown](qsizetype index) { return QTest::qWaitFor([&] { return shown(index); }, 5000); };

    // Entering either multi-page mode from page 41.
    model->setDisplayMode(CanvasDisplayMode::singlePage);
    controller().setCurrentPageIndex(40);
    for (CanvasDisplayMode mode : {CanvasDisplayMode::multiPageGrid, CanvasDisplayMode::multiPageContinuous}) {
        model->setDisplayMode(CanvasDisplayMode::singlePage);
        QApplication::processEvents();
        model->setDisplayMode(mode);
        EXPECT_TRUE(waitShown(40)) << int(mode);
        EXPECT_TRUE(cards().cardFor(40));
    }
    // Switching between them keeps it in view.
    model->setDisplayMode(CanvasDisplayMode::multiPageGrid);
    EXPECT_TRUE(waitShown(40));

    // The current page changed from elsewhere (a menu, a remote command).
    controller().setCurrentPageIndex(3);
    EXPECT_TRUE(waitShown(3));
    controller().setCurrentPageIndex(59);
    EXPECT_TRUE(waitShown(59));

    // Another document, scrolled away from its current page.
    controller().setCurrentPageIndex(0);
    ASSERT_TRUE(waitShown(0));
    scroll->setValue(scroll->maximum());
    ASSERT_FALSE(shown(0));
    VectorDocument other = document;
    other.id = QUuid::createUuid();
    controller().setDocument(other);
    EXPECT_TRUE(waitShown(0));

    // Scrolling by hand is left alone while nothing changes.
    scroll->setValue(scroll->maximum());
    QApplication::processEvents();
    QApplication::processEvents();
    EXPECT_EQ(scroll->value(), scroll->maximum());
}

TEST_F(PageCardsTest, ThumbnailsStayAtTheirShownSizeWithinTheSharedBudgetAndGoWithTheirDocument)
{
    cards().finishThumbnails();
    // Four pages, each at the card's width (a landscape one less tall).
    const double dpr = cards().devicePixelRatioF();
    const double side = cards().cardWidth() * dpr + 1;
    EXPECT_GT(cards().thumbnailBytes(), 0);
    EXPECT_LE(cards().thumbnailBytes(), 4 * qint64(side * side * 842 / 595 * 4 + 1024));
    EXPECT_LE(PictureBudget::shared().bytes(), PictureBudget::shared().budget());

    // Another document: the old pages' thumbnails are let go at once.
    VectorDocument other = controller().document();
    for (VectorPage& page : other.pages)
        page.id = QUuid::createUuid();
    controller().setDocument(other);
    EXPECT_EQ(cards().thumbnailBytes(), 0);
    cards().finishThumbnails();
    EXPECT_GT(cards().thumbnailBytes(), 0);

    // Many pages scrolled through stay within the budget of all the caches.
    VectorDocument many = controller().document();
    while (many.pages.size() < 400)
        VectorOperations::addPage(many, std::nullopt, PageFormatPreset::a4Portrait, QStringLiteral("More"));
    controller().setDocument(many);
    QApplication::processEvents();
    QScrollBar& bar = *cards().verticalScrollBar();
    for (int y = 0; y <= bar.maximum(); y += cards().viewport()->height()) {
        bar.setValue(y);
        cards().finishThumbnails();
        ASSERT_LE(PictureBudget::shared().bytes(), PictureBudget::shared().budget());
    }
}
