#include "CodecError.h"
#include "Settings.h"
#include "VectorController.h"
#include "appmodel/AppModel.h"
#include "UiTestSupport.h"
#include "remote/RemoteControl.h"
#include "update/OsselUpdater.h"

#include <QElapsedTimer>
#include <QFile>
#include <QSignalSpy>
#include <QTest>

using namespace zelvane;

namespace {

using AppModelTest = zelvane::testing::UiTest;

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
    EXPECT_EQ(model.updater().state(), OsselUpdater::State::idle());
    EXPECT_EQ(model.updater().bundleID(), QStringLiteral("net.tarnwick.zelvane"));
    EXPECT_EQ(model.updater().githubRepo(), QStringLiteral("tarnwick/Zelvane"));
}

TEST_F(AppModelTest, WithoutServicesOrPersistenceNothingRunsAndNothingIsWritten)
{
    {
        auto settings = openUserSettings();
        settings->setValue(QLatin1String(AppModel::kRecentPathsKey), QStringList{settingsFolder.path()});
    }
    const QByteArray before = [this] {
        QFile file(settingsFile());
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }();
    ASSERT_FALSE(before.isEmpty());

    AppModel model(false, false);
    EXPECT_TRUE(model.recentURLs().isEmpty());
    EXPECT_EQ(model.remoteControl(), nullptr);
    EXPECT_EQ(model.controller().remoteServices(), nullptr);
    EXPECT_FALSE(model.hasKeyboardShortcutMonitor());
    EXPECT_FALSE(model.updater().autoCheckAllowed());

    model.recordRecentURL(QUrl::fromLocalFile(settingsFolder.path() + QStringLiteral("/a.pdf")));
    EXPECT_EQ(model.recentURLs().size(), 1);
    model.clearRecentURLs();
    QFile file(settingsFile());
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), before);
}

TEST_F(AppModelTest, TheTextFramesLaunchArgument)
{
    const QString flag = QStringLiteral("-showPDFTextBoxes");
    const QString program = QStringLiteral("zelvane");
    EXPECT_EQ(AppModel::showPDFTextBoxesArgument({program, flag, QStringLiteral("FALSE")}), false);
    EXPECT_EQ(AppModel::showPDFTextBoxesArgument({program, flag, QStringLiteral("0")}), false);
    EXPECT_EQ(AppModel::showPDFTextBoxesArgument({program, flag, QStringLiteral("no")}), true);
    EXPECT_EQ(AppModel::showPDFTextBoxesArgument({program, flag}), std::nullopt);
    EXPECT_EQ(AppModel::showPDFTextBoxesArgument({program, flag + QStringLiteral("=0")}), std::nullopt);
    EXPECT_EQ(AppModel::showPDFTextBoxesArgument({program}), std::nullopt);
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

TEST_F(AppModelTest, LanguageChangesTheLabelsAtOnceAndPersists)
{
    AppModel model(false, false);
    QSignalSpy changes(&model, &AppModel::languageChanged);
    model.setLanguage(AppLanguage::fr);
    EXPECT_EQ(label(EditorTool::stamp), QStringLiteral("Tampon"));
    EXPECT_EQ(Localization::current(), AppLanguage::fr);
    model.setLanguage(AppLanguage::en);
    EXPECT_EQ(label(EditorTool::stamp), QStringLiteral("Stamp"));
    EXPECT_EQ(helpText(EditorTool::pen), QStringLiteral("Draw a smooth freehand vector path (P)"));
    EXPECT_EQ(changes.count(), 2);
}

TEST_F(AppModelTest, EnumerationsKeepTheirOrderAndRawValues)
{
    QStringList tools;
    for (EditorTool tool : EnumCases<EditorTool>::all)
        tools.append(rawValue(tool));
    EXPECT_EQ(tools.join(QLatin1Char(',')),
              QStringLiteral("select,text,signature,pen,rectangle,ellipse,arrow,stamp"));
    EXPECT_EQ(fromRawValue<EditorTool>(u"arrow"), EditorTool::arrow);
    EXPECT_EQ(fromRawValue<EditorTool>(u"Arrow"), std::nullopt);
    EXPECT_EQ(fromRawValue<CanvasDisplayMode>(u"multiPageGrid"), CanvasDisplayMode::multiPageGrid);
    EXPECT_EQ(rawValue(CanvasDisplayMode::multiPageContinuous), QStringLiteral("multiPageContinuous"));
}

TEST_F(AppModelTest, ANewerFlashOutlivesTheOlderOnesTimer)
{
    AppModel model(false, false);
    QSignalSpy changes(&model, &AppModel::flashMessageChanged);
    model.flash(QStringLiteral("A"));
    model.flash(QStringLiteral("B"));
    QElapsedTimer sinceB;
    sinceB.start();
    // A's timer fires first and must leave B alone; B's then clears it.
    EXPECT_TRUE(QTest::qWaitFor([&] { return !model.flashMessage(); }, 10000));
    EXPECT_GE(sinceB.elapsed(), AppModel::kFlashMilliseconds - 50);
    ASSERT_EQ(changes.count(), 3);
    EXPECT_EQ(model.flashMessage(), std::nullopt);
}

TEST_F(AppModelTest, RelaunchingIntoAnUpdateAsksAboutAnEditedDocumentAndCancelStopsIt)
{
    AppModel model(false, false);
    QStringList asked;
    UnsavedChangesAnswer answer = UnsavedChangesAnswer::cancel;
    model.setUnsavedChangesQuestion([&](const QString& title) {
        asked.append(title);
        return answer;
    });
    EXPECT_TRUE(model.updater().mayRelaunch());
    EXPECT_TRUE(asked.isEmpty()) << "nothing to save, nothing asked";

    model.controller().addBlankPage(PageFormatPreset::a4Portrait);
    EXPECT_FALSE(model.updater().mayRelaunch());
    EXPECT_EQ(asked, QStringList{model.controller().document().title});
    EXPECT_TRUE(model.controller().hasUnsavedChanges()) << "the edit stays";
    answer = UnsavedChangesAnswer::discard;
    EXPECT_TRUE(model.updater().mayRelaunch());
    EXPECT_EQ(asked.size(), 2);
}

TEST_F(AppModelTest, AFailedOpenRaisesAFreshAlertAndKeepsTheDocument)
{
    AppModel model(false, false);
    model.controller().addTextBlock(QStringLiteral("kept"));
    const VectorDocument before = model.controller().document();
    const QUrl missing = QUrl::fromLocalFile(settingsFolder.path() + QStringLiteral("/missing.pdf"));
    ASSERT_TRUE(zelvane::testing::openAndWait(model, missing));
    ASSERT_TRUE(model.alert());
    const QUuid first = model.alert()->id;
    EXPECT_EQ(model.alert()->title, QStringLiteral("Could not open file"));
    EXPECT_FALSE(model.alert()->message.isEmpty());
    ASSERT_TRUE(zelvane::testing::openAndWait(model, missing));
    ASSERT_TRUE(model.alert());
    EXPECT_NE(model.alert()->id, first);
    EXPECT_EQ(model.controller().document(), before);
    EXPECT_TRUE(model.recentURLs().isEmpty());
    model.dismissAlert(first);
    EXPECT_TRUE(model.alert());
    model.dismissAlert(model.alert()->id);
    EXPECT_FALSE(model.alert());
}

TEST_F(AppModelTest, WithServicesTheServersTheKeyMonitorAndTheAutomaticCheckAreOn)
{
    // Ports the system picks, so parallel runs never collide.
    qputenv("ZELVANE_API_PORT", "0");
    qputenv("ZELVANE_OSC_IN_PORT", "0");
    {
        AppModel model(true, false);
        ASSERT_NE(model.remoteControl(), nullptr);
        EXPECT_EQ(model.controller().remoteServices(), model.remoteControl());
        EXPECT_NE(model.remoteControl()->httpPort(), 0);
        EXPECT_TRUE(model.hasKeyboardShortcutMonitor());
        EXPECT_TRUE(model.updater().autoCheckAllowed());
    }
    qunsetenv("ZELVANE_API_PORT");
    qunsetenv("ZELVANE_OSC_IN_PORT");
}
