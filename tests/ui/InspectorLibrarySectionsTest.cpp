#include "PanelTestSupport.h"

#include "LibraryFolders.h"
#include "controls/CommitField.h"
#include "controls/IconButton.h"
#include "controls/TextButton.h"
#include "operations/VectorOperations.h"
#include "panels/InspectorView.h"
#include "panels/inspector/ArtworkThumbnails.h"
#include "panels/inspector/LibraryRow.h"
#include "panels/inspector/PageDocumentSection.h"
#include "panels/inspector/QuickStampsSection.h"
#include "panels/inspector/SignatureLibrarySection.h"

#include <QApplication>
#include <QLabel>

using namespace zelvane;
using namespace zelvane::testing;

namespace {

class InspectorSectionsTest : public PanelTest {
protected:
    // Types into a field that has the keyboard focus.
    static void focus(QWidget& window, QLineEdit* field)
    {
        window.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
        field->setFocus(Qt::MouseFocusReason);
        ASSERT_TRUE(QTest::qWaitFor([field] { return field->hasFocus(); }));
    }

    static void clickButton(QWidget* button) { QTest::mouseClick(button, Qt::LeftButton, {}, button->rect().center()); }
};

TEST_F(InspectorSectionsTest, DocumentTitleCommitLeavesNoUndoStepAndSurvivesUndo)
{
    PageDocumentSection section(*model);
    show(section, {292, 220});
    controller().addBlankPage(PageFormatPreset::a4Portrait);
    const qsizetype steps = undoSteps();
    const QString status = controller().statusMessage();

    CommitField* field = section.documentTitleField();
    focus(section, field);
    field->selectAll();
    QTest::keyClicks(field, QStringLiteral("Budget 2027"));
    QTest::keyClick(field, Qt::Key_Return);
    EXPECT_EQ(controller().document().title, QStringLiteral("Budget 2027"));
    EXPECT_EQ(undoSteps(), steps);
    EXPECT_EQ(controller().statusMessage(), status);

    controller().undo();
    EXPECT_EQ(controller().document().pages.size(), 1);
    EXPECT_EQ(controller().document().title, QStringLiteral("Budget 2027"));
    field->clearFocus();
    EXPECT_EQ(field->text(), QStringLiteral("Budget 2027"));
}

TEST_F(InspectorSectionsTest, PageTitleReturnIsOneStepAndAnOutOfRangePageTakesNothing)
{
    PageDocumentSection section(*model);
    show(section, {292, 220});
    const QString status = controller().statusMessage();
    CommitField* field = section.pageTitleField();
    focus(section, field);
    field->selectAll();
    QTest::keyClicks(field, QStringLiteral("Couverture"));
    QTest::keyClick(field, Qt::Key_Return);
    EXPECT_EQ(controller().document().pages[0].title, QStringLiteral("Couverture"));
    EXPECT_EQ(undoSteps(), 1);
    EXPECT_EQ(controller().statusMessage(), status);
    // Return with the text unchanged still commits.
    QTest::keyClick(field, Qt::Key_Return);
    EXPECT_EQ(undoSteps(), 2);

    const VectorDocument before = controller().document();
    controller().setCurrentPageIndex(7);
    QTest::keyClicks(field, QStringLiteral(" bis"));
    QTest::keyClick(field, Qt::Key_Return);
    clickButton(section.formatButtons().at(1));
    EXPECT_EQ(controller().document(), before);
    EXPECT_EQ(undoSteps(), 2);
    EXPECT_EQ(controller().currentPageIndex(), 7);
}

TEST_F(InspectorSectionsTest, StageFormatResizesThePageAndKeepsFrames)
{
    PageDocumentSection section(*model);
    show(section, {292, 220});
    controller().addTextBlock(QStringLiteral("Low"), VectorPoint{40, 700});
    const VectorRect frame = controller().document().pages[0].elements[0].frame;
    const qsizetype steps = undoSteps();

    ASSERT_EQ(section.formatButtons().size(), 3);
    TextButton* stage = section.formatButtons().at(2);
    EXPECT_EQ(stage->title(), QStringLiteral("16:9 Régie"));
    clickButton(stage);
    const VectorPage& page = controller().document().pages[0];
    EXPECT_DOUBLE_EQ(page.width, 960);
    EXPECT_DOUBLE_EQ(page.height, 540);
    EXPECT_EQ(page.elements[0].frame, frame);
    EXPECT_EQ(controller().statusMessage(), QStringLiteral("Page format changed to 16:9 Régie"));
    EXPECT_EQ(undoSteps(), steps + 1);
    EXPECT_EQ(section.sizeLabel()->text(), page.dimensionsLabel());
}

TEST_F(InspectorSectionsTest, APageTitleDraftLandsOnThePageItWasTypedFor)
{
    PageDocumentSection section(*model);
    show(section, {292, 220});
    controller().addBlankPage(PageFormatPreset::a4Portrait);
    controller().setCurrentPageIndex(0);
    const QString secondTitle = controller().document().pages[1].title;

    // Return after a page turn from elsewhere.
    CommitField* field = section.pageTitleField();
    focus(section, field);
    field->selectAll();
    QTest::keyClicks(field, QStringLiteral("Intro"));
    controller().setCurrentPageIndex(1);
    QTest::keyClick(field, Qt::Key_Return);
    EXPECT_EQ(controller().document().pages[0].title, QStringLiteral("Intro"));
    EXPECT_EQ(controller().document().pages[1].title, secondTitle);
    EXPECT_EQ(field->text(), secondTitle);

    // Focus leaving after a page turn.
    field->selectAll();
    QTest::keyClicks(field, QStringLiteral("Annexe"));
    controller().setCurrentPageIndex(0);
    field->clearFocus();
    EXPECT_EQ(controller().document().pages[1].title, QStringLiteral("Annexe"));
    EXPECT_EQ(controller().document().pages[0].title, QStringLiteral("Intro"));
    EXPECT_EQ(field->text(), QStringLiteral("Intro"));

    // A page turn without typing changes nothing when focus leaves.
    const qsizetype steps = undoSteps();
    focus(section, field);
    controller().setCurrentPageIndex(1);
    field->clearFocus();
    EXPECT_EQ(undoSteps(), steps);
}

TEST_F(InspectorSectionsTest, LibraryRowsMarkTheActiveSignatureWithoutAnUndoStep)
{
    const QString folder = LibraryFolders::signaturesFolder();
    writeFile(folder + QStringLiteral("/Alice.png"), pngBytes(40, 16));
    writeFile(folder + QStringLiteral("/Bob.png"), pngBytes(40, 16, Qt::darkRed));
    controller().reloadSignaturesAndStampsFromDisk();

    SignatureLibrarySection section(*model);
    show(section, {292, 260});
    ASSERT_EQ(section.rows().size(), 2);
    EXPECT_FALSE(section.emptyNote()->isVisible());
    EXPECT_EQ(section.rows().at(0)->subtitle(), QStringLiteral("File PNG"));
    LibraryRow* bob = section.rows().at(1);
    clickButton(bob);
    EXPECT_EQ(controller().activeSignaturePresetID(), controller().signatures().at(1).id);
    EXPECT_TRUE(bob->active());
    EXPECT_FALSE(section.rows().at(0)->active());
    EXPECT_EQ(section.rows().at(1), bob);  // moved in place, not rebuilt
    EXPECT_FALSE(controller().canUndo());

    // Artwork is decoded off the main thread, then shown.
    bob->repaint();
    ArtworkThumbnails::shared().waitForIdle();
    const SignaturePreset& preset = controller().signatures().at(1);
    const auto found = ArtworkThumbnails::shared().lookup(*preset.assetData, preset.assetExtension,
                                                          preset.removeWhiteBackground);
    EXPECT_EQ(found.state, ArtworkThumbnails::State::ready);
}

TEST_F(InspectorSectionsTest, SignPlacesAndSelectsTheActiveSignature)
{
    SignatureLibrarySection section(*model);
    show(section, {292, 200});
    EXPECT_TRUE(section.emptyNote()->isVisible());
    clickButton(section.signButton());
    const ElementList& elements = controller().document().pages[0].elements;
    ASSERT_EQ(elements.size(), 1);
    EXPECT_NE(std::get_if<SignaturePayload>(&elements[0].kind), nullptr);
    EXPECT_EQ(controller().selection(), QSet<QUuid>{elements[0].id});
    EXPECT_EQ(undoSteps(), 1);
}

TEST_F(InspectorSectionsTest, ImportingAPngMakesItTheMarkedSignature)
{
    const QString source = dataHome.filePath(QStringLiteral("incoming/Claire.png"));
    writeFile(source, pngBytes(60, 20));
    environment->nextChoice = QStringList{source};
    SignatureLibrarySection section(*model);
    show(section, {292, 200});

    clickButton(section.importButton());
    ASSERT_EQ(environment->requests.size(), 1);
    ASSERT_EQ(controller().signatures().size(), 1);
    EXPECT_EQ(controller().signatures().at(0).title, QStringLiteral("Claire"));
    EXPECT_EQ(controller().activeSignaturePresetID(), controller().signatures().at(0).id);
    ASSERT_EQ(section.rows().size(), 1);
    EXPECT_TRUE(section.rows().at(0)->active());
    EXPECT_FALSE(section.emptyNote()->isVisible());

    clickButton(section.openFolderButton());
    EXPECT_EQ(environment->revealed, QStringList{LibraryFolders::signaturesFolder()});
}

TEST_F(InspectorSectionsTest, AChipChoosesTheKindAndPlacesOneBadge)
{
    writeFile(LibraryFolders::stampsFolder() + QStringLiteral("/Visa.svg"),
              QByteArray("<svg xmlns='http://www.w3.org/2000/svg' width='40' height='20'/>"));
    controller().reloadSignaturesAndStampsFromDisk();
    QuickStampsSection section(*model);
    show(section, {292, 260});
    ASSERT_EQ(section.rows().size(), 1);
    EXPECT_EQ(section.rows().at(0)->subtitle(), QStringLiteral("File SVG · Click to place"));
    clickButton(section.rows().at(0));
    EXPECT_TRUE(section.rows().at(0)->active());
    EXPECT_EQ(controller().document().pages[0].elements.size(), 1);

    ASSERT_EQ(section.chips().size(), 6);
    clickButton(section.chips().at(3));
    EXPECT_EQ(controller().activeStampKind(), VectorStampKind::confidential);
    EXPECT_FALSE(controller().activeCustomStampPresetID().has_value());
    EXPECT_FALSE(section.rows().at(0)->active());
    const ElementList& elements = controller().document().pages[0].elements;
    ASSERT_EQ(elements.size(), 2);
    const auto* stamp = std::get_if<StampPayload>(&elements[1].kind);
    ASSERT_NE(stamp, nullptr);
    EXPECT_EQ(stamp->stampKind, VectorStampKind::confidential);
    EXPECT_EQ(controller().selection(), QSet<QUuid>{elements[1].id});
}

TEST_F(InspectorSectionsTest, TheInspectorHoldsTheThreeSections)
{
    InspectorView inspector(*model);
    show(inspector, {316, 700});
    EXPECT_NE(inspector.findChild<SignatureLibrarySection*>(), nullptr);
    EXPECT_NE(inspector.findChild<QuickStampsSection*>(), nullptr);
    EXPECT_NE(inspector.findChild<PageDocumentSection*>(), nullptr);
}

}  // namespace
