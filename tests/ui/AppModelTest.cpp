#include "VectorController.h"
#include "appmodel/AppModel.h"
#include "support/LanguageFixture.h"
#include "support/TestWidgetApplication.h"
#include "update/OsselUpdater.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace zelvane;

namespace {

class AppModelTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(zelvane::testing::ensureTestWidgetApplication()); }
    zelvane::testing::ScopedLanguage language{AppLanguage::en};
};

}  // namespace

TEST_F(AppModelTest, StartsWithTheDocumentedState)
{
    AppModel model(false, false);
    EXPECT_EQ(model.activeTool(), EditorTool::select);
    EXPECT_EQ(model.displayMode(), CanvasDisplayMode::singlePage);
    EXPECT_TRUE(model.showSidebar());
    EXPECT_TRUE(model.showInspector());
    EXPECT_TRUE(model.showPDFTextBoxes());
    EXPECT_FALSE(model.showPageGrid());
    EXPECT_EQ(model.zoomScale(), 1.0);
    EXPECT_EQ(model.panOffset(), QSizeF(0, 0));
    EXPECT_FALSE(model.editingTextElementID());
    EXPECT_EQ(model.searchFocusRequest(), 0);
    EXPECT_EQ(model.exportFormat(), ExportFormat::pdf);
    EXPECT_FALSE(model.hasOpenSheet());
    EXPECT_FALSE(model.alert());
    EXPECT_FALSE(model.flashMessage());
    EXPECT_EQ(model.language(), AppLanguage::en);
    EXPECT_EQ(model.controller().document().pages.size(), 1);
    EXPECT_EQ(model.updater().state(), OsselUpdater::State::idle);
    EXPECT_EQ(model.updater().bundleID(), QStringLiteral("net.tarnwick.zelvane"));
    EXPECT_EQ(model.updater().githubRepo(), QStringLiteral("tarnwick/Zelvane"));
}

TEST_F(AppModelTest, HasOpenSheetCountsEveryFlagIncludingTheNewPageOne)
{
    AppModel model(false, false);
    const std::vector<void (AppModel::*)(bool)> setters{
        &AppModel::setShowExportSheet, &AppModel::setShowNewPageSheet, &AppModel::setShowOSCGuide,
        &AppModel::setShowShortcuts,   &AppModel::setShowHelp,         &AppModel::setShowAbout,
        &AppModel::setShowUpdater};
    QSignalSpy changes(&model, &AppModel::openSheetsChanged);
    for (auto setter : setters) {
        (model.*setter)(true);
        EXPECT_TRUE(model.hasOpenSheet());
        (model.*setter)(false);
        EXPECT_FALSE(model.hasOpenSheet());
    }
    EXPECT_EQ(changes.count(), 14);
}
