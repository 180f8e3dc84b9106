#include "UiTestSupport.h"
#include "AppVersion.h"
#include "VectorController.h"
#include "appmodel/AppModel.h"
#include "bars/BarParts.h"
#include "bars/StatusBar.h"
#include "bars/StatusSummary.h"
#include "controls/Chip.h"
#include "operations/VectorOperations.h"
#include "theme/Theme.h"
#include "update/OsselUpdater.h"
#include "window/ContentView.h"

#include <QAbstractButton>
#include <QLabel>
#include <QTest>

using namespace zelvane;

namespace {

VectorElement pdfText(const QString& text, bool edited)
{
    VectorElement element = VectorOperations::makeTextElement(text, {40, 40}, 12, QStringLiteral("#111317"), false);
    TextPayload* payload = element.text();
    payload->isPDFExtracted = true;
    payload->originalPDFText = edited ? text + QStringLiteral(" (old)") : text;
    return element;
}

VectorElement signature()
{
    return VectorOperations::makeSignatureElement(VectorController::namedSignaturePreset(QStringLiteral("Ada")),
                                                  {100, 100}, false);
}

// Five elements on the first page; over the document 12 PDF texts, 2 of
// them edited, and the given number of signatures.
VectorDocument countedDocument(int signatures)
{
    VectorDocument document;
    document.pages = {VectorPage{}, VectorPage{}};
    for (int i = 0; i < 12; ++i)
        document.pages[i < 3 ? 0 : 1].elements.append(pdfText(QStringLiteral("Line %1").arg(i), i < 2));
    for (int i = 0; i < signatures; ++i)
        document.pages[i == 0 ? 0 : 1].elements.append(signature());
    document.pages[0].elements.append(VectorOperations::makeStampElement(VectorStampKind::draft, {80, 80}));
    return document;
}

class StatusSummaryTest : public ::testing::Test {};

class StatusBarTest : public zelvane::testing::WindowTest {
protected:
    StatusBar* bar() const { return window->content()->statusBar(); }
    template <class T>
    T* part(const char* name) const
    {
        T* found = bar()->findChild<T*>(QLatin1String(name));
        EXPECT_NE(found, nullptr) << name;
        return found;
    }
    void click(const char* name) const
    {
        auto* button = part<QAbstractButton>(name);
        ASSERT_NE(button, nullptr);
        QTest::mouseClick(button, Qt::LeftButton, {}, button->rect().center());
    }
};

}  // namespace

TEST_F(StatusSummaryTest, TheCountsInBothLanguages)
{
    {
        zelvane::testing::ScopedLanguage english(AppLanguage::en);
        EXPECT_EQ(StatusSummary::summaryText(countedDocument(1), 0, 3),
                  QStringLiteral("5 elem. · 12 PDF texts (2 ed.) · 1 sign. · 3 sel."));
        EXPECT_EQ(StatusSummary::summaryText(countedDocument(2), 0, 0),
                  QStringLiteral("5 elem. · 12 PDF texts (2 ed.) · 2 sign."));
        EXPECT_EQ(StatusSummary::summaryText(countedDocument(0), 1, 1),
                  QStringLiteral("9 elem. · 12 PDF texts (2 ed.) · 1 sel."));
    }
    zelvane::testing::ScopedLanguage french(AppLanguage::fr);
    EXPECT_EQ(StatusSummary::summaryText(countedDocument(1), 0, 3),
              QStringLiteral("5 élém. · 12 textes PDF (2 éd.) · 1 signature · 3 sél."));
    EXPECT_EQ(StatusSummary::summaryText(countedDocument(2), 0, 0),
              QStringLiteral("5 élém. · 12 textes PDF (2 éd.) · 2 signatures"));
}

TEST_F(StatusSummaryTest, AbsentCountsLeaveTheirPartOut)
{
    zelvane::testing::ScopedLanguage english(AppLanguage::en);
    // A new document: one empty page, nothing selected.
    VectorDocument blank;
    blank.pages = {VectorPage{}};
    EXPECT_EQ(StatusSummary::summaryText(blank, 0, 0), QStringLiteral("0 elem."));
    EXPECT_EQ(StatusSummary::pageText(blank, 0), QStringLiteral("Page 1/1"));

    // Unedited PDF texts show without brackets; edits without PDF texts
    // (only possible through redactions) show nothing.
    VectorDocument unedited;
    unedited.pages = {VectorPage{}};
    unedited.pages[0].elements = {pdfText(QStringLiteral("A"), false), pdfText(QStringLiteral("B"), false)};
    EXPECT_EQ(StatusSummary::summaryText(unedited, 0, 0), QStringLiteral("2 elem. · 2 PDF texts"));
    blank.pages[0].redactedPDFRects.append(VectorRect{1, 1, 10, 10});
    EXPECT_EQ(StatusSummary::summaryText(blank, 0, 0), QStringLiteral("0 elem."));

    // A page index out of range counts the first page, as the controller does.
    EXPECT_EQ(StatusSummary::summaryText(unedited, 7, 0), QStringLiteral("2 elem. · 2 PDF texts"));
    EXPECT_EQ(StatusSummary::summaryText(VectorDocument{}, 0, 0), QStringLiteral("0 elem."));

    EXPECT_EQ(StatusSummary::kindText(blank), QStringLiteral("SVG"));
    blank.sourceFormat = DocumentSourceFormat::native;
    EXPECT_EQ(StatusSummary::kindText(blank), QStringLiteral("Zelvane"));
}

TEST_F(StatusBarTest, TheChevronsFollowThePage)
{
    VectorController& controller = model->controller();
    auto* previous = part<QAbstractButton>("previousPage");
    auto* next = part<QAbstractButton>("nextPage");
    auto* page = part<QLabel>("pageText");
    // One page: both disabled, and clicks change nothing.
    EXPECT_FALSE(previous->isEnabled());
    EXPECT_FALSE(next->isEnabled());
    click("nextPage");
    click("previousPage");
    EXPECT_EQ(controller.currentPageIndex(), 0);
    EXPECT_EQ(page->text(), QStringLiteral("Page 1/1"));

    controller.addBlankPage(PageFormatPreset::a4Portrait);
    controller.addBlankPage(PageFormatPreset::a4Portrait);
    controller.setCurrentPageIndex(0);
    const qsizetype undoDepth = controller.history().undoStack().size();
    EXPECT_FALSE(previous->isEnabled());
    EXPECT_TRUE(next->isEnabled());
    click("nextPage");
    click("nextPage");
    EXPECT_EQ(controller.currentPageIndex(), 2);
    EXPECT_EQ(page->text(), QStringLiteral("Page 3/3"));
    EXPECT_TRUE(previous->isEnabled());
    EXPECT_FALSE(next->isEnabled());
    click("nextPage");
    EXPECT_EQ(controller.currentPageIndex(), 2);
    click("previousPage");
    EXPECT_EQ(controller.currentPageIndex(), 1);
    // Turning pages is no edit.
    EXPECT_EQ(controller.history().undoStack().size(), undoDepth);
}

TEST_F(StatusBarTest, TheFlashMessageHidesTheStatusLineUntilItClears)
{
    VectorController& controller = model->controller();
    auto* text = part<ElidedLabel>("statusText");
    model->setFlashMessage(QStringLiteral("Saved: a.pdf"));
    controller.addBlankPage(PageFormatPreset::a4Portrait);
    EXPECT_EQ(bar()->shownText(), QStringLiteral("Saved: a.pdf"));
    model->setFlashMessage(std::nullopt);
    EXPECT_EQ(bar()->shownText(), QStringLiteral("Page added"));
    EXPECT_EQ(text->color(), Theme::textDim());

    // A failure turns the line to the danger colour until an edit clears it.
    EXPECT_ANY_THROW(controller.openFile(QUrl::fromLocalFile(settingsFolder.filePath(QStringLiteral("missing.pdf")))));
    ASSERT_TRUE(controller.lastError().has_value());
    EXPECT_EQ(text->color(), Theme::danger());
    controller.addBlankPage(PageFormatPreset::a4Portrait);
    EXPECT_EQ(text->color(), Theme::textDim());
}

TEST_F(StatusBarTest, AnOverlongStatusIsCutAndLeavesTheRightSideInPlace)
{
    auto* page = part<QLabel>("pageText");
    const QRect before = page->geometry();
    model->setFlashMessage(QString(QStringLiteral("A very long status message ")).repeated(40));
    QApplication::processEvents();
    auto* text = part<ElidedLabel>("statusText");
    EXPECT_TRUE(text->shownText().endsWith(QChar(0x2026)));
    EXPECT_LE(text->geometry().right(), page->geometry().left());
    EXPECT_EQ(page->geometry(), before);
    EXPECT_LE(part<QWidget>("version")->geometry().right(), bar()->width());
}

TEST_F(StatusBarTest, TheHelpRowOpensItsSheetsAndShowsTheDefaults)
{
    auto* osc = part<QAbstractButton>("oscGuide");
    EXPECT_EQ(osc->text(), QStringLiteral("OSC :9160"));
    const AppVersion& version = AppVersion::current();
    const QString versionText = version.build ? version.version + " (" + *version.build + ")" : version.version;
    EXPECT_EQ(part<QAbstractButton>("version")->text(), "v" + versionText);
    EXPECT_EQ(part<QAbstractButton>("version")->toolTip(), "About Zelvane " + versionText);
    EXPECT_FALSE(part<QWidget>("shortcuts")->toolTip().contains(QChar(0x2318)));
    EXPECT_EQ(part<Chip>("kindChip")->text(), QStringLiteral("SVG"));
    EXPECT_EQ(part<Chip>("kindChip")->tint(), Theme::accent());

    click("shortcuts");
    EXPECT_TRUE(model->showShortcuts());
    model->setShowShortcuts(false);
    click("userGuide");
    EXPECT_TRUE(model->showHelp());
    model->setShowHelp(false);
    click("version");
    EXPECT_TRUE(model->showAbout());
    model->setShowAbout(false);
    click("oscGuide");
    EXPECT_TRUE(model->showOSCGuide());
}

namespace {
// Reaches the updater's state setter, which the updater keeps to itself.
struct UpdaterAccess : OsselUpdater {
    using OsselUpdater::setState;
};
}  // namespace

TEST_F(StatusBarTest, TheUpdateBadgeShowsWhileAReleaseIsOffered)
{
    auto* badge = part<QAbstractButton>("updateBadge");
    EXPECT_FALSE(badge->isVisible());
    auto setState = &UpdaterAccess::setState;
    ReleaseInfo release;
    release.version = QStringLiteral("9.1.0");
    (model->updater().*setState)(UpdateState::updateAvailable(release));
    EXPECT_TRUE(badge->isVisible());
    EXPECT_EQ(badge->text(), QStringLiteral("↑ Update v9.1.0"));
    EXPECT_EQ(badge->toolTip(), QStringLiteral("Zelvane v9.1.0 update is available"));
    click("updateBadge");
    EXPECT_TRUE(model->showUpdater());
    (model->updater().*setState)(UpdateState::upToDate(QStringLiteral("9.1.0")));
    EXPECT_FALSE(badge->isVisible());
}
