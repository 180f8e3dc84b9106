#include "UiTestSupport.h"
#include "VectorController.h"
#include "appmodel/AppModel.h"
#include "controls/Chip.h"
#include "controls/IconButton.h"
#include "controls/TextButton.h"
#include "operations/VectorOperations.h"
#include "panels/InspectorView.h"
#include "panels/inspector/ColorSwatchStrip.h"
#include "panels/inspector/CoordinateBadge.h"
#include "panels/inspector/DoubleSlider.h"
#include "panels/inspector/ElementCommitField.h"
#include "panels/inspector/ElementSliderRow.h"
#include "panels/inspector/FontFamilyList.h"
#include "panels/inspector/InspectorWidgets.h"
#include "panels/inspector/SelectedElementSection.h"
#include "panels/inspector/SignatureControls.h"
#include "panels/inspector/StampControls.h"
#include "panels/inspector/TextControls.h"
#include "theme/Theme.h"

#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QScrollArea>
#include <QScrollBar>
#include <QStyle>
#include <QStyleOptionButton>
#include <QStackedWidget>
#include <QTest>
#include <QWheelEvent>

using namespace zelvane;
using namespace zelvane::testing;

namespace {

class InspectorViewTest : public UiTest {
protected:
    void SetUp() override
    {
        UiTest::SetUp();
        model = std::make_unique<AppModel>(false, false);
        view = std::make_unique<InspectorView>(*model);
        // Tall enough that the whole section shows without scrolling.
        view->resize(316, 1100);
        view->show();
        view->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(view.get()));
    }

    void TearDown() override
    {
        view.reset();
        model.reset();
    }

    VectorController& controller() { return model->controller(); }
    SelectedElementSection& section() { return *view->selectedElementSection(); }

    // Puts the elements on the first page of a document with no history and
    // selects the last one.
    void place(const QList<VectorElement>& elements)
    {
        VectorDocument document = controller().document();
        document.pages[0].elements = elements;
        controller().setDocument(document);
        controller().setCurrentPageIndex(0);
        controller().setSelection({elements.last().id});
        QApplication::processEvents();
    }

    static VectorElement text(const QString& content, double fontSize = 14)
    {
        return VectorOperations::makeTextElement(content, VectorPoint(80, 80), fontSize, QStringLiteral("#111317"),
                                                 false);
    }

    static VectorElement stamp()
    {
        return VectorOperations::makeStampElement(VectorStampKind::approved, VectorPoint(200, 300));
    }

    VectorElement element(const QUuid& id)
    {
        for (const VectorElement& each : controller().document().pages[0].elements) {
            if (each.id == id)
                return each;
        }
        ADD_FAILURE() << "no element " << id.toString().toStdString();
        return {};
    }

    qsizetype undoDepth() { return controller().history().undoStack().size(); }

    // Some other focusable widget to click into, as a user leaving a field.
    void leaveFields()
    {
        if (!elsewhere) {
            elsewhere = std::make_unique<QLineEdit>();
            elsewhere->show();
        }
        elsewhere->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(elsewhere.get()));
        QTest::mouseClick(elsewhere.get(), Qt::LeftButton);
    }

    void typeInto(QLineEdit* field, const QString& text)
    {
        QTest::mouseClick(field, Qt::LeftButton);
        ASSERT_TRUE(field->hasFocus());
        field->selectAll();
        QTest::keyClicks(field, text);
    }

    // A press on the knob, `steps` moves of `dx` pixels, a release.
    static void drag(DoubleSlider* slider, int dx, int steps = 3)
    {
        QPoint at = slider->handleRect().center();
        QTest::mousePress(slider, Qt::LeftButton, {}, at);
        for (int i = 0; i < steps; ++i) {
            at.rx() += dx;
            QTest::mouseMove(slider, at);
        }
        QTest::mouseRelease(slider, Qt::LeftButton, {}, at);
    }

    std::unique_ptr<AppModel> model;
    std::unique_ptr<InspectorView> view;
    std::unique_ptr<QLineEdit> elsewhere;
};

}  // namespace

TEST_F(InspectorViewTest, TheSectionShowsTheTopmostSelectedElementOfTheCurrentPageOnly)
{
    EXPECT_FALSE(section().isVisible());
    const VectorElement a = text(QStringLiteral("Alpha"));
    const VectorElement b = stamp();
    place({a, b});
    controller().setSelection({b.id, a.id});
    EXPECT_TRUE(section().isVisible());
    EXPECT_EQ(section().elementID(), b.id);
    EXPECT_EQ(section().kindChip()->text(), "TAMPON");
    EXPECT_TRUE(section().sizeRow()->isVisible());

    controller().setSelection({a.id});
    EXPECT_EQ(section().kindChip()->text(), "TEXTE");
    EXPECT_EQ(section().kindControls()->currentWidget(), section().textControls());
    EXPECT_FALSE(section().sizeRow()->isVisible());

    controller().setSelection({QUuid::createUuid()});
    EXPECT_FALSE(section().isVisible());
}

TEST_F(InspectorViewTest, ReturnInTheNameFieldRenamesAsOneStepAndAnUnchangedCommitRecordsNothing)
{
    const VectorElement a = text(QStringLiteral("Alpha"));
    place({a});
    ElementCommitField* name = section().nameField();
    EXPECT_EQ(name->text(), a.name);

    typeInto(name, QStringLiteral("  Title "));
    QTest::keyClick(name, Qt::Key_Return);
    EXPECT_EQ(element(a.id).name, "  Title ");
    EXPECT_EQ(undoDepth(), 1);

    // Return again, then leaving, with nothing changed.
    QTest::keyClick(name, Qt::Key_Return);
    leaveFields();
    EXPECT_EQ(undoDepth(), 1);

    // An empty name is a name.
    view->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(view.get()));
    typeInto(name, QString());
    QTest::keyClick(name, Qt::Key_Backspace);
    QTest::keyClick(name, Qt::Key_Return);
    EXPECT_EQ(element(a.id).name, "");
    EXPECT_EQ(undoDepth(), 2);

    // After undo the field shows the restored name.
    leaveFields();
    controller().undo();
    EXPECT_EQ(name->text(), "  Title ");
}

TEST_F(InspectorViewTest, ADraftTypedForOneElementLandsOnItAfterTheSelectionMoves)
{
    const VectorElement a = text(QStringLiteral("Alpha"));
    const VectorElement b = text(QStringLiteral("Beta"));
    place({a, b});
    controller().setSelection({a.id});
    typeInto(section().nameField(), QStringLiteral("Draft"));
    controller().setSelection({b.id});
    leaveFields();
    EXPECT_EQ(element(a.id).name, "Draft");
    EXPECT_EQ(element(b.id).name, b.name);
    EXPECT_EQ(undoDepth(), 1);
    EXPECT_EQ(section().nameField()->text(), b.name);

    // A draft whose element is gone by then goes nowhere.
    view->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(view.get()));
    typeInto(section().textControls()->contentField(), QStringLiteral("Orphan"));
    controller().deleteSelectedElements();
    leaveFields();
    EXPECT_EQ(undoDepth(), 2);
    EXPECT_EQ(controller().document().pages[0].elements.size(), 1);
    EXPECT_EQ(element(a.id).text()->text, "Alpha");
}

TEST_F(InspectorViewTest, TextsWithLineFeedsTabsOrOnlySpacesSurviveAVisitOfTheirFields)
{
    VectorElement a = text(QStringLiteral("Line one\nLine two"));
    a.name = QStringLiteral("   ");
    place({a});
    QTest::mouseClick(section().textControls()->contentField(), Qt::LeftButton);
    QTest::mouseClick(section().nameField(), Qt::LeftButton);
    leaveFields();
    EXPECT_EQ(element(a.id).text()->text, "Line one\nLine two");
    EXPECT_EQ(element(a.id).name, "   ");
    EXPECT_FALSE(controller().canUndo());
}

TEST_F(InspectorViewTest, APressOnTheTrackAndTheDragAfterItAreOneStep)
{
    const VectorElement a = stamp();
    place({a});
    DoubleSlider* rotation = section().rotationRow()->slider();
    const QRect handle = rotation->handleRect();
    QPoint at(rotation->width() - handle.width(), handle.center().y());
    QTest::mousePress(rotation, Qt::LeftButton, {}, at);
    at.rx() -= 20;
    QTest::mouseMove(rotation, at);
    QTest::mouseRelease(rotation, Qt::LeftButton, {}, at);
    EXPECT_NE(element(a.id).rotationDegrees, a.rotationDegrees);
    EXPECT_EQ(undoDepth(), 1);
    controller().undo();
    EXPECT_EQ(element(a.id).rotationDegrees, a.rotationDegrees);
}

TEST_F(InspectorViewTest, ADragCutShortByADeselectionKeepsItsStep)
{
    const VectorElement a = stamp();
    place({a});
    DoubleSlider* width = section().strokeWidthRow()->slider();
    QPoint at = width->handleRect().center();
    QTest::mousePress(width, Qt::LeftButton, {}, at);
    at.rx() += 30;
    QTest::mouseMove(width, at);
    const double dragged = element(a.id).style.strokeWidth;
    controller().setSelection({});
    // The hidden slider no longer sees the release.
    QTest::mouseRelease(view.get(), Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_EQ(controller().activeGesture(), 0u);
    // A later edit neither cancels the drag nor merges with it.
    controller().setSelection({a.id});
    QTest::mouseClick(section().button(QStringLiteral("+15°")), Qt::LeftButton);
    EXPECT_EQ(element(a.id).style.strokeWidth, dragged);
    EXPECT_EQ(undoDepth(), 2);
}

TEST_F(InspectorViewTest, AFocusedFieldNobodyTypedIntoFollowsTheElementAndCommitsNothingStale)
{
    const VectorElement a = text(QStringLiteral("Alpha"));
    const VectorElement b = text(QStringLiteral("Beta"));
    place({a, b});
    controller().setSelection({a.id});
    ElementCommitField* name = section().nameField();
    QTest::mouseClick(name, Qt::LeftButton);
    ASSERT_TRUE(name->hasFocus());
    // Renamed elsewhere (a remote command) while the field has focus.
    controller().perform(QString(), [&](VectorDocument& d) {
        VectorOperations::updateElement(a.id, 0, d, [](VectorElement& e) { e.name = QStringLiteral("Remote"); });
    });
    EXPECT_EQ(name->text(), "Remote");
    controller().setSelection({b.id});
    EXPECT_EQ(name->text(), b.name);
    leaveFields();
    EXPECT_EQ(element(a.id).name, "Remote");
    EXPECT_EQ(element(b.id).name, b.name);
    EXPECT_EQ(undoDepth(), 1);
}

TEST_F(InspectorViewTest, SwatchesSetAndRemoveColoursWithUndo)
{
    const VectorElement a = stamp();
    place({a});
    const std::optional<QString> stroke = a.style.strokeColorHex;
    QTest::mouseClick(section().strokeStrip()->swatchButton(5), Qt::LeftButton);
    EXPECT_EQ(element(a.id).style.strokeColorHex, QStringLiteral("#DC2626"));
    EXPECT_EQ(section().strokeStrip()->currentSwatchIndex(), 5);
    QTest::mouseClick(section().fillStrip()->noneButton(), Qt::LeftButton);
    EXPECT_FALSE(element(a.id).style.fillColorHex.has_value());
    EXPECT_TRUE(section().fillStrip()->noneHighlighted());
    EXPECT_EQ(undoDepth(), 2);
    controller().undo();
    controller().undo();
    EXPECT_EQ(element(a.id).style, a.style);
    EXPECT_EQ(section().strokeStrip()->currentHex(), stroke);
}

TEST_F(InspectorViewTest, ShowingValuesOutsideTheSlidersChangesNothing)
{
    VectorElement big = text(QStringLiteral("Big"), 72);
    big.style.strokeWidth = 12.5;
    VectorElement wide = stamp();
    wide.frame.width = 500;
    place({big, wide});
    const quint64 revision = controller().contentRevision();
    const VectorDocument before = controller().document();
    controller().setSelection({big.id});
    EXPECT_EQ(section().textControls()->sizeRow()->readout()->text(), "72.0 pt");
    EXPECT_EQ(section().strokeWidthRow()->readout()->text(), "12.5 pt");
    EXPECT_EQ(section().textControls()->sizeRow()->slider()->value(),
              section().textControls()->sizeRow()->slider()->maximum());
    controller().setSelection({wide.id});
    EXPECT_EQ(section().sizeRow()->readout()->text(), "500 pt");
    EXPECT_EQ(controller().contentRevision(), revision);
    EXPECT_EQ(controller().document(), before);
    EXPECT_FALSE(controller().canUndo());
}

TEST_F(InspectorViewTest, ASliderDragIsOneUndoStepAndUndoKeepsTheEditBeforeIt)
{
    const VectorElement a = stamp();
    place({a});
    DoubleSlider* width = section().strokeWidthRow()->slider();

    // A press without a move records nothing.
    drag(width, 0, 0);
    EXPECT_EQ(undoDepth(), 0);

    // On a fresh document the drag alone can be undone.
    drag(width, 20);
    const double dragged = element(a.id).style.strokeWidth;
    EXPECT_NE(dragged, a.style.strokeWidth);
    EXPECT_EQ(undoDepth(), 1);
    EXPECT_EQ(section().strokeWidthRow()->readout()->text(), QString::asprintf("%.1f pt", dragged));

    QTest::mouseClick(section().button(QStringLiteral("0°")), Qt::LeftButton);
    controller().setStatusMessage(QStringLiteral("before the drag"));
    drag(section().rotationRow()->slider(), 15, 4);
    EXPECT_EQ(controller().statusMessage(), "before the drag");
    EXPECT_EQ(undoDepth(), 3);
    const double rotation = element(a.id).rotationDegrees;
    EXPECT_GT(rotation, 0);
    controller().undo();
    EXPECT_EQ(element(a.id).rotationDegrees, 0);
    EXPECT_EQ(element(a.id).style.strokeWidth, dragged);
}

TEST_F(InspectorViewTest, TheWheelOverASliderOrTheFontListChangesNothing)
{
    const VectorElement a = text(QStringLiteral("Wheel"));
    place({a});
    const VectorDocument before = controller().document();
    for (QWidget* target : {static_cast<QWidget*>(section().strokeWidthRow()->slider()),
                            static_cast<QWidget*>(section().textControls()->fontList())}) {
        const QPointF at = QRectF(target->rect()).center();
        QWheelEvent wheel(at, target->mapToGlobal(at), QPoint(), QPoint(0, -120), Qt::NoButton, Qt::NoModifier,
                          Qt::NoScrollPhase, false);
        QApplication::sendEvent(target, &wheel);
        // Left to the parents: the panel's scroll area.
        EXPECT_FALSE(wheel.isAccepted());
    }
    EXPECT_EQ(controller().document(), before);
    EXPECT_FALSE(controller().canUndo());
}

TEST_F(InspectorViewTest, RotationStepsWrapOnceInTheirDirection)
{
    const VectorElement a = stamp();
    place({a});
    const struct {
        double from;
        const char* button;
        double to;
    } cases[] = {{170, "+15°", -175}, {-170, "-15°", 175}, {180, "90°", -90},  {-180, "-15°", 165},
                 {180, "-15°", 165},  {100, "90°", -170},  {165, "+15°", 180}, {400, "+15°", 55}};
    for (const auto& c : cases) {
        controller().perform(QString(), [&](VectorDocument& d) {
            VectorOperations::updateElement(a.id, 0, d, [&](VectorElement& e) { e.rotationDegrees = c.from; });
        });
        QTest::mouseClick(section().button(QString::fromUtf8(c.button)), Qt::LeftButton);
        EXPECT_DOUBLE_EQ(element(a.id).rotationDegrees, c.to) << c.from << " " << c.button;
    }
    QTest::mouseClick(section().button(QStringLiteral("0°")), Qt::LeftButton);
    EXPECT_EQ(element(a.id).rotationDegrees, 0);
    EXPECT_EQ(controller().statusMessage(), "Rotation reset (0°)");
}

TEST_F(InspectorViewTest, TheSizeSliderResizesAboutTheCentreAsOneStep)
{
    VectorElement a = stamp();
    a.frame = VectorRect(0, 0, 200, 100);
    place({a});
    drag(section().sizeRow()->slider(), -10, 3);
    const VectorElement resized = element(a.id);
    EXPECT_LT(resized.frame.width, 200);
    EXPECT_NEAR(resized.frame.width / resized.frame.height, 2, 1e-9);
    EXPECT_NEAR(resized.frame.x + resized.frame.width / 2, 100, 1e-9);
    EXPECT_NEAR(resized.frame.y + resized.frame.height / 2, 50, 1e-9);
    EXPECT_EQ(undoDepth(), 1);
    EXPECT_EQ(section().badge(2)->valueText(), QString::number(std::llround(resized.frame.width)));
}

TEST_F(InspectorViewTest, AFontChoiceClearsThePostScriptNameAndRefits)
{
    VectorElement a = text(QStringLiteral("A rather long line of text"));
    a.text()->fontFamily = QStringLiteral("Courier New");
    a.text()->postScriptFontName = QStringLiteral("CourierNewPS-BoldMT");
    a.frame.width = 5;
    place({a});
    FontFamilyList* fonts = section().textControls()->fontList();
    EXPECT_EQ(fonts->currentText(), "Courier New");
    const QString next = fonts->itemText(fonts->currentIndex() + 1);
    ASSERT_FALSE(next.isEmpty());
    fonts->setFocus();
    QTest::keyClick(fonts, Qt::Key_Down);
    const VectorElement changed = element(a.id);
    EXPECT_EQ(changed.text()->fontFamily, next);
    EXPECT_FALSE(changed.text()->postScriptFontName.has_value());
    EXPECT_GT(changed.frame.width, 5);
    EXPECT_EQ(controller().statusMessage(), "Font updated");
    EXPECT_EQ(undoDepth(), 1);
    controller().undo();
    EXPECT_EQ(fonts->currentText(), "Courier New");
}

TEST_F(InspectorViewTest, TheTextFrameFollowsSizeAndWeightChanges)
{
    // An 11-point line in a frame as high as its type, as PDF lines come.
    VectorElement a = text(QStringLiteral("Quarterly figures"), 11);
    a.frame.height = 11;
    a.text()->baselineOffset = 8.5;
    place({a});
    drag(section().textControls()->sizeRow()->slider(), 12, 3);
    const VectorElement larger = element(a.id);
    const double ratio = larger.text()->fontSize / 11;
    ASSERT_GT(ratio, 1.2);
    // The frame and the baseline grow with the type; the top left stays.
    EXPECT_NEAR(larger.frame.height / 11, ratio, 0.03 * ratio);
    EXPECT_NEAR(*larger.text()->baselineOffset / 8.5, ratio, 0.03 * ratio);
    EXPECT_GT(larger.frame.width, a.frame.width * 1.15);
    EXPECT_DOUBLE_EQ(larger.frame.x, a.frame.x);
    EXPECT_DOUBLE_EQ(larger.frame.y, a.frame.y);
    EXPECT_EQ(undoDepth(), 1);

    // Bold type is wider: the frame widens with it, and narrows back.
    TextControls* controls = section().textControls();
    QTest::mouseClick(controls->boldButton(), Qt::LeftButton);
    const VectorElement bold = element(a.id);
    EXPECT_TRUE(bold.text()->isBold);
    EXPECT_GT(bold.frame.width, larger.frame.width);
    QTest::mouseClick(controls->boldButton(), Qt::LeftButton);
    EXPECT_NEAR(element(a.id).frame.width, larger.frame.width, 0.01);
}

TEST_F(InspectorViewTest, TextButtonsAndTheSignatureBranchesEditThroughTheController)
{
    const VectorElement a = text(QStringLiteral("Style"));
    place({a});
    TextControls* controls = section().textControls();
    QTest::mouseClick(controls->boldButton(), Qt::LeftButton);
    QTest::mouseClick(controls->alignmentButton(2), Qt::LeftButton);
    EXPECT_TRUE(element(a.id).text()->isBold);
    EXPECT_EQ(element(a.id).text()->alignment, TextAlignmentMode::right);
    EXPECT_TRUE(controls->boldButton()->active());

    const VectorElement signature =
        VectorOperations::makeSignatureElement(controller().activeSignaturePreset(), VectorPoint(200, 200), false);
    place({a, signature});
    SignatureControls* signatureControls = section().signatureControls();
    EXPECT_EQ(section().kindControls()->currentWidget(), signatureControls);
    const bool fromFile = std::get<SignaturePayload>(signature.kind).assetData.has_value();
    EXPECT_EQ(signatureControls->inkToggle()->isVisible(), fromFile);
    EXPECT_EQ(signatureControls->signerField()->isVisible(), !fromFile);
}

TEST_F(InspectorViewTest, FrontAndBackMoveTheShownElementWhileDuplicateAndDeleteTakeTheSelection)
{
    const VectorElement a = stamp();
    const VectorElement b = text(QStringLiteral("Middle"));
    const VectorElement c = stamp();
    place({a, b, c});
    controller().setSelection({a.id, b.id});
    ASSERT_EQ(section().elementID(), b.id);
    QTest::mouseClick(section().button(QStringLiteral("Front")), Qt::LeftButton);
    const ElementList& elements = controller().document().pages[0].elements;
    EXPECT_EQ(elements[0].id, a.id);
    EXPECT_EQ(elements[2].id, b.id);
    EXPECT_EQ(controller().statusMessage(), "Brought to front");
    QTest::mouseClick(section().button(QStringLiteral("Back")), Qt::LeftButton);
    EXPECT_EQ(controller().document().pages[0].elements[0].id, b.id);

    QTest::mouseClick(section().button(QStringLiteral("Duplicate")), Qt::LeftButton);
    EXPECT_EQ(controller().document().pages[0].elements.size(), 5);
    EXPECT_EQ(controller().selection().size(), 2);
    QTest::mouseClick(section().findChild<QWidget*>(QStringLiteral("deleteSelectionButton")), Qt::LeftButton);
    EXPECT_EQ(controller().document().pages[0].elements.size(), 3);
    EXPECT_FALSE(section().isVisible());
}

TEST_F(InspectorViewTest, InkTogglesNameTheirEditAndSavingASignatureLeavesTheDocument)
{
    VectorElement fromFile = stamp();
    std::get<StampPayload>(fromFile.kind).assetData = QByteArray("not really an image");
    place({fromFile});
    QCheckBox* ink = section().stampControls()->inkToggle();
    ASSERT_TRUE(ink->isVisible());
    const bool was = std::get<StampPayload>(fromFile.kind).removeWhiteBackground;
    QTest::mouseClick(ink, Qt::LeftButton);
    EXPECT_EQ(std::get<StampPayload>(element(fromFile.id).kind).removeWhiteBackground, !was);
    EXPECT_EQ(controller().statusMessage(), "Stamp background updated");

    const VectorElement signature =
        VectorOperations::makeSignatureElement(controller().activeSignaturePreset(), VectorPoint(200, 200), false);
    place({signature});
    const qsizetype depth = undoDepth();
    const VectorDocument before = controller().document();
    const qsizetype library = controller().signatures().size();
    // A drawn signature: no ink toggle, the library button instead.
    ASSERT_TRUE(section().signatureControls()->saveButton()->isVisible());
    EXPECT_FALSE(section().signatureControls()->inkToggle()->isVisible());
    QTest::mouseClick(section().signatureControls()->saveButton(), Qt::LeftButton);
    EXPECT_EQ(controller().signatures().size(), library + 1);
    EXPECT_EQ(controller().statusMessage(), "Signature saved to library");
    EXPECT_EQ(undoDepth(), depth);
    EXPECT_EQ(controller().document(), before);
}

TEST_F(InspectorViewTest, ANewSelectionScrollsItsSectionIntoView)
{
    view->resize(316, 420);
    place({text(QStringLiteral("first")), stamp()});
    QScrollBar* bar = view->scrollArea()->verticalScrollBar();
    ASSERT_GT(bar->maximum(), 0);
    const auto sectionTopShown = [this] {
        const int top = section().mapTo(view->scrollArea()->viewport(), QPoint(0, 0)).y();
        return top >= 0 && top < view->scrollArea()->viewport()->height();
    };
    const ElementList elements = controller().document().pages[0].elements;
    for (const VectorElement& element : elements) {
        bar->setValue(bar->maximum());
        QApplication::processEvents();
        ASSERT_FALSE(sectionTopShown());
        controller().setSelection({element.id});
        EXPECT_TRUE(QTest::qWaitFor(sectionTopShown, 5000)) << element.name.toStdString();
    }
    // The same element again (an edit of it) leaves the scrolling alone.
    bar->setValue(bar->maximum());
    QApplication::processEvents();
    controller().updateCurrentPageElement(elements.last().id, QStringLiteral("Rename"),
                                          [](VectorElement& changed) { changed.name = QStringLiteral("x"); });
    QApplication::processEvents();
    QApplication::processEvents();
    EXPECT_EQ(bar->value(), bar->maximum());
}

TEST_F(InspectorViewTest, AnUntickedToggleStandsOutFromThePanel)
{
    QWidget panel;
    QPalette palette = panel.palette();
    palette.setColor(QPalette::Window, Theme::panel());
    panel.setPalette(palette);
    panel.setAutoFillBackground(true);
    QCheckBox* box = InspectorWidgets::toggle(QStringLiteral("Dashed"), &panel);
    box->setChecked(false);
    panel.resize(200, 40);
    box->move(10, 10);
    box->adjustSize();
    const QImage image = panel.grab().toImage();
    QStyleOptionButton option;
    option.initFrom(box);
    const QRect indicator =
        box->style()->subElementRect(QStyle::SE_CheckBoxIndicator, &option, box).translated(box->pos());
    ASSERT_FALSE(indicator.isEmpty());
    // Its outline is far lighter than the panel around it.
    int lightest = 0;
    const double scale = image.devicePixelRatio();
    for (int y = indicator.top(); y <= indicator.bottom(); ++y)
        for (int x = indicator.left(); x <= indicator.right(); ++x)
            lightest = std::max(lightest, QColor(image.pixel(int(x * scale), int(y * scale))).lightness());
    EXPECT_GT(lightest - Theme::panel().lightness(), 60);
}

TEST_F(InspectorViewTest, EveryElementFieldCommitsADraftOnceAndOnlyToItsOwnElement)
{
    SignaturePreset preset = VectorController::namedSignaturePreset(QStringLiteral("Ada"));
    preset.caption = QStringLiteral("CEO");
    struct Case {
        const char* name;
        std::function<VectorElement()> make;
        std::function<ElementCommitField*()> field;
        std::function<QString(const VectorElement&)> read;
    };
    const QList<Case> cases{
        {"name", [] { return text(QStringLiteral("Alpha")); }, [this] { return section().nameField(); },
         [](const VectorElement& e) { return e.name; }},
        {"content", [] { return text(QStringLiteral("Alpha")); },
         [this] { return section().textControls()->contentField(); },
         [](const VectorElement& e) { return e.text()->text; }},
        {"signer", [&] { return VectorOperations::makeSignatureElement(preset, VectorPoint(200, 200), false); },
         [this] { return section().signatureControls()->signerField(); },
         [](const VectorElement& e) { return std::get<SignaturePayload>(e.kind).signerName; }},
        {"caption", [&] { return VectorOperations::makeSignatureElement(preset, VectorPoint(200, 200), false); },
         [this] { return section().signatureControls()->captionField(); },
         [](const VectorElement& e) { return std::get<SignaturePayload>(e.kind).caption.value_or(QString()); }},
        {"stamp title", [] { return stamp(); }, [this] { return section().stampControls()->titleField(); },
         [](const VectorElement& e) { return std::get<StampPayload>(e.kind).title; }},
        {"stamp subtitle", [] { return stamp(); }, [this] { return section().stampControls()->subtitleField(); },
         [](const VectorElement& e) { return std::get<StampPayload>(e.kind).subtitle; }},
    };
    for (const Case& each : cases) {
        SCOPED_TRACE(each.name);
        view->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(view.get()));
        const VectorElement a = each.make();
        const VectorElement b = each.make();
        place({a, b});
        controller().setSelection({a.id});
        ElementCommitField* field = each.field();
        const QString beforeB = each.read(element(b.id));

        // Typed for A, the selection moves to B (the layer list takes no
        // focus), then Return: A gets the text.
        typeInto(field, QStringLiteral("Box2"));
        controller().setSelection({b.id});
        QTest::keyClick(field, Qt::Key_Return);
        EXPECT_EQ(each.read(element(a.id)), QStringLiteral("Box2"));
        EXPECT_EQ(each.read(element(b.id)), beforeB);
        // The field shows B's own value, and neither Tab nor leaving writes
        // anything.
        EXPECT_EQ(field->text(), beforeB);
        const qsizetype steps = undoDepth();
        QTest::keyClick(field, Qt::Key_Tab);
        leaveFields();
        EXPECT_EQ(each.read(element(b.id)), beforeB);
        EXPECT_EQ(each.read(element(a.id)), QStringLiteral("Box2"));
        EXPECT_EQ(undoDepth(), steps);
    }
}
