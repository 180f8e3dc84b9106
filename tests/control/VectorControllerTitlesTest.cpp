#include "ControllerTestSupport.h"

#include "operations/VectorOperations.h"

using namespace zelvane;
using namespace zelvane::testing;

using VectorControllerTitlesTest = ControllerTest;

TEST_F(VectorControllerTitlesTest, DocumentTitleStaysOutOfHistoryAndSurvivesUndoAndRedo)
{
    auto controller = makeController();
    controller->addBlankPage(PageFormatPreset::a4Portrait);
    const qsizetype steps = controller->history().undoStack().size();
    const QString status = controller->statusMessage();
    const qint64 revision = controller->document().revision;

    controller->setDocumentTitle(QStringLiteral("Budget 2027"));
    EXPECT_EQ(controller->history().undoStack().size(), steps);
    EXPECT_EQ(controller->statusMessage(), status);
    EXPECT_EQ(controller->document().revision, revision);

    controller->undo();
    EXPECT_EQ(controller->document().pages.size(), 1);
    EXPECT_EQ(controller->document().title, QStringLiteral("Budget 2027"));
    controller->redo();
    EXPECT_EQ(controller->document().pages.size(), 2);
    EXPECT_EQ(controller->document().title, QStringLiteral("Budget 2027"));

    controller->setDocumentTitle(QString());
    EXPECT_TRUE(controller->document().title.isEmpty());
}

TEST_F(VectorControllerTitlesTest, DocumentTitleDuringAGestureSurvivesItsCancel)
{
    auto controller = makeController();
    const quint64 gesture = controller->beginGesture();
    controller->updateGesture(gesture, [](VectorDocument& document) { document.pages[0].title = QStringLiteral("x"); });
    controller->setDocumentTitle(QStringLiteral("Renamed"));
    EXPECT_EQ(controller->activeGesture(), gesture);
    controller->cancelGesture(gesture);
    EXPECT_EQ(controller->document().title, QStringLiteral("Renamed"));
    EXPECT_NE(controller->document().pages[0].title, QStringLiteral("x"));
}

TEST_F(VectorControllerTitlesTest, PageTitleByIdFindsTheMovedPageAndIgnoresAMissingOne)
{
    auto controller = makeController();
    const QUuid first = controller->document().pages[0].id;
    controller->addBlankPage(PageFormatPreset::a4Portrait);
    controller->setCurrentPageIndex(0);
    controller->moveCurrentPage(1);
    const qsizetype steps = controller->history().undoStack().size();

    controller->setPageTitle(first, QStringLiteral("Intro"));
    EXPECT_EQ(controller->document().pages[1].title, QStringLiteral("Intro"));
    EXPECT_EQ(controller->history().undoStack().size(), steps + 1);

    controller->setPageTitle(QUuid::createUuid(), QStringLiteral("Nowhere"));
    EXPECT_EQ(controller->history().undoStack().size(), steps + 1);
}

TEST_F(VectorControllerTitlesTest, ElementUpdateIsGuardedByTheCurrentPage)
{
    auto controller = makeController();
    controller->addTextBlock(QStringLiteral("Hello"));
    const QUuid id = *controller->selection().cbegin();
    const qsizetype steps = controller->history().undoStack().size();
    const auto hide = [](VectorElement& element) { element.visible = !element.visible; };

    controller->setCurrentPageIndex(5);
    EXPECT_FALSE(controller->updateCurrentPageElement(id, QString(), hide));
    EXPECT_FALSE(controller->updateCurrentPageElement(QUuid::createUuid(), QString(), hide));
    EXPECT_EQ(controller->history().undoStack().size(), steps);

    controller->setCurrentPageIndex(0);
    EXPECT_TRUE(controller->updateCurrentPageElement(id, QString(), hide));
    EXPECT_FALSE(controller->document().pages[0].elements[0].visible);
    EXPECT_EQ(controller->history().undoStack().size(), steps + 1);
}
