#include "ControllerTestSupport.h"

#include "operations/VectorOperations.h"

using namespace zelvane;
using namespace zelvane::testing;

namespace {

VectorElement textElement(const QString& name, const QString& text)
{
    VectorElement element = VectorOperations::makeTextElement(text, {10, 10}, 12, QStringLiteral("#000000"), false);
    element.name = name;
    return element;
}

VectorElement shapeElement(const QString& name)
{
    VectorElement element;
    element.id = QUuid::createUuid();
    element.name = name;
    element.kind = ShapePayload{VectorShapeType::rectangle, 0, false, false};
    element.frame = VectorRect(10, 10, 20, 20);
    return element;
}

class RecordingServices : public RemoteControlServices {
public:
    explicit RecordingServices(QStringList& calls) : m_calls(calls) {}
    void start() override { m_calls.append(QStringLiteral("start")); }
    void stop() override { m_calls.append(QStringLiteral("stop")); }

private:
    QStringList& m_calls;
};

}  // namespace

using VectorControllerStateTest = ControllerTest;

TEST_F(VectorControllerStateTest, ANewControllerHoldsOneUntitledA4Page)
{
    const auto controller = makeController();
    const VectorDocument& document = controller->document();
    ASSERT_EQ(document.pages.size(), 1);
    EXPECT_EQ(document.pages[0].title, QStringLiteral("Page 1"));
    EXPECT_DOUBLE_EQ(document.pages[0].width, 595.28);
    EXPECT_DOUBLE_EQ(document.pages[0].height, 841.89);
    EXPECT_EQ(document.pages[0].backgroundColorHex, QStringLiteral("#FFFFFF"));
    EXPECT_TRUE(document.pages[0].elements.isEmpty());
    EXPECT_FALSE(document.pages[0].pdfPageData.has_value());
    EXPECT_EQ(document.title, QStringLiteral("Untitled"));
    EXPECT_EQ(document.revision, 1);
    EXPECT_EQ(document.sourceFormat, DocumentSourceFormat::svg);
    EXPECT_FALSE(document.fileURL.has_value());
    EXPECT_EQ(controller->statusMessage(),
              QStringLiteral("Ready · Open a PDF or SVG document (Ctrl+O) or draw on the A4 page"));
    EXPECT_FALSE(controller->lastError().has_value());
    EXPECT_EQ(controller->currentPageIndex(), 0);
    EXPECT_TRUE(controller->selection().isEmpty());
    EXPECT_FALSE(controller->canUndo());
    EXPECT_FALSE(controller->canRedo());
    EXPECT_EQ(controller->history().maxDepth(), 60);
    EXPECT_EQ(controller->activeStampKind(), VectorStampKind::approved);
    EXPECT_FALSE(controller->activeCustomStampPresetID().has_value());
    EXPECT_TRUE(controller->searchQuery().isEmpty());
}

TEST_F(VectorControllerStateTest, ANewControllerSpeaksFrenchWhenAskedTo)
{
    Localization::setCurrent(AppLanguage::fr);
    const auto controller = makeController();
    EXPECT_EQ(controller->document().title, QStringLiteral("Sans titre"));
    EXPECT_EQ(controller->statusMessage(),
              QStringLiteral("Prêt · Ouvrir un document PDF ou SVG (Ctrl+O) ou dessiner sur la page A4"));
}

TEST_F(VectorControllerStateTest, PerformRecordsOneStepAndShowsItsLabel)
{
    const auto controller = makeController();
    SignalCounter documentChanges(*controller, &VectorController::documentChanged);
    const VectorDocument before = controller->document();
    controller->perform(QStringLiteral("Added"), [](VectorDocument& document) {
        VectorOperations::addElement(shapeElement(QStringLiteral("box")), 0, document);
        VectorOperations::addElement(shapeElement(QStringLiteral("box 2")), 0, document);
    });
    EXPECT_EQ(documentChanges.count, 1);
    EXPECT_EQ(controller->document().pages[0].elements.size(), 2);
    EXPECT_EQ(controller->document().revision, 3);
    EXPECT_EQ(controller->statusMessage(), QStringLiteral("Added"));
    ASSERT_EQ(controller->history().undoStack().size(), 1);
    EXPECT_EQ(controller->history().undoStack().first(), before);
    EXPECT_FALSE(controller->canRedo());
}

TEST_F(VectorControllerStateTest, AnEmptyLabelKeepsTheStatusButStillRecordsAndClearsTheError)
{
    const auto controller = makeController();
    EXPECT_THROW(controller->openFile(scratchPath(QStringLiteral("missing.svg"))), CodecError);
    ASSERT_TRUE(controller->lastError().has_value());
    const QString status = controller->statusMessage();
    controller->perform(QString(), [](VectorDocument&) {});
    EXPECT_EQ(controller->statusMessage(), status);
    EXPECT_FALSE(controller->lastError().has_value());
    EXPECT_TRUE(controller->canUndo());
    // A mutation that uses no operation leaves the revision alone.
    EXPECT_EQ(controller->document().revision, 1);
}

TEST_F(VectorControllerStateTest, PerformBringsTheCurrentPageBackIntoRange)
{
    const auto controller = makeController();
    controller->addBlankPage(PageFormatPreset::a4Portrait);
    controller->addBlankPage(PageFormatPreset::a4Portrait);
    ASSERT_EQ(controller->currentPageIndex(), 2);
    controller->perform(QStringLiteral("Trim"), [](VectorDocument& document) {
        VectorOperations::deletePage(document, 2);
        VectorOperations::deletePage(document, 1);
    });
    EXPECT_EQ(controller->currentPageIndex(), 0);

    controller->addBlankPage(PageFormatPreset::a4Portrait);
    controller->setCurrentPageIndex(-3);
    EXPECT_EQ(controller->currentPage().id, controller->document().pages[0].id);
    controller->perform(QString(), [](VectorDocument&) {});
    EXPECT_EQ(controller->currentPageIndex(), 0);
}

TEST_F(VectorControllerStateTest, SixtyStepsCanBeUndone)
{
    const auto controller = makeController();
    for (int i = 0; i < 61; ++i)
        controller->perform(QStringLiteral("Step %1").arg(i), [](VectorDocument& document) { document.title += 'x'; });
    for (int i = 0; i < 60; ++i) {
        ASSERT_TRUE(controller->canUndo()) << i;
        controller->undo();
    }
    EXPECT_FALSE(controller->canUndo());
    // The first edit's snapshot was dropped: it cannot be undone.
    EXPECT_EQ(controller->document().title, QStringLiteral("Untitledx"));

    // A 61st undo changes nothing and shows nothing (in French it would say
    // "Annulé").
    Localization::setCurrent(AppLanguage::fr);
    SignalCounter documentChanges(*controller, &VectorController::documentChanged);
    controller->undo();
    EXPECT_EQ(documentChanges.count, 0);
    EXPECT_EQ(controller->statusMessage(), QStringLiteral("Undone"));
    EXPECT_EQ(controller->document().title, QStringLiteral("Untitledx"));
}

TEST_F(VectorControllerStateTest, UndoingANewPageGoesBackToTheFirstPage)
{
    const auto controller = makeController();
    controller->addBlankPage(PageFormatPreset::a4Portrait);
    ASSERT_EQ(controller->currentPageIndex(), 1);
    const qint64 revision = controller->document().revision;
    controller->undo();
    EXPECT_EQ(controller->document().pages.size(), 1);
    EXPECT_EQ(controller->currentPageIndex(), 0);
    EXPECT_EQ(controller->document().revision, 1);
    EXPECT_EQ(controller->statusMessage(), QStringLiteral("Undone"));
    EXPECT_TRUE(controller->canRedo());

    controller->redo();
    EXPECT_EQ(controller->document().pages.size(), 2);
    EXPECT_EQ(controller->document().revision, revision);
    EXPECT_EQ(controller->currentPageIndex(), 0);
    EXPECT_EQ(controller->statusMessage(), QStringLiteral("Redone"));
}

TEST_F(VectorControllerStateTest, UndoAndRedoAreFrenchInFrench)
{
    Localization::setCurrent(AppLanguage::fr);
    const auto controller = makeController();
    controller->addBlankPage(PageFormatPreset::a4Portrait);
    EXPECT_EQ(controller->statusMessage(), QStringLiteral("Page ajoutée"));
    controller->undo();
    EXPECT_EQ(controller->statusMessage(), QStringLiteral("Annulé"));
    controller->redo();
    EXPECT_EQ(controller->statusMessage(), QStringLiteral("Rétabli"));
}

TEST_F(VectorControllerStateTest, ANewEditAfterAnUndoForgetsTheRedo)
{
    const auto controller = makeController();
    controller->addTextBlock(QStringLiteral("one"));
    controller->undo();
    ASSERT_TRUE(controller->canRedo());
    controller->addTextBlock(QStringLiteral("two"));
    EXPECT_FALSE(controller->canRedo());
    const VectorDocument current = controller->document();
    controller->redo();
    EXPECT_EQ(controller->document(), current);
}

TEST_F(VectorControllerStateTest, UndoKeepsTheSelectionAndTheLastError)
{
    const auto controller = makeController();
    controller->addTextBlock(QStringLiteral("one"));
    const QSet<QUuid> selection = controller->selection();
    EXPECT_THROW(controller->openFile(scratchPath(QStringLiteral("missing.pdf"))), CodecError);
    controller->undo();
    EXPECT_EQ(controller->selection(), selection);
    EXPECT_TRUE(controller->lastError().has_value());
}

TEST_F(VectorControllerStateTest, AMutationThatThrowsChangesNothing)
{
    const auto controller = makeController();
    const VectorDocument before = controller->document();
    EXPECT_THROW(controller->perform(QStringLiteral("Broken"),
                                     [](VectorDocument& document) {
                                         document.title = QStringLiteral("half done");
                                         throw std::runtime_error("no");
                                     }),
                 std::runtime_error);
    EXPECT_EQ(controller->document(), before);
    EXPECT_FALSE(controller->canUndo());
    EXPECT_NE(controller->statusMessage(), QStringLiteral("Broken"));
}

TEST_F(VectorControllerStateTest, ThePrimarySelectionIsTheTopmostSelectedElement)
{
    const auto controller = makeController();
    const VectorElement a = shapeElement(QStringLiteral("a"));
    const VectorElement b = shapeElement(QStringLiteral("b"));
    const VectorElement c = shapeElement(QStringLiteral("c"));
    controller->perform(QString(), [&](VectorDocument& document) {
        for (const VectorElement& element : {a, b, c})
            VectorOperations::addElement(element, 0, document);
    });
    controller->setSelection({c.id, a.id});
    ASSERT_TRUE(controller->primarySelectedElement().has_value());
    EXPECT_EQ(controller->primarySelectedElement()->id, c.id);
    const QList<VectorElement> selected = controller->selectedElements();
    ASSERT_EQ(selected.size(), 2);
    EXPECT_EQ(selected[0].id, a.id);
    EXPECT_EQ(selected[1].id, c.id);

    controller->addBlankPage(PageFormatPreset::a4Portrait);
    controller->setSelection({a.id});
    EXPECT_FALSE(controller->primarySelectedElement().has_value());
    EXPECT_TRUE(controller->selectedElements().isEmpty());
}

TEST_F(VectorControllerStateTest, TheSearchMatchesNamesTitlesAndTexts)
{
    const auto controller = makeController();
    const VectorElement logo = shapeElement(QStringLiteral("logo-top"));
    const VectorElement text = textElement(QStringLiteral("Body"), QStringLiteral("LOGO"));
    const VectorElement other = shapeElement(QStringLiteral("frame"));
    controller->perform(QString(), [&](VectorDocument& document) {
        for (const VectorElement& element : {logo, text, other})
            VectorOperations::addElement(element, 0, document);
    });
    controller->setSearchQuery(QStringLiteral("  Logo\n"));
    const ElementList found = controller->filteredElementsOnCurrentPage();
    ASSERT_EQ(found.size(), 2);
    EXPECT_EQ(found[0].id, logo.id);
    EXPECT_EQ(found[1].id, text.id);

    controller->setSearchQuery(QStringLiteral("   "));
    EXPECT_EQ(controller->filteredElementsOnCurrentPage().size(), 3);
}

TEST_F(VectorControllerStateTest, OutsideWritesRecordNothing)
{
    const auto controller = makeController();
    SignalCounter pageChanges(*controller, &VectorController::currentPageIndexChanged);
    SignalCounter stampKindChanges(*controller, &VectorController::activeStampKindChanged);
    controller->setCurrentPageIndex(4);
    controller->setActiveStampKind(VectorStampKind::draft);
    controller->setActiveStampKind(VectorStampKind::draft);
    controller->setSearchQuery(QStringLiteral("x"));
    EXPECT_EQ(pageChanges.count, 1);
    EXPECT_EQ(stampKindChanges.count, 1);
    EXPECT_FALSE(controller->canUndo());
    EXPECT_EQ(controller->currentPage().id, controller->document().pages[0].id);
}

TEST_F(VectorControllerStateTest, AGestureCanRecordItsOwnStep)
{
    const auto controller = makeController();
    const VectorDocument before = controller->document();
    controller->recordUndoSnapshot();
    VectorDocument moved = controller->document();
    moved.title = QStringLiteral("Dragged");
    controller->setDocument(moved);
    EXPECT_EQ(controller->document().title, QStringLiteral("Dragged"));
    controller->undo();
    EXPECT_EQ(controller->document(), before);
}

TEST_F(VectorControllerStateTest, ServicesStartWhenAttachedOnlyIfAskedFor)
{
    QStringList calls;
    {
        const auto controller = makeController(false, true);
        EXPECT_TRUE(controller->servicesEnabled());
        controller->attachRemoteServices(std::make_unique<RecordingServices>(calls));
        EXPECT_EQ(calls, QStringList{QStringLiteral("start")});
    }
    EXPECT_EQ(calls, (QStringList{QStringLiteral("start"), QStringLiteral("stop")}));

    calls.clear();
    {
        const auto controller = makeController(false, false);
        controller->attachRemoteServices(std::make_unique<RecordingServices>(calls));
        EXPECT_TRUE(calls.isEmpty());
        ASSERT_NE(controller->remoteServices(), nullptr);
    }
    EXPECT_EQ(calls, QStringList{QStringLiteral("stop")});
}

TEST_F(VectorControllerStateTest, TheElementCountsFollowEveryStoreOfTheDocument)
{
    const auto controller = makeController();
    const auto expectCounts = [&] {
        const VectorDocument& document = controller->document();
        const VectorController::DocumentCounts counts = controller->documentCounts();
        EXPECT_EQ(counts.elements, document.totalElementsCount());
        EXPECT_EQ(counts.pdfTexts, document.pdfTextElementCount());
        EXPECT_EQ(counts.modifiedPDFTexts, document.modifiedPDFTextCount());
        EXPECT_EQ(counts.signatures, document.signatureCount());
    };
    expectCounts();
    controller->addTextBlock(QStringLiteral("One"));
    controller->addTextBlock(QStringLiteral("Two"));
    EXPECT_EQ(controller->documentCounts().elements, 2);
    controller->undo();
    EXPECT_EQ(controller->documentCounts().elements, 1);
    controller->redo();
    expectCounts();
    VectorDocument replaced = controller->document();
    replaced.pages[0].elements.clear();
    controller->setDocument(replaced);
    EXPECT_EQ(controller->documentCounts().elements, 0);
    expectCounts();

    // Each page counts its own elements, a copied page (sharing its
    // blocks) as many as the page it copies, an edited copy its own.
    controller->addTextBlock(QStringLiteral("Three"));
    controller->addBlankPage(PageFormatPreset::a4Portrait);
    controller->addTextBlock(QStringLiteral("Four"));
    controller->addTextBlock(QStringLiteral("Five"));
    controller->duplicateCurrentPage();
    EXPECT_EQ(controller->documentCounts().elements, 5);
    controller->addTextBlock(QStringLiteral("Six"));
    EXPECT_EQ(controller->documentCounts().elements, 6);
    expectCounts();
}
