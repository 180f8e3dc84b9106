#include "ControllerTestSupport.h"

#include "operations/VectorOperations.h"

#include <QDir>

using namespace zelvane;
using namespace zelvane::testing;

namespace {

constexpr double kTolerance = 1e-6;

void expectRect(const VectorRect& actual, double x, double y, double width, double height)
{
    EXPECT_NEAR(actual.x, x, kTolerance);
    EXPECT_NEAR(actual.y, y, kTolerance);
    EXPECT_NEAR(actual.width, width, kTolerance);
    EXPECT_NEAR(actual.height, height, kTolerance);
}

const VectorElement& lastElement(const VectorController& controller)
{
    return controller.currentPage().elements.last();
}

}  // namespace

class VectorControllerCommandsTest : public ControllerTest {
protected:
    void SetUp() override
    {
        ControllerTest::SetUp();
        if (IsSkipped())
            return;
        controller = makeController();
    }

    // A document of `count` A4 pages titled P1, P2, ...
    void usePages(int count)
    {
        controller->perform(QString(), [count](VectorDocument& document) {
            document.pages[0].title = QStringLiteral("P1");
            for (int i = 2; i <= count; ++i)
                VectorOperations::addPage(document, std::nullopt, PageFormatPreset::a4Portrait,
                                          QStringLiteral("P%1").arg(i));
        });
    }

    QStringList pageTitles() const
    {
        QStringList titles;
        for (const VectorPage& page : controller->document().pages)
            titles.append(page.title);
        return titles;
    }

    qsizetype undoSteps() const { return controller->history().undoStack().size(); }

    std::unique_ptr<VectorController> controller;
};

// ---- Pages -------------------------------------------------------------------------

TEST_F(VectorControllerCommandsTest, AddingALetterPageInsertsItAfterTheCurrentOne)
{
    usePages(3);
    controller->setSelection({QUuid::createUuid()});
    controller->addBlankPage(PageFormatPreset::letter);
    ASSERT_EQ(controller->document().pages.size(), 4);
    const VectorPage& added = controller->document().pages[1];
    EXPECT_EQ(added.title, QStringLiteral("Page 4"));
    EXPECT_DOUBLE_EQ(added.width, 612);
    EXPECT_DOUBLE_EQ(added.height, 792);
    EXPECT_EQ(controller->currentPageIndex(), 1);
    EXPECT_TRUE(controller->selection().isEmpty());
    EXPECT_EQ(controller->statusMessage(), QStringLiteral("Page added"));
}

TEST_F(VectorControllerCommandsTest, AddingAPageWithTheCurrentPageOutOfRangeAppendsIt)
{
    usePages(2);
    controller->setCurrentPageIndex(9);
    controller->addBlankPage(PageFormatPreset::a4Landscape);
    EXPECT_EQ(pageTitles(), (QStringList{"P1", "P2", "Page 3"}));
    EXPECT_EQ(controller->currentPageIndex(), 2);
}

TEST_F(VectorControllerCommandsTest, TheOnlyPageIsNeverDeleted)
{
    controller->deleteCurrentPage();
    EXPECT_EQ(controller->document().pages.size(), 1);
    EXPECT_FALSE(controller->canUndo());
    EXPECT_NE(controller->statusMessage(), QStringLiteral("Page deleted"));
}

TEST_F(VectorControllerCommandsTest, DeletingTheLastPageMakesTheNewLastPageCurrent)
{
    usePages(3);
    controller->setCurrentPageIndex(2);
    controller->setSelection({QUuid::createUuid()});
    controller->deleteCurrentPage();
    EXPECT_EQ(pageTitles(), (QStringList{"P1", "P2"}));
    EXPECT_EQ(controller->currentPageIndex(), 1);
    EXPECT_TRUE(controller->selection().isEmpty());
    EXPECT_EQ(controller->statusMessage(), QStringLiteral("Page deleted"));
}

TEST_F(VectorControllerCommandsTest, DuplicatingAPageMakesTheCopyCurrent)
{
    usePages(2);
    controller->addTextBlock(QStringLiteral("Hello"));
    controller->duplicateCurrentPage();
    EXPECT_EQ(pageTitles(), (QStringList{"P1", "P1 (copie)", "P2"}));
    EXPECT_EQ(controller->currentPageIndex(), 1);
    EXPECT_TRUE(controller->selection().isEmpty());
    EXPECT_EQ(controller->statusMessage(), QStringLiteral("Page duplicated"));
    const VectorPage& copy = controller->document().pages[1];
    ASSERT_EQ(copy.elements.size(), 1);
    EXPECT_NE(copy.elements[0].id, controller->document().pages[0].elements[0].id);
    EXPECT_NE(copy.id, controller->document().pages[0].id);
}

TEST_F(VectorControllerCommandsTest, RotatingAPageSwapsItsSidesAndKeepsTheSelection)
{
    usePages(2);
    controller->setCurrentPageIndex(1);
    controller->addTextBlock(QStringLiteral("Hello"));
    const QSet<QUuid> selection = controller->selection();
    controller->rotateCurrentPage(true);
    EXPECT_DOUBLE_EQ(controller->currentPage().width, 841.89);
    EXPECT_DOUBLE_EQ(controller->currentPage().height, 595.28);
    EXPECT_EQ(controller->currentPageIndex(), 1);
    EXPECT_EQ(controller->selection(), selection);
    EXPECT_EQ(controller->statusMessage(), QStringLiteral("Page rotated 90°"));
}

TEST_F(VectorControllerCommandsTest, WhatIsOnATurnedPageTurnsWithItAndFourTurnsGiveItBack)
{
    usePages(1);
    writeFile(QDir(signaturesFolder()).filePath(QStringLiteral("Jane.png")), pngImage(300, 100));
    controller->reloadSignaturesAndStampsFromDisk();
    controller->stampApprovalBadge(VectorStampKind::approved, VectorPoint{200, 300});
    controller->stampActiveSignature(VectorPoint{420, 700});
    controller->addTextBlock(QStringLiteral("Heading of the page"), VectorPoint{60, 80});
    controller->addShape(VectorShapeType::arrow, VectorRect(100, 500, 140, 84));
    const VectorDocument before = controller->document();
    ASSERT_EQ(before.pages[0].elements.size(), 4);
    const qsizetype steps = undoSteps();

    controller->rotateCurrentPage(true);
    const VectorPage& turned = controller->currentPage();
    for (qsizetype i = 0; i < 4; ++i) {
        const VectorElement& was = before.pages[0].elements[i];
        const VectorElement& now = turned.elements[i];
        // Same size, a quarter turn more, its centre where the turn carries it.
        EXPECT_EQ(now.frame.width, was.frame.width) << i;
        EXPECT_EQ(now.frame.height, was.frame.height) << i;
        EXPECT_NEAR(now.rotationDegrees, was.rotationDegrees + 90, 1e-9) << i;
        EXPECT_NEAR(now.frame.midX(), 841.89 - was.frame.midY(), 1e-5) << i;
        EXPECT_NEAR(now.frame.midY(), was.frame.midX(), 1e-5) << i;
        EXPECT_EQ(now.kind, was.kind) << i;
    }
    EXPECT_EQ(undoSteps(), steps + 1);

    for (int i = 0; i < 3; ++i)
        controller->rotateCurrentPage(true);
    VectorDocument after = controller->document();
    after.revision = before.revision;
    EXPECT_EQ(after, before);

    controller->rotateCurrentPage(false);
    controller->rotateCurrentPage(true);
    after = controller->document();
    after.revision = before.revision;
    EXPECT_EQ(after, before);
}

TEST_F(VectorControllerCommandsTest, MovingAPageOutsideTheDocumentDoesNothing)
{
    usePages(3);
    const qsizetype steps = undoSteps();
    controller->moveCurrentPage(-1);
    controller->setCurrentPageIndex(2);
    controller->moveCurrentPage(1);
    controller->moveCurrentPage(std::numeric_limits<qsizetype>::max());
    controller->moveCurrentPage(std::numeric_limits<qsizetype>::min());
    EXPECT_EQ(undoSteps(), steps);
    EXPECT_EQ(pageTitles(), (QStringList{"P1", "P2", "P3"}));
}

TEST_F(VectorControllerCommandsTest, MovingTheSecondPageUpSwapsTheFirstTwo)
{
    usePages(3);
    controller->setCurrentPageIndex(1);
    const QSet<QUuid> selection{QUuid::createUuid()};
    controller->setSelection(selection);
    controller->moveCurrentPage(-1);
    EXPECT_EQ(pageTitles(), (QStringList{"P2", "P1", "P3"}));
    EXPECT_EQ(controller->currentPageIndex(), 0);
    EXPECT_EQ(controller->selection(), selection);
    EXPECT_EQ(controller->statusMessage(), QStringLiteral("Page moved"));
}

TEST_F(VectorControllerCommandsTest, ThePageFieldsOfTheInspector)
{
    controller->setCurrentPageTitle(QStringLiteral("Cover"));
    EXPECT_EQ(controller->currentPage().title, QStringLiteral("Cover"));
    EXPECT_NE(controller->statusMessage(), QString());
    EXPECT_TRUE(controller->statusMessage().startsWith(QStringLiteral("Ready")));
    controller->setCurrentPageFormat(PageFormatPreset::stage16x9);
    EXPECT_DOUBLE_EQ(controller->currentPage().width, 960);
    EXPECT_DOUBLE_EQ(controller->currentPage().height, 540);
    EXPECT_EQ(controller->statusMessage(), QStringLiteral("Page format changed to 16:9 Régie"));
    EXPECT_EQ(undoSteps(), 2);
}

// ---- The selection -------------------------------------------------------------------

TEST_F(VectorControllerCommandsTest, NothingSelectedMeansNothingDeletedOrDuplicated)
{
    controller->addTextBlock(QStringLiteral("Hello"));
    controller->setSelection({});
    const qsizetype steps = undoSteps();
    controller->deleteSelectedElements();
    controller->duplicateSelectedElements();
    EXPECT_EQ(undoSteps(), steps);
    EXPECT_EQ(controller->currentPage().elements.size(), 1);
    EXPECT_EQ(controller->statusMessage(), QStringLiteral("Text block added"));
}

TEST_F(VectorControllerCommandsTest, DuplicatingTwoElementsSelectsOnlyTheCopies)
{
    controller->addTextBlock(QStringLiteral("One"));
    const QUuid first = *controller->selection().begin();
    controller->addShape(VectorShapeType::ellipse);
    const QUuid second = *controller->selection().begin();
    controller->setSelection({first, second});
    controller->duplicateSelectedElements();
    EXPECT_EQ(controller->currentPage().elements.size(), 4);
    EXPECT_EQ(controller->selection().size(), 2);
    EXPECT_FALSE(controller->selection().contains(first));
    EXPECT_FALSE(controller->selection().contains(second));
    EXPECT_EQ(controller->statusMessage(), QStringLiteral("Selection duplicated"));
}

TEST_F(VectorControllerCommandsTest, DeletingTheSelectionEmptiesIt)
{
    controller->addTextBlock(QStringLiteral("One"));
    controller->addTextBlock(QStringLiteral("Two"));
    controller->deleteSelectedElements();
    ASSERT_EQ(controller->currentPage().elements.size(), 1);
    EXPECT_EQ(controller->currentPage().elements[0].text()->text, QStringLiteral("One"));
    EXPECT_TRUE(controller->selection().isEmpty());
    EXPECT_EQ(controller->statusMessage(), QStringLiteral("Selection deleted"));
}

// ---- Placing ---------------------------------------------------------------------------

TEST_F(VectorControllerCommandsTest, ATextBlockGoesToItsDefaultPlace)
{
    controller->addTextBlock(QStringLiteral("Hello"));
    const VectorElement& element = lastElement(*controller);
    EXPECT_NEAR(element.frame.x, 148.82, kTolerance);
    EXPECT_NEAR(element.frame.y, 294.6615, kTolerance);
    ASSERT_NE(element.text(), nullptr);
    EXPECT_EQ(element.text()->text, QStringLiteral("Hello"));
    EXPECT_DOUBLE_EQ(element.text()->fontSize, 15);
    EXPECT_FALSE(element.text()->isBold);
    EXPECT_EQ(element.style.fillColorHex, QStringLiteral("#111317"));
    EXPECT_EQ(controller->selection(), QSet<QUuid>{element.id});
    EXPECT_EQ(controller->statusMessage(), QStringLiteral("Text block added"));

    controller->addTextBlock(QStringLiteral("There"), VectorPoint{12, 34});
    EXPECT_NEAR(lastElement(*controller).frame.x, 12, kTolerance);
    EXPECT_NEAR(lastElement(*controller).frame.y, 34, kTolerance);
}

TEST_F(VectorControllerCommandsTest, ShapesTakeTheirDefaultFrameAndStyle)
{
    controller->addShape(VectorShapeType::roundedRectangle);
    const VectorElement box = lastElement(*controller);
    expectRect(box.frame, 190.4896, 303.0804, 140, 84);
    const auto* boxShape = std::get_if<ShapePayload>(&box.kind);
    ASSERT_NE(boxShape, nullptr);
    EXPECT_EQ(boxShape->cornerRadius, 8);
    EXPECT_FALSE(boxShape->startArrow);
    EXPECT_FALSE(boxShape->endArrow);
    EXPECT_EQ(box.style.strokeColorHex, QStringLiteral("#1E3A8A"));
    EXPECT_EQ(box.style.fillColorHex, QStringLiteral("#DBEAFE"));
    EXPECT_DOUBLE_EQ(box.style.strokeWidth, 1.8);
    EXPECT_DOUBLE_EQ(box.style.opacity, 1.0);
    EXPECT_FALSE(box.style.dashed);
    EXPECT_EQ(box.name, QStringLiteral("Rounded Box"));
    EXPECT_EQ(controller->statusMessage(), QStringLiteral("Rounded Box added"));

    controller->addShape(VectorShapeType::arrow, VectorRect(1, 2, 30, 40));
    const VectorElement arrow = lastElement(*controller);
    expectRect(arrow.frame, 1, 2, 30, 40);
    const auto* arrowShape = std::get_if<ShapePayload>(&arrow.kind);
    ASSERT_NE(arrowShape, nullptr);
    EXPECT_EQ(arrowShape->cornerRadius, 0);
    EXPECT_FALSE(arrowShape->startArrow);
    EXPECT_TRUE(arrowShape->endArrow);
    EXPECT_EQ(arrow.style.strokeColorHex, QStringLiteral("#D97706"));
    EXPECT_FALSE(arrow.style.fillColorHex.has_value());
    EXPECT_DOUBLE_EQ(arrow.style.strokeWidth, 2.2);

    controller->addShape(VectorShapeType::line);
    const auto* lineShape = std::get_if<ShapePayload>(&lastElement(*controller).kind);
    ASSERT_NE(lineShape, nullptr);
    EXPECT_FALSE(lineShape->startArrow);
    EXPECT_FALSE(lineShape->endArrow);
    EXPECT_EQ(lastElement(*controller).style.strokeColorHex, QStringLiteral("#D97706"));
}

TEST_F(VectorControllerCommandsTest, ShapeLabelsFollowTheLanguage)
{
    Localization::setCurrent(AppLanguage::fr);
    controller->addShape(VectorShapeType::diamond);
    EXPECT_EQ(controller->statusMessage(), QStringLiteral("Losange ajouté"));
    controller->addTextBlock(QStringLiteral("x"));
    EXPECT_EQ(controller->statusMessage(), QStringLiteral("Bloc de texte ajouté"));
}

TEST_F(VectorControllerCommandsTest, ABuiltInStampIsMadeAtItsDefaultPoint)
{
    controller->stampApprovalBadge(VectorStampKind::confidential);
    const VectorElement stamp = lastElement(*controller);
    const VectorElement expected = VectorOperations::makeStampElement(VectorStampKind::confidential, {178.584, 690.3498});
    expectRect(stamp.frame, expected.frame.x, expected.frame.y, expected.frame.width, expected.frame.height);
    const auto* payload = std::get_if<StampPayload>(&stamp.kind);
    ASSERT_NE(payload, nullptr);
    EXPECT_EQ(payload->stampKind, VectorStampKind::confidential);
    EXPECT_EQ(controller->statusMessage(),
              QStringLiteral("Stamp \"") + defaultTitle(VectorStampKind::confidential) + QStringLiteral("\" added"));
    EXPECT_EQ(controller->selection(), QSet<QUuid>{stamp.id});

    Localization::setCurrent(AppLanguage::fr);
    controller->stampApprovalBadge(VectorStampKind::draft);
    EXPECT_EQ(controller->statusMessage(),
              QStringLiteral("Tampon « ") + defaultTitle(VectorStampKind::draft) + QStringLiteral(" » ajouté"));
}

TEST_F(VectorControllerCommandsTest, AStampWithoutAKindUsesTheChosenKindWhenTheCustomStampIsGone)
{
    controller->setActiveStampKind(VectorStampKind::check);
    controller->setActiveCustomStampPresetID(QUuid::createUuid());
    controller->stampApprovalBadge();
    const auto* payload = std::get_if<StampPayload>(&lastElement(*controller).kind);
    ASSERT_NE(payload, nullptr);
    EXPECT_EQ(payload->stampKind, VectorStampKind::check);
    EXPECT_FALSE(payload->assetData.has_value());
}

TEST_F(VectorControllerCommandsTest, AStampWithoutAKindUsesTheChosenCustomStamp)
{
    writeFile(QDir(stampsFolder()).filePath(QStringLiteral("Seal.png")), pngImage(200, 100));
    controller->reloadSignaturesAndStampsFromDisk();
    ASSERT_EQ(controller->customStamps().size(), 1);
    controller->setActiveCustomStampPresetID(controller->customStamps()[0].id);
    controller->stampApprovalBadge(std::nullopt, VectorPoint{300, 300});
    const VectorElement stamp = lastElement(*controller);
    const auto* payload = std::get_if<StampPayload>(&stamp.kind);
    ASSERT_NE(payload, nullptr);
    EXPECT_TRUE(payload->assetData.has_value());
    EXPECT_NEAR(stamp.frame.midX(), 300, 0.5);
    EXPECT_NEAR(stamp.frame.midY(), 300, 0.5);
    EXPECT_DOUBLE_EQ(stamp.rotationDegrees, -4.0);
    EXPECT_EQ(controller->statusMessage(), QStringLiteral("Stamp \"Seal\" added"));
}

TEST_F(VectorControllerCommandsTest, TheActiveSignatureIsCentredOnItsDefaultPointWithTheDate)
{
    controller->stampActiveSignature();
    const VectorElement signature = lastElement(*controller);
    const auto* payload = std::get_if<SignaturePayload>(&signature.kind);
    ASSERT_NE(payload, nullptr);
    EXPECT_TRUE(payload->dateLabel.has_value());
    EXPECT_NEAR(signature.frame.midX(), 404.7904, 0.01);
    EXPECT_NEAR(signature.frame.midY(), 690.3498, 0.01);
    EXPECT_EQ(controller->statusMessage(), QStringLiteral("Signature placed (Signature)"));
    EXPECT_EQ(controller->selection(), QSet<QUuid>{signature.id});
}

TEST_F(VectorControllerCommandsTest, AnImageSignatureCarriesNoDate)
{
    writeFile(QDir(signaturesFolder()).filePath(QStringLiteral("Jane.png")), pngImage(300, 100));
    controller->reloadSignaturesAndStampsFromDisk();
    controller->stampActiveSignature(VectorPoint{300, 400});
    const auto* payload = std::get_if<SignaturePayload>(&lastElement(*controller).kind);
    ASSERT_NE(payload, nullptr);
    EXPECT_FALSE(payload->dateLabel.has_value());
    EXPECT_TRUE(payload->assetData.has_value());
    Localization::setCurrent(AppLanguage::fr);
    controller->stampActiveSignature();
    EXPECT_EQ(controller->statusMessage(), QStringLiteral("Signature apposée (Jane)"));
}

// ---- A current page that does not exist -------------------------------------------------

TEST_F(VectorControllerCommandsTest, NoCommandActsOnACurrentPageThatDoesNotExist)
{
    usePages(2);
    controller->addTextBlock(QStringLiteral("Hello"));
    writeFile(QDir(stampsFolder()).filePath(QStringLiteral("Seal.png")), pngImage(200, 100));
    controller->reloadSignaturesAndStampsFromDisk();
    const VectorDocument before = controller->document();
    const qsizetype steps = undoSteps();
    const QString status = controller->statusMessage();

    for (const qsizetype index : {qsizetype(-1), qsizetype(2), qsizetype(40)}) {
        controller->setCurrentPageIndex(index);
        controller->setSelection({before.pages[0].elements[0].id});
        controller->deleteCurrentPage();
        controller->duplicateCurrentPage();
        controller->rotateCurrentPage(true);
        controller->moveCurrentPage(-1);
        controller->moveCurrentPage(1);
        controller->deleteSelectedElements();
        controller->duplicateSelectedElements();
        controller->addTextBlock(QStringLiteral("x"));
        controller->addShape(VectorShapeType::rectangle);
        controller->stampApprovalBadge(VectorStampKind::approved);
        controller->stampApprovalBadge();
        controller->stampActiveSignature();
        controller->stampCustomStamp(controller->customStamps()[0]);
        controller->setCurrentPageTitle(QStringLiteral("x"));
        controller->setCurrentPageFormat(PageFormatPreset::letter);
        EXPECT_EQ(controller->document(), before) << index;
        EXPECT_EQ(undoSteps(), steps) << index;
        EXPECT_EQ(controller->statusMessage(), status) << index;
        EXPECT_EQ(controller->currentPageIndex(), index);
    }
}
