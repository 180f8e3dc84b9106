#include "PanelTestSupport.h"

#include "controls/IconButton.h"
#include "controls/SectionHeader.h"
#include "operations/VectorOperations.h"
#include "panels/SidebarView.h"
#include "panels/sidebar/LayerRowDelegate.h"
#include "panels/sidebar/MiniPagePreview.h"
#include "panels/sidebar/PageRowDelegate.h"
#include "panels/sidebar/PageRowDrag.h"

#include <QLabel>
#include <QListView>
#include <QScrollBar>
#include <QSignalSpy>
#include <cmath>

using namespace zelvane;
using namespace zelvane::testing;

namespace {

VectorElement namedShape(const QString& name, double x = 10)
{
    VectorElement element;
    element.id = QUuid::createUuid();
    element.name = name;
    element.kind = ShapePayload{VectorShapeType::rectangle, 0, false, false};
    element.frame = VectorRect(x, 10, 20, 20);
    return element;
}

class SidebarPanelTest : public PanelTest {
protected:
    void SetUp() override
    {
        PanelTest::SetUp();
        sidebar = std::make_unique<SidebarView>(*model);
        show(*sidebar, {224, 720});
    }
    void TearDown() override
    {
        sidebar.reset();
        PanelTest::TearDown();
    }

    // Puts elements on the current page in one step.
    void addElements(const QList<VectorElement>& elements)
    {
        const qsizetype page = controller().currentPageIndex();
        controller().perform(QString(), [&](VectorDocument& document) {
            for (const VectorElement& element : elements)
                VectorOperations::addElement(element, page, document);
        });
    }

    QRect pageItemRect(int row) const
    {
        QListView* list = sidebar->pageList();
        return list->visualRect(list->model()->index(row, 0));
    }
    void clickPageList(const QPoint& point) { QTest::mouseClick(sidebar->pageList()->viewport(), Qt::LeftButton, {}, point); }

    QRect layerItemRect(int row) const
    {
        QListView* list = sidebar->layerList();
        return list->visualRect(list->model()->index(row, 0));
    }
    void clickLayerList(const QPoint& point) { QTest::mouseClick(sidebar->layerList()->viewport(), Qt::LeftButton, {}, point); }

    QStringList layerTitles() const
    {
        QStringList titles;
        QAbstractItemModel* layers = sidebar->layerList()->model();
        for (int row = 0; row < layers->rowCount(); ++row)
            titles.append(layers->index(row, 0).data().toString());
        return titles;
    }

    std::unique_ptr<SidebarView> sidebar;
};

// The rows a model reported as changed, in the order reported.
QList<int> changedRows(const QSignalSpy& spy)
{
    QList<int> rows;
    for (const QList<QVariant>& arguments : spy) {
        const QModelIndex first = arguments.at(0).value<QModelIndex>();
        const QModelIndex last = arguments.at(1).value<QModelIndex>();
        for (int row = first.row(); row <= last.row(); ++row)
            rows.append(row);
    }
    return rows;
}

TEST_F(SidebarPanelTest, OnePageCannotBeDeletedAndTheHeaderCountsPages)
{
    EXPECT_EQ(sidebar->pagesHeader()->titleLabel()->text(), QStringLiteral("Pages (1)").toUpper());
    EXPECT_FALSE(sidebar->deletePageButton()->isEnabled());
    QTest::mouseClick(sidebar->deletePageButton(), Qt::LeftButton);
    EXPECT_EQ(controller().document().pages.size(), 1);

    QTest::mouseClick(sidebar->addPageButton(), Qt::LeftButton);
    EXPECT_EQ(controller().document().pages.size(), 2);
    EXPECT_EQ(controller().currentPageIndex(), 1);
    EXPECT_EQ(sidebar->pagesHeader()->titleLabel()->text(), QStringLiteral("PAGES (2)"));
    EXPECT_TRUE(sidebar->deletePageButton()->isEnabled());
    EXPECT_EQ(sidebar->pageList()->model()->rowCount(), 2);
    EXPECT_TRUE(sidebar->addPageButton()->helpText().contains(QStringLiteral("Ctrl+Shift+N")));
}

TEST_F(SidebarPanelTest, ChevronsMoveTheCurrentPageWithoutChoosingTheRow)
{
    controller().addBlankPage(PageFormatPreset::a4Portrait);
    controller().addBlankPage(PageFormatPreset::a4Portrait);
    controller().setCurrentPageIndex(0);
    const QUuid first = controller().document().pages[0].id;
    const qsizetype steps = undoSteps();

    // The first page's up chevron is disabled: nothing at all.
    clickPageList(PageRowDelegate::upChevronRect(pageItemRect(0)).center());
    EXPECT_EQ(undoSteps(), steps);
    EXPECT_EQ(controller().currentPageIndex(), 0);

    clickPageList(PageRowDelegate::downChevronRect(pageItemRect(0)).center());
    EXPECT_EQ(undoSteps(), steps + 1);
    EXPECT_EQ(controller().currentPageIndex(), 1);
    EXPECT_EQ(controller().document().pages[1].id, first);
    EXPECT_EQ(controller().statusMessage(), QStringLiteral("Page moved"));

    // A click elsewhere on a row chooses it and empties the selection.
    controller().setSelection({QUuid::createUuid()});
    model->setEditingTextElementID(QUuid::createUuid());
    clickPageList(pageItemRect(2).topLeft() + QPoint(20, 20));
    EXPECT_EQ(controller().currentPageIndex(), 2);
    EXPECT_TRUE(controller().selection().isEmpty());
    EXPECT_FALSE(model->editingTextElementID().has_value());
    EXPECT_EQ(undoSteps(), steps + 1);
}

TEST_F(SidebarPanelTest, ARowDraggedTwoPlacesDownMovesItsPageThereInOneStep)
{
    for (int i = 0; i < 3; ++i)
        controller().addBlankPage(PageFormatPreset::a4Portrait);
    controller().setCurrentPageIndex(3);
    QList<QUuid> ids;
    for (const VectorPage& page : controller().document().pages)
        ids.append(page.id);
    const qsizetype steps = undoSteps();
    QWidget* viewport = sidebar->pageList()->viewport();
    // The list has taken the room its four rows need.
    QCoreApplication::processEvents();
    ASSERT_GE(viewport->height(), pageItemRect(3).bottom());

    // Pressed on the first row, dragged over the third, released there.
    const QPoint from = pageItemRect(0).center();
    const QPoint to = pageItemRect(2).center();
    QTest::mousePress(viewport, Qt::LeftButton, {}, from);
    for (int i = 1; i <= 6; ++i)
        QTest::mouseMove(viewport, from + (to - from) * i / 6);
    EXPECT_TRUE(sidebar->pageDrag()->isDragging());
    EXPECT_TRUE(sidebar->pageDrag()->dropMarker()->isVisible());
    EXPECT_EQ(controller().currentPageIndex(), 3);
    QTest::mouseRelease(viewport, Qt::LeftButton, {}, to);

    QList<QUuid> moved;
    for (const VectorPage& page : controller().document().pages)
        moved.append(page.id);
    EXPECT_EQ(moved, (QList<QUuid>{ids[1], ids[2], ids[0], ids[3]}));
    EXPECT_EQ(controller().currentPageIndex(), 2);
    EXPECT_EQ(undoSteps(), steps + 1);
    EXPECT_EQ(controller().statusMessage(), QStringLiteral("Page moved"));
    EXPECT_FALSE(sidebar->pageDrag()->isDragging());
    EXPECT_FALSE(sidebar->pageDrag()->dropMarker()->isVisible());
    controller().undo();
    EXPECT_EQ(controller().document().pages[0].id, ids[0]);

    // A press and release without a drag still chooses the row; a drag
    // released on its own row moves nothing.
    clickPageList(pageItemRect(1).center());
    EXPECT_EQ(controller().currentPageIndex(), 1);
    QTest::mousePress(viewport, Qt::LeftButton, {}, pageItemRect(1).center());
    QTest::mouseMove(viewport, pageItemRect(1).center() + QPoint(0, 20));
    QTest::mouseMove(viewport, pageItemRect(1).center() + QPoint(0, 5));
    QTest::mouseRelease(viewport, Qt::LeftButton, {}, pageItemRect(1).center() + QPoint(0, 5));
    EXPECT_EQ(undoSteps(), steps);
}

TEST_F(SidebarPanelTest, ThePageListTakesTheRoomItsRowsNeedUpToHalfThePanel)
{
    const int row = PageRowDelegate::kRowHeight + PageRowDelegate::kRowSpacing;
    // Two pages: both rows shown, the rest left to the layers.
    controller().addBlankPage(PageFormatPreset::a4Portrait);
    QCoreApplication::processEvents();
    QListView* pages = sidebar->pageList();
    EXPECT_GE(pages->viewport()->height(), 2 * row);
    EXPECT_LT(pages->viewport()->height(), 3 * row);
    EXPECT_GT(sidebar->layerList()->height(), 720 / 2);

    // Many pages: about half the panel's height, far more than three rows.
    for (int i = 0; i < 20; ++i)
        controller().addBlankPage(PageFormatPreset::a4Portrait);
    QCoreApplication::processEvents();
    EXPECT_GE(pages->viewport()->height(), 4 * row);
    EXPECT_GT(pages->viewport()->height(), 720 / 2 - 2 * row);
    EXPECT_LE(pages->viewport()->height(), 720 / 2 + row);
}

TEST_F(SidebarPanelTest, TheRotateButtonTurnsEverythingOnThePageAndFourTurnsGiveItBack)
{
    controller().stampApprovalBadge(VectorStampKind::approved, VectorPoint{200, 300});
    controller().stampActiveSignature(VectorPoint{420, 700});
    controller().addTextBlock(QStringLiteral("Heading"), VectorPoint{60, 80});
    controller().addShape(VectorShapeType::arrow, VectorRect(100, 500, 140, 84));
    const VectorDocument before = controller().document();
    ASSERT_EQ(before.pages[0].elements.size(), 4);

    QTest::mouseClick(sidebar->rotatePageButton(), Qt::LeftButton);
    const VectorPage& turned = controller().currentPage();
    EXPECT_EQ(turned.width, before.pages[0].height);
    for (qsizetype i = 0; i < 4; ++i) {
        const VectorElement& was = before.pages[0].elements[i];
        EXPECT_EQ(turned.elements[i].frame.width, was.frame.width) << i;
        EXPECT_EQ(turned.elements[i].frame.height, was.frame.height) << i;
        EXPECT_EQ(turned.elements[i].rotationDegrees, was.rotationDegrees + 90) << i;
    }
    for (int i = 0; i < 3; ++i)
        QTest::mouseClick(sidebar->rotatePageButton(), Qt::LeftButton);
    VectorDocument after = controller().document();
    after.revision = before.revision;
    EXPECT_EQ(after, before);
}

TEST_F(SidebarPanelTest, TheMiniatureDrawsAtMostTwentyFourVisibleBoxes)
{
    VectorPage page = controller().document().pages[0];
    for (int i = 0; i < 30; ++i) {
        VectorElement element = namedShape(QStringLiteral("e%1").arg(i), i);
        element.visible = !(i % 4 == 1 && i < 20);  // 5 hidden among the first 24
        page.elements.append(element);
    }
    EXPECT_EQ(MiniPagePreview::boxes(page, {40, 52}).size(), 19);

    page.elements[0].frame = VectorRect(std::nan(""), 0, 1, 1);
    page.elements[2].frame = VectorRect(0, 0, 0.5, 0.1);
    const QList<MiniPagePreview::Box> boxes = MiniPagePreview::boxes(page, {40, 52});
    EXPECT_EQ(boxes.size(), 18);
    EXPECT_DOUBLE_EQ(boxes[0].rect.width(), 2);
    EXPECT_DOUBLE_EQ(boxes[0].rect.height(), 1.5);

    page.backgroundColorHex = QStringLiteral("garbage");
    EXPECT_EQ(MiniPagePreview::backgroundColor(page), QColor(Qt::white));
    page.backgroundColorHex = QStringLiteral("#FF000010");
    EXPECT_EQ(MiniPagePreview::backgroundColor(page), QColor(255, 0, 0));
}

TEST_F(SidebarPanelTest, ATurnedPageShowsWideWithItsLinesTurned)
{
    VectorDocument document = controller().document();
    VectorPage& page = document.pages[0];
    page.width = 600;
    page.height = 800;
    page.pdfPageData = QByteArray("%PDF-1.7");
    VectorElement line = namedShape(QStringLiteral("line"), 0);
    line.frame = VectorRect(100, 200, 300, 20);
    page.elements = {line};
    const QRectF frame(10, 10, 40, 52);
    const QRectF upright = MiniPagePreview::sheetIn(page, frame);
    EXPECT_NEAR(upright.height(), 52, 1e-9);
    EXPECT_NEAR(upright.width(), 39, 1e-9);
    EXPECT_NEAR(upright.center().x(), frame.center().x(), 1e-9);
    const QRectF wide = MiniPagePreview::boxes(page, upright.size())[0].rect;
    EXPECT_GT(wide.width(), wide.height());

    VectorOperations::rotatePage(document, 0, true);
    const QRectF turned = MiniPagePreview::sheetIn(page, frame);
    EXPECT_NEAR(turned.width(), 40, 1e-9);
    EXPECT_NEAR(turned.height(), 30, 1e-9);
    EXPECT_NEAR(turned.center().y(), frame.center().y(), 1e-9);
    // The line turned with the page now runs down the miniature.
    const QRectF tall = MiniPagePreview::boxes(page, turned.size())[0].rect;
    EXPECT_GT(tall.height(), tall.width() * 4);
}

TEST_F(SidebarPanelTest, LayersListTopmostFirstAndFollowTheSearch)
{
    VectorElement logo = namedShape(QStringLiteral("LOGO header"));
    addElements({namedShape(QStringLiteral("A")), namedShape(QStringLiteral("B")), logo});
    EXPECT_EQ(layerTitles(), (QStringList{QStringLiteral("LOGO header"), QStringLiteral("B"), QStringLiteral("A")}));
    EXPECT_EQ(sidebar->layerCountLabel()->text(), QStringLiteral("3"));

    controller().setSearchQuery(QStringLiteral(" logo "));
    EXPECT_EQ(layerTitles(), QStringList{QStringLiteral("LOGO header")});
    EXPECT_EQ(sidebar->layerCountLabel()->text(), QStringLiteral("1"));

    controller().setSearchQuery(QStringLiteral("nothing like it"));
    EXPECT_TRUE(layerTitles().isEmpty());
    EXPECT_EQ(sidebar->layerCountLabel()->text(), QStringLiteral("0"));
    EXPECT_TRUE(sidebar->emptyLayersLabel()->isVisible());
    EXPECT_EQ(sidebar->emptyLayersLabel()->text(), QStringLiteral("No elements on this page."));

    controller().setSearchQuery(QString());
    EXPECT_FALSE(sidebar->emptyLayersLabel()->isVisible());
}

TEST_F(SidebarPanelTest, RowsChooseAndTheEyeAndLockAreOneStepEach)
{
    controller().addTextBlock(QStringLiteral("Hello"));
    addElements({namedShape(QStringLiteral("Box"))});
    const QUuid box = controller().document().pages[0].elements[1].id;
    const QUuid text = controller().document().pages[0].elements[0].id;

    clickLayerList(layerItemRect(1).topLeft() + QPoint(40, 10));
    EXPECT_EQ(controller().selection(), QSet<QUuid>{text});
    EXPECT_EQ(model->editingTextElementID(), std::optional<QUuid>(text));
    clickLayerList(layerItemRect(0).topLeft() + QPoint(40, 10));
    EXPECT_EQ(controller().selection(), QSet<QUuid>{box});
    EXPECT_FALSE(model->editingTextElementID().has_value());

    const qsizetype steps = undoSteps();
    const QString status = controller().statusMessage();
    clickLayerList(LayerRowDelegate::eyeRect(layerItemRect(0)).center());
    EXPECT_FALSE(controller().document().pages[0].elements[1].visible);
    EXPECT_EQ(undoSteps(), steps + 1);
    EXPECT_EQ(controller().statusMessage(), status);
    EXPECT_EQ(controller().selection(), QSet<QUuid>{box});
    controller().undo();
    EXPECT_TRUE(controller().document().pages[0].elements[1].visible);

    clickLayerList(LayerRowDelegate::lockRect(layerItemRect(0)).center());
    EXPECT_TRUE(controller().document().pages[0].elements[1].locked);

    // With the current page out of range the toggles do nothing.
    const qsizetype before = undoSteps();
    controller().setCurrentPageIndex(4);
    clickLayerList(LayerRowDelegate::eyeRect(layerItemRect(0)).center());
    EXPECT_EQ(undoSteps(), before);
    EXPECT_TRUE(controller().document().pages[0].elements[1].visible);
}

TEST_F(SidebarPanelTest, AnUnchangedPageListKeepsItsScrollPosition)
{
    controller().perform(QString(), [](VectorDocument& document) {
        for (int i = 0; i < 2000; ++i)
            document.pages.append(VectorPage::make(QUuid::createUuid(), QStringLiteral("P%1").arg(i), 595, 842,
                                                   QStringLiteral("#FFFFFF")));
    });
    QListView* list = sidebar->pageList();
    list->verticalScrollBar()->setValue(5000);
    const int scrolled = list->verticalScrollBar()->value();
    controller().perform(QString(), [](VectorDocument& document) { document.pages[3].title = QStringLiteral("x"); });
    EXPECT_EQ(list->verticalScrollBar()->value(), scrolled);
}

}  // namespace

TEST_F(SidebarPanelTest, AnEditReportsOnlyTheRowOfTheChangedElement)
{
    addElements({namedShape("A"), namedShape("B"), namedShape("C")});
    QAbstractItemModel* layers = sidebar->layerList()->model();
    QSignalSpy changed(layers, &QAbstractItemModel::dataChanged);
    QSignalSpy reset(layers, &QAbstractItemModel::modelReset);
    const QUuid b = controller().currentPage().elements[1].id;
    controller().perform(QString(), [&](VectorDocument& document) {
        VectorOperations::updateElement(b, 0, document, [](VectorElement& e) { e.name = QStringLiteral("B2"); });
    });
    // Topmost first: C, B2, A.
    EXPECT_EQ(changedRows(changed), QList<int>{1});
    EXPECT_EQ(reset.count(), 0);
    EXPECT_EQ(layerTitles(), (QStringList{"C", "B2", "A"}));

    // A new element on top adds its row and touches no other.
    changed.clear();
    QSignalSpy inserted(layers, &QAbstractItemModel::rowsInserted);
    addElements({namedShape("D")});
    ASSERT_EQ(inserted.count(), 1);
    EXPECT_EQ(inserted.at(0).at(1).toInt(), 0);
    EXPECT_EQ(inserted.at(0).at(2).toInt(), 0);
    EXPECT_TRUE(changed.isEmpty());
    EXPECT_EQ(reset.count(), 0);
    EXPECT_EQ(layerTitles(), (QStringList{"D", "C", "B2", "A"}));

    // Deleting the one in the middle removes its row alone.
    QSignalSpy removed(layers, &QAbstractItemModel::rowsRemoved);
    const QUuid c = controller().currentPage().elements[2].id;
    controller().perform(QString(), [&](VectorDocument& document) { VectorOperations::deleteElements({c}, 0, document); });
    ASSERT_EQ(removed.count(), 1);
    EXPECT_EQ(removed.at(0).at(1).toInt(), 1);
    EXPECT_EQ(removed.at(0).at(2).toInt(), 1);
    EXPECT_TRUE(changed.isEmpty());
    EXPECT_EQ(layerTitles(), (QStringList{"D", "B2", "A"}));
}

TEST_F(SidebarPanelTest, EditsOfAnotherPageAndSelectionsTouchOnlyTheirRows)
{
    addElements({namedShape("A"), namedShape("B"), namedShape("C")});
    controller().addBlankPage(PageFormatPreset::a4Portrait);
    controller().setCurrentPageIndex(0);
    QAbstractItemModel* layers = sidebar->layerList()->model();
    QAbstractItemModel* pages = sidebar->pageList()->model();
    QSignalSpy layerChanged(layers, &QAbstractItemModel::dataChanged);
    QSignalSpy pageChanged(pages, &QAbstractItemModel::dataChanged);
    QSignalSpy pageReset(pages, &QAbstractItemModel::modelReset);

    // An element added to page 2 changes no layer row and only page 2's row.
    controller().perform(QString(), [&](VectorDocument& document) {
        VectorOperations::addElement(namedShape("Other"), 1, document);
    });
    EXPECT_TRUE(layerChanged.isEmpty());
    EXPECT_EQ(changedRows(pageChanged), QList<int>{1});
    EXPECT_EQ(pageReset.count(), 0);

    // Selecting B repaints B's row; then selecting A repaints B's and A's.
    const ElementList elements = controller().currentPage().elements;
    controller().setSelection({elements[1].id});
    EXPECT_EQ(changedRows(layerChanged), QList<int>{1});
    layerChanged.clear();
    controller().setSelection({elements[0].id});
    EXPECT_EQ(changedRows(layerChanged), (QList<int>{1, 2}));
}
