#include "UiTestSupport.h"
#include "VectorController.h"
#include "appmodel/AppModel.h"
#include "canvas/SinglePageCanvas.h"
#include "canvas/render/VectorSceneRenderCache.h"
#include "operations/VectorOperations.h"
#include "panels/sidebar/LayerListModel.h"
#include "panels/sidebar/PageListModel.h"
#include "window/MainWindow.h"

#include <QAbstractItemView>
#include <QSignalSpy>
#include <QTest>

#include <time.h>

using namespace zelvane;

namespace {

constexpr int kElements = 1'000'000;

double threadMilliseconds()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return double(now.tv_sec) * 1e3 + double(now.tv_nsec) / 1e6;
}

VectorDocument largeDocument()
{
    QList<VectorPage> pages;
    for (int p = 0; p < 3; ++p) {
        VectorPage page = VectorPage::make(QUuid::createUuid(), QStringLiteral("Page %1").arg(p + 1), 2000, 2000,
                                           QStringLiteral("#FFFFFF"));
        const int count = p == 1 ? kElements : 10;
        page.elements.reserve(count);
        for (int i = 0; i < count; ++i) {
            page.elements.append(VectorElement::make(
                QStringLiteral("Rectangle"), ShapePayload::make(VectorShapeType::rectangle, 0, false, false),
                VectorRect((i % 1000) * 2.0, (i / 1000 % 1000) * 2.0, 1.5, 1.5), 0, VectorStyle::defaultShape()));
        }
        pages.append(page);
    }
    return VectorDocument::make(QUuid::createUuid(), QStringLiteral("Large"), DocumentSourceFormat::svg, std::nullopt,
                                pages, 1);
}

// The rows a model reported as changed, inserted or removed.
struct RowReports {
    explicit RowReports(QAbstractItemModel& model)
        : changed(&model, &QAbstractItemModel::dataChanged), inserted(&model, &QAbstractItemModel::rowsInserted),
          removed(&model, &QAbstractItemModel::rowsRemoved), reset(&model, &QAbstractItemModel::modelReset)
    {
    }
    // Rows named by the reports, counting each range whole.
    int rows() const
    {
        int total = 0;
        for (const auto& report : changed)
            total += report.at(1).value<QModelIndex>().row() - report.at(0).value<QModelIndex>().row() + 1;
        for (const QSignalSpy* spy : {&inserted, &removed}) {
            for (const auto& report : *spy)
                total += report.at(2).toInt() - report.at(1).toInt() + 1;
        }
        return total;
    }
    QSignalSpy changed, inserted, removed, reset;
};

class LargePageEditTest : public zelvane::testing::WindowTest {};

}  // namespace

// Edits of one element of a page of a million elements, with the window and
// its lists open: each costs well under 100 ms of the main thread (CPU time
// of that thread, so a busy machine does not count), touches one row of the
// layer list and one of the page list, and its undo step shares the pages
// and blocks of elements it did not change.
TEST_F(LargePageEditTest, AnEditOfOneElementOfAMillionCostsWhatItChanges)
{
    VectorController& controller = model->controller();
    controller.setDocument(largeDocument());
    controller.setCurrentPageIndex(1);
    QApplication::sendPostedEvents();
    auto* layers = window->findChild<LayerListModel*>();
    auto* pages = window->findChild<PageListModel*>();
    ASSERT_NE(layers, nullptr);
    ASSERT_NE(pages, nullptr);
    ASSERT_EQ(layers->rowCount(), kElements);

    // The page is drawn whole first (over several frames).
    ASSERT_TRUE(QTest::qWaitFor([] { return !VectorSceneRenderCache::shared().hasUnfinishedSheet(); }, 600000));

    const QUuid moved = controller.currentPage().elements.at(kElements / 2).id;
    RowReports layerRows(*layers);
    RowReports pageRows(*pages);
    const VectorDocument before = controller.document();
    double slowest = 0;
    for (int step = 1; step <= 3; ++step) {
        const double start = threadMilliseconds();
        ASSERT_TRUE(controller.updateCurrentPageElement(moved, QStringLiteral("Move"),
                                                        [](VectorElement& element) { element.frame.x += 1; }));
        // What the views queued for themselves belongs to the edit; the
        // frames drawn after it do not.
        QApplication::sendPostedEvents(nullptr, QEvent::MetaCall);
        slowest = std::max(slowest, threadMilliseconds() - start);
    }
    EXPECT_LT(slowest, 100.0);

    // The row of the element (the topmost element is the first row).
    EXPECT_EQ(layerRows.rows(), 3);
    EXPECT_EQ(layerRows.changed.first().at(0).value<QModelIndex>().row(), kElements - 1 - kElements / 2);
    EXPECT_EQ(layers->element(kElements - 1 - kElements / 2)->frame.x, before.pages[1].elements.at(kElements / 2).frame.x + 3);
    EXPECT_EQ(pageRows.rows(), 3);
    EXPECT_EQ(pageRows.changed.first().at(0).value<QModelIndex>().row(), 1);
    EXPECT_EQ(layerRows.reset.count() + pageRows.reset.count(), 0);

    // The first undo step is the document as it was: the other pages are the
    // very same, the edited page shares all its blocks but one.
    const VectorDocument& snapshot = controller.history().undoStack().constLast();
    const VectorDocument& now = controller.document();
    EXPECT_TRUE(snapshot.pages[0].elements.isSharedWith(now.pages[0].elements));
    EXPECT_TRUE(snapshot.pages[2].elements.isSharedWith(now.pages[2].elements));
    const ElementList& edited = now.pages[1].elements;
    const ElementList& kept = snapshot.pages[1].elements;
    ASSERT_EQ(edited.blockCount(), kept.blockCount());
    qsizetype differing = 0;
    for (qsizetype b = 0; b < edited.blockCount(); ++b)
        differing += edited.block(b).constData() != kept.block(b).constData() ? 1 : 0;
    EXPECT_EQ(differing, 1);

    // Undo brings the element back and again touches only its row.
    controller.undo();
    QApplication::sendPostedEvents();
    EXPECT_EQ(layerRows.rows(), 4);
    EXPECT_EQ(layers->element(kElements - 1 - kElements / 2)->frame.x,
              before.pages[1].elements.at(kElements / 2).frame.x + 2);
}

// Adding a page inserts one row of the page list; deleting it removes that
// row: the other rows stay as they are.
TEST_F(LargePageEditTest, PageListInsertsAndRemovesOnlyTheRowsOfChangedPages)
{
    VectorController& controller = model->controller();
    QList<VectorPage> list;
    for (int p = 0; p < 40; ++p)
        list.append(VectorPage::make(QUuid::createUuid(), QStringLiteral("Page %1").arg(p + 1), 595.28, 841.89,
                                     QStringLiteral("#FFFFFF")));
    controller.setDocument(VectorDocument::make(QUuid::createUuid(), QStringLiteral("Pages"),
                                                DocumentSourceFormat::svg, std::nullopt, list, 1));
    controller.setCurrentPageIndex(9);
    QApplication::sendPostedEvents();
    auto* pages = window->findChild<PageListModel*>();
    ASSERT_NE(pages, nullptr);

    RowReports rows(*pages);
    controller.addBlankPage(PageFormatPreset::a4Portrait);
    ASSERT_EQ(rows.inserted.count(), 1);
    EXPECT_EQ(rows.inserted.first().at(1).toInt(), 10);
    EXPECT_EQ(rows.inserted.first().at(2).toInt(), 10);
    EXPECT_EQ(rows.removed.count(), 0);
    EXPECT_EQ(rows.reset.count(), 0);
    EXPECT_EQ(pages->rowCount(), 41);
    EXPECT_EQ(pages->data(pages->index(10), PageListModel::PageIDRole).toUuid(), controller.document().pages[10].id);

    controller.deleteCurrentPage();
    ASSERT_EQ(rows.removed.count(), 1);
    EXPECT_EQ(rows.removed.first().at(1).toInt(), 10);
    EXPECT_EQ(rows.removed.first().at(2).toInt(), 10);
    EXPECT_EQ(rows.reset.count(), 0);
    ASSERT_EQ(pages->rowCount(), 40);
    for (int row = 0; row < 40; ++row)
        EXPECT_EQ(pages->data(pages->index(row), PageListModel::PageIDRole).toUuid(), list[row].id);

    // Moving a page replaces the rows between its two places only.
    controller.setCurrentPageIndex(20);
    controller.moveCurrentPage(-2);
    EXPECT_EQ(rows.reset.count(), 0);
    for (int row = 0; row < 40; ++row)
        EXPECT_EQ(pages->data(pages->index(row), PageListModel::PageIDRole).toUuid(),
                  controller.document().pages[row].id);
}

namespace {

// Serves the window's events until the canvas has drawn everything, then a
// few rounds more for what that queued.
void settle()
{
    VectorSceneRenderCache& cache = VectorSceneRenderCache::shared();
    for (int calm = 0; calm < 20;) {
        QApplication::processEvents();
        calm = cache.hasUnfinishedSheet() ? 0 : calm + 1;
    }
}

}  // namespace

// A signature added on a settled page of a million elements is drawn over
// the kept picture of the page: until the canvas has shown it, the main
// thread spends a small part of what drawing the page took (CPU time of that
// thread, both measured here), as for the same edit on a page of ten.
TEST_F(LargePageEditTest, ASignatureOnAPageOfAMillionCostsWhatItDraws)
{
    VectorController& controller = model->controller();
    const auto signatureCost = [&](int page) {
        controller.setCurrentPageIndex(page);
        const double start = threadMilliseconds();
        settle();
        const double drawn = threadMilliseconds() - start;
        const qsizetype before = controller.currentPage().elements.size();
        const double edit = threadMilliseconds();
        controller.stampActiveSignature(VectorPoint{900, 900});
        settle();
        EXPECT_EQ(controller.currentPage().elements.size(), before + 1);
        return std::pair{drawn, threadMilliseconds() - edit};
    };
    controller.setDocument(largeDocument());
    const auto [smallDrawn, small] = signatureCost(0);
    const auto [bigDrawn, big] = signatureCost(1);
    EXPECT_LT(big, bigDrawn / 5) << "the page drawn in " << bigDrawn << " ms, the signature on a page of ten in "
                                 << small << " ms";
}
