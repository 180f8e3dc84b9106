#include "UiTestSupport.h"
#include "ControllerEnvironment.h"
#include "VectorController.h"
#include "appmodel/AppModel.h"
#include "bars/TopBar.h"
#include "controls/IconButton.h"
#include "model/StampPayload.h"
#include "theme/Format.h"
#include "window/ContentView.h"

#include <QLayout>
#include <QLineEdit>
#include <QMenu>
#include <QTest>
#include <cmath>

using namespace zelvane;

namespace {

// Notes the panels asked for and cancels them.
class CancellingEnvironment : public ControllerEnvironment {
public:
    std::optional<QStringList> chooseFiles(const FileChoiceRequest& request) override
    {
        titles.append(request.title);
        return std::nullopt;
    }
    std::optional<QString> chooseSaveFile(const SaveFileRequest& request) override
    {
        titles.append(request.title);
        return std::nullopt;
    }
    QStringList titles;
};

class TopBarTest : public zelvane::testing::WindowTest {
protected:
    TopBar* bar() const { return window->content()->topBar(); }

    template <class T = QAbstractButton>
    T* button(const char* name) const
    {
        T* found = bar()->findChild<T*>(QLatin1String(name));
        EXPECT_NE(found, nullptr) << name;
        return found;
    }

    void click(const char* name) const
    {
        QAbstractButton* target = button(name);
        ASSERT_NE(target, nullptr);
        QTest::mouseClick(target, Qt::LeftButton, {}, target->rect().center());
    }

    // Clicks and waits until the view has settled on the zoom it moves to.
    void clickZoomAndSettle(const char* name, double expected) const
    {
        click(name);
        ASSERT_TRUE(QTest::qWaitFor([&] { return std::abs(model->zoomScale() - expected) < 1e-9; }, 3000))
            << name << " expected " << expected << " got " << model->zoomScale();
    }

    QMenu* openStampMenu() const
    {
        click("stampMenu");
        QMenu* menu = bar()->stampMenu();
        EXPECT_TRUE(QTest::qWaitFor([menu] { return menu->isVisible(); }, 3000));
        return menu;
    }

    static QList<QAction*> entries(QMenu* menu)
    {
        QList<QAction*> result;
        for (QAction* action : menu->actions()) {
            if (!action->isSeparator())
                result.append(action);
        }
        return result;
    }
};

}  // namespace

TEST_F(TopBarTest, UndoAndRedoFollowTheHistory)
{
    VectorController& controller = model->controller();
    EXPECT_FALSE(button("undo")->isEnabled());
    EXPECT_FALSE(button("redo")->isEnabled());
    click("addPage");
    EXPECT_EQ(controller.document().pages.size(), 2);
    EXPECT_TRUE(button("undo")->isEnabled());
    EXPECT_FALSE(button("redo")->isEnabled());
    click("undo");
    EXPECT_EQ(controller.document().pages.size(), 1);
    EXPECT_FALSE(button("undo")->isEnabled());
    EXPECT_TRUE(button("redo")->isEnabled());
    click("redo");
    EXPECT_EQ(controller.document().pages.size(), 2);
    // A disabled button does nothing when clicked.
    click("redo");
    EXPECT_EQ(controller.document().pages.size(), 2);
}

TEST_F(TopBarTest, OpenAndSaveAskThroughThePanels)
{
    auto environment = std::make_shared<CancellingEnvironment>();
    model->controller().setEnvironment(environment);
    click("open");
    click("save");
    EXPECT_EQ(environment->titles,
              QStringList({QStringLiteral("Open SVG or PDF Document"), QStringLiteral("Save Document (SVG)")}));
    EXPECT_FALSE(model->alert().has_value());
}

TEST_F(TopBarTest, AddPageInsertsAfterTheCurrentPageAsOneUndoStep)
{
    VectorController& controller = model->controller();
    for (int i = 0; i < 4; ++i)
        controller.addBlankPage(PageFormatPreset::a4Landscape);
    controller.setCurrentPageIndex(1);
    controller.stampApprovalBadge(VectorStampKind::draft);
    ASSERT_FALSE(controller.selection().isEmpty());
    const QList<QUuid> before = [&] {
        QList<QUuid> ids;
        for (const VectorPage& page : controller.document().pages)
            ids.append(page.id);
        return ids;
    }();

    click("addPage");
    const VectorDocument& document = controller.document();
    ASSERT_EQ(document.pages.size(), 6);
    EXPECT_EQ(controller.currentPageIndex(), 2);
    EXPECT_TRUE(controller.selection().isEmpty());
    // Titled by the count, placed by the position, A4 portrait.
    EXPECT_EQ(document.pages[2].title, QStringLiteral("Page 6"));
    EXPECT_LT(document.pages[2].width, document.pages[2].height);
    EXPECT_EQ(document.pages[3].id, before[2]);
    EXPECT_EQ(controller.statusMessage(), QStringLiteral("Page added"));

    controller.undo();
    ASSERT_EQ(controller.document().pages.size(), 5);
    for (qsizetype i = 0; i < 5; ++i)
        EXPECT_EQ(controller.document().pages[i].id, before[i]);
}

TEST_F(TopBarTest, TheStampMenuListsTheKindsAndTheLibraryAsItIsWhenOpened)
{
    VectorController& controller = model->controller();
    QMenu* menu = openStampMenu();
    QList<QAction*> first = entries(menu);
    const qsizetype librarySize = controller.signatures().size();
    ASSERT_EQ(first.size(), 7 + librarySize);
    qsizetype i = 0;
    for (VectorStampKind kind : EnumCases<VectorStampKind>::all)
        EXPECT_EQ(first[i++]->text(), defaultTitle(kind));
    menu->close();

    // A signature saved after the first opening shows at the next one.
    controller.stampActiveSignature();
    const VectorElement signature = controller.currentPage().elements.last();
    controller.saveCustomSignature(signature);
    ASSERT_EQ(controller.signatures().size(), librarySize + 1);
    menu = openStampMenu();
    QList<QAction*> second = entries(menu);
    ASSERT_EQ(second.size(), 7 + librarySize + 1);
    const SignaturePreset& saved = controller.signatures().last();
    EXPECT_EQ(second.last()->text(),
              QString(saved.title + QStringLiteral(" (") + saved.caption + QLatin1Char(')')).replace("&", "&&"));

    // Choosing a signature makes it the active one and places it.
    const qsizetype elements = controller.currentPage().elements.size();
    second.last()->trigger();
    EXPECT_EQ(controller.activeSignaturePresetID(), saved.id);
    EXPECT_EQ(controller.currentPage().elements.size(), elements + 1);
    menu->close();

    // Choosing a stamp kind keeps it as the kind for later stamps.
    controller.setActiveStampKind(VectorStampKind::cross);
    menu = openStampMenu();
    entries(menu).first()->trigger();
    menu->close();
    EXPECT_EQ(controller.activeStampKind(), VectorStampKind::approved);
    EXPECT_EQ(controller.currentPage().elements.size(), elements + 2);
    ASSERT_TRUE(std::holds_alternative<StampPayload>(controller.currentPage().elements.last().kind));
}

TEST_F(TopBarTest, ZoomStepsStopAtTheirBounds)
{
    // 477 % is seven steps in from 100 %.
    model->animateViewport(std::pow(1.25, 7), QSizeF(0, 0), 0);
    clickZoomAndSettle("zoomIn", std::pow(1.25, 8));
    EXPECT_EQ(Format::percent(model->zoomScale()), QStringLiteral("596 %"));
    clickZoomAndSettle("zoomIn", 6.0);
    clickZoomAndSettle("zoomIn", 6.0);

    // 26 % is six steps out.
    model->animateViewport(std::pow(0.8, 6), QSizeF(0, 0), 0);
    EXPECT_EQ(Format::percent(model->zoomScale()), QStringLiteral("26 %"));
    clickZoomAndSettle("zoomOut", 0.25);
    clickZoomAndSettle("zoomOut", 0.25);
    clickZoomAndSettle("zoomIn", 0.3125);
    EXPECT_EQ(Format::percent(model->zoomScale()), QStringLiteral("31 %"));
}

TEST_F(TopBarTest, TheZoomStepKeepsThePanAndTheResetFlashes)
{
    model->animateViewport(1, QSizeF(30, -12), 0);
    clickZoomAndSettle("zoomIn", 1.25);
    EXPECT_EQ(model->panOffset(), QSizeF(30, -12));
    EXPECT_FALSE(model->flashMessage().has_value());
    click("zoomPercent");
    ASSERT_TRUE(QTest::qWaitFor([&] { return model->zoomScale() == 1 && model->panOffset() == QSizeF(0, 0); }, 3000));
    EXPECT_EQ(model->flashMessage(), QStringLiteral("View reset (100%)"));
}

TEST_F(TopBarTest, FitWithoutASelectionShowsTheWholePage)
{
    model->animateViewport(2.5, QSizeF(40, 40), 0);
    click("fit");
    ASSERT_TRUE(QTest::qWaitFor([&] { return model->zoomScale() == 1 && model->panOffset() == QSizeF(0, 0); }, 3000));
    EXPECT_EQ(model->flashMessage(), QStringLiteral("Fitted full page"));
}

TEST_F(TopBarTest, EscapeInTheSearchFieldClearsTheQueryAndTheFocus)
{
    VectorController& controller = model->controller();
    QLineEdit* edit = bar()->searchEdit();
    QWidget* clear = bar()->findChild<QWidget*>(QStringLiteral("searchClear"));
    ASSERT_NE(clear, nullptr);
    EXPECT_FALSE(clear->isVisible());
    QTest::mouseClick(edit, Qt::LeftButton);
    ASSERT_TRUE(QTest::qWaitFor([edit] { return edit->hasFocus(); }, 3000));
    QTest::keyClicks(edit, QStringLiteral("ab"));
    EXPECT_EQ(controller.searchQuery(), QStringLiteral("ab"));
    EXPECT_TRUE(clear->isVisible());

    // The clear button empties the query and leaves the focus.
    QTest::mouseClick(clear, Qt::LeftButton, {}, clear->rect().center());
    EXPECT_TRUE(controller.searchQuery().isEmpty());
    EXPECT_FALSE(clear->isVisible());
    EXPECT_TRUE(edit->hasFocus());

    QTest::keyClicks(edit, QStringLiteral("   "));
    EXPECT_EQ(controller.searchQuery(), QStringLiteral("   "));
    QTest::keyClick(edit, Qt::Key_Escape);
    EXPECT_TRUE(controller.searchQuery().isEmpty());
    EXPECT_TRUE(edit->text().isEmpty());
    EXPECT_FALSE(edit->hasFocus());

    // A query set elsewhere shows in the field.
    controller.setSearchQuery(QStringLiteral("stamp"));
    EXPECT_EQ(edit->text(), QStringLiteral("stamp"));
}

TEST_F(TopBarTest, TheSearchFieldTakesTheFocusOnEachRequestOnly)
{
    QLineEdit* edit = bar()->searchEdit();
    EXPECT_FALSE(edit->hasFocus());
    for (int i = 0; i < 2; ++i) {
        model->setSearchFocusRequest(model->searchFocusRequest() + 1);
        ASSERT_TRUE(QTest::qWaitFor([edit] { return edit->hasFocus(); }, 3000));
        QTest::keyClick(edit, Qt::Key_Escape);
        EXPECT_FALSE(edit->hasFocus());
    }
}

TEST_F(TopBarTest, ToolsModesAndTogglesWriteTheModel)
{
    click("tool.text");
    EXPECT_EQ(model->activeTool(), EditorTool::text);
    click("tool.text");
    EXPECT_EQ(model->activeTool(), EditorTool::text);
    click("tool.stamp");
    EXPECT_EQ(model->activeTool(), EditorTool::stamp);
    click("mode.multiPageGrid");
    EXPECT_EQ(model->displayMode(), CanvasDisplayMode::multiPageGrid);
    click("mode.multiPageGrid");
    EXPECT_EQ(model->displayMode(), CanvasDisplayMode::multiPageGrid);
    click("textFrames");
    EXPECT_FALSE(model->showPDFTextBoxes());
    EXPECT_FALSE(button<IconButton>("textFrames")->active());
    click("inspectorToggle");
    EXPECT_FALSE(model->showInspector());
    click("sidebarToggle");
    EXPECT_FALSE(model->showSidebar());
    click("export");
    EXPECT_TRUE(model->showExportSheet());
}

TEST_F(TopBarTest, TooltipsNameTheLinuxKeys)
{
    EXPECT_EQ(button("undo")->toolTip(), QStringLiteral("Undo last operation (Ctrl+Z)"));
    EXPECT_EQ(button("redo")->toolTip(), QStringLiteral("Redo operation (Ctrl+Shift+Z)"));
    EXPECT_EQ(button("sidebarToggle")->toolTip(), QStringLiteral("Show or hide pages and layers sidebar (Ctrl+Alt+S)"));
    EXPECT_EQ(button("mode.multiPageGrid")->toolTip(), QStringLiteral("Grid view (Ctrl+3)"));
    EXPECT_EQ(button("fit")->toolTip(), QStringLiteral("Fit page or frame selection (Shift+Z / F)"));
    EXPECT_EQ(button("zoomPercent")->toolTip(), QStringLiteral("Reset view to 100% (Z)"));
    for (QWidget* child : bar()->findChildren<QWidget*>()) {
        for (const QChar glyph : {QChar(0x2318), QChar(0x21E7), QChar(0x2325), QChar(0x232B)})
            EXPECT_FALSE(child->toolTip().contains(glyph)) << child->objectName().toStdString();
    }
}

TEST_F(TopBarTest, EveryControlGetsTheRoomItAsksForInBothLanguages)
{
    for (AppLanguage shownLanguage : {AppLanguage::en, AppLanguage::fr}) {
        model->setLanguage(shownLanguage);
        QApplication::processEvents();
        for (QWidget* child : bar()->findChildren<QWidget*>()) {
            const bool fixedWidth = child->minimumWidth() == child->maximumWidth();
            if (!child->isVisible() || child->objectName().isEmpty() || fixedWidth ||
                qobject_cast<QLineEdit*>(child))
                continue;
            EXPECT_GE(child->width(), child->sizeHint().width()) << child->objectName().toStdString();
        }
    }
}

TEST_F(TopBarTest, AtTheMinimumWidthTheToolsShowTheirSymbolsOnly)
{
    model->setActiveTool(EditorTool::pen);
    window->resize(window->minimumSize());
    ASSERT_TRUE(QTest::qWaitFor([this] { return window->width() == 980; }, 3000));
    QApplication::processEvents();
    for (EditorTool tool : EnumCases<EditorTool>::all) {
        QAbstractButton* toolButton = button(qPrintable(QStringLiteral("tool.") + rawValue(tool)));
        EXPECT_EQ(toolButton->width(), toolButton->minimumSizeHint().width());
    }
    // Nothing else is squeezed.
    for (const char* name : {"sign", "stampMenu", "zoomControls", "displayModePicker", "inspectorToggle"}) {
        QWidget* child = bar()->findChild<QWidget*>(QLatin1String(name));
        ASSERT_NE(child, nullptr);
        EXPECT_GE(child->width(), child->sizeHint().width()) << name;
    }
    EXPECT_LE(button("inspectorToggle")->geometry().right(), bar()->width());
    // Back at the default width the names return.
    window->resize(1380, 820);
    ASSERT_TRUE(QTest::qWaitFor([this] { return window->width() == 1380; }, 3000));
    QApplication::processEvents();
    QAbstractButton* pen = button("tool.pen");
    EXPECT_EQ(pen->width(), pen->sizeHint().width());
}
