#include "controls/Chip.h"
#include "controls/TextButton.h"
#include "controls/VectorHeroGraphic.h"
#include "sheets/UpdateSheet.h"
#include "support/LanguageFixture.h"
#include "support/FakeInstallation.h"
#include "support/TestWidgetApplication.h"
#include "update/OsselUpdater.h"
#include "update/UpdateError.h"

#include <QLabel>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextEdit>
#include <QTextLayout>
#include <QLayout>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollArea>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

namespace zelvane {
namespace {

using Kind = UpdateState::Kind;

// An updater whose state the test sets; it runs from a folder that is no
// installation, so an installation it is asked for fails at once.
class StagedUpdater : public OsselUpdater {
public:
    // Runs as `programPath`; by default the settings file, a plain file
    // that is no installation.
    explicit StagedUpdater(const QString& settingsPath, const QString& programPath = QString())
        : OsselUpdater("Zelvane", "net.tarnwick.zelvane", "tarnwick/Zelvane", QString("1.0.0"), 12, false,
                       environment(settingsPath, programPath.isEmpty() ? settingsPath : programPath))
    {
    }
    using OsselUpdater::setState;

private:
    static UpdaterEnvironment environment(const QString& settingsPath, const QString& programPath)
    {
        UpdaterEnvironment environment;
        environment.openSettings = [settingsPath] {
            return std::make_unique<QSettings>(settingsPath, QSettings::IniFormat);
        };
        environment.programPath = programPath;
        return environment;
    }
};

class UpdateSheetTest : public ::testing::Test {
protected:
    // Before the fixture's widgets are made.
    static void SetUpTestSuite() { testing::ensureTestWidgetApplication(); }
    void SetUp() override
    {
        // Checks started from the sheet are refused at once, offline.
        qputenv("OSSEL_UPDATE_URL", "http://example.invalid/feed");
    }
    void TearDown() override { qunsetenv("OSSEL_UPDATE_URL"); }

    testing::ScopedLanguage language{AppLanguage::en};
    QTemporaryDir dir;
    StagedUpdater updater{dir.filePath("settings.ini")};
    int closes = 0;
    UpdateSheet sheet{updater, [this] { ++closes; }};

    void show()
    {
        sheet.show();
        QApplication::processEvents();
    }
    QStringList texts() const
    {
        QStringList result;
        for (const QLabel* label : sheet.findChildren<QLabel*>())
            if (label->isVisibleTo(&sheet) && !label->text().isEmpty())
                result.append(label->text());
        return result;
    }
    QStringList buttons() const
    {
        QStringList result;
        for (const QAbstractButton* button : sheet.findChildren<QAbstractButton*>())
            if (button->isVisibleTo(&sheet))
                result.append(button->text());
        return result;
    }
    bool heroActive() const { return sheet.findChild<VectorHeroGraphic*>()->active(); }
    void pressReturn()
    {
        QTest::keyClick(&sheet, Qt::Key_Return);
        QApplication::processEvents();
    }
    static ReleaseInfo release(std::optional<QString> notes = std::nullopt)
    {
        ReleaseInfo release{"2.0.0", std::nullopt, QUrl("https://example.org/Zelvane-2.0.0.zip"),
                            QString(64, QLatin1Char('a'))};
        release.notesEN = notes;
        return release;
    }
};

TEST_F(UpdateSheetTest, IdleShowsTheCheckingSpinnerAndReturnCloses)
{
    show();
    EXPECT_EQ(sheet.width(), 440);
    EXPECT_TRUE(texts().contains("Software Update — Zelvane"));
    EXPECT_TRUE(texts().contains("Installed version: v1.0.0 (build 12)"));
    EXPECT_TRUE(texts().contains("Checking for updates…"));
    EXPECT_FALSE(heroActive());
    EXPECT_EQ(buttons(), (QStringList{"Check Again", "Close"}));
    pressReturn();
    EXPECT_EQ(closes, 1);
    EXPECT_EQ(updater.state(), UpdateState::idle());
}

TEST_F(UpdateSheetTest, CheckingAnimatesTheHeader)
{
    updater.setState(UpdateState::checking());
    show();
    EXPECT_TRUE(heroActive());
    EXPECT_TRUE(texts().contains("Checking for updates…"));
    updater.setState(UpdateState::upToDate("1.0.0"));
    EXPECT_FALSE(heroActive());
}

TEST_F(UpdateSheetTest, UpToDateNamesTheVersion)
{
    updater.setState(UpdateState::upToDate("1.0.0"));
    show();
    EXPECT_TRUE(texts().contains("Zelvane v1.0.0 is up to date."));
    EXPECT_TRUE(texts().contains("This is the latest available version."));
    EXPECT_EQ(buttons(), (QStringList{"Check Again", "Close"}));
}

TEST_F(UpdateSheetTest, OffersTheReleaseWithItsNotes)
{
    updater.setState(UpdateState::updateAvailable(release("Faster export.\n<b>not bold</b>")));
    show();
    EXPECT_EQ(sheet.findChild<Chip*>()->text(), "NEW VERSION v2.0.0");
    const auto* notes = sheet.findChild<QTextEdit*>("releaseNotes");
    EXPECT_EQ(notes->toPlainText(), "Faster export.\n<b>not bold</b>");
    EXPECT_TRUE(notes->isReadOnly());
    EXPECT_EQ(notes->height(), 70);
    // This test program is no installation: the sheet says so beforehand,
    // and offers nothing to press that could only fail.
    EXPECT_TRUE(sheet.findChild<QLabel*>("installationNote")->text().contains("cannot be replaced"));
    EXPECT_EQ(buttons(), (QStringList{"Check Again", "Close"}));
    pressReturn();
    EXPECT_EQ(closes, 1);
    EXPECT_EQ(updater.state().kind(), Kind::updateAvailable);
}

TEST_F(UpdateSheetTest, AnInstallableReleaseGetsTheInstallButtonAndOneWithoutChecksumDoesNot)
{
    // A marked installation the updater runs from.
    const QString folder = dir.filePath("opt/zelvane");
    testing::writeFakeInstallation(folder, "1.0.0");
    StagedUpdater installed(dir.filePath("installed.ini"), folder + "/bin/zelvane");
    ASSERT_TRUE(installed.installationFolder().ok()) << installed.installationFolder().error().message.toStdString();
    int installedCloses = 0;
    UpdateSheet installable(installed, [&installedCloses] { ++installedCloses; });
    installable.show();
    const auto shownButtons = [&installable] {
        QStringList result;
        for (const QAbstractButton* button : installable.findChildren<QAbstractButton*>())
            if (button->isVisibleTo(&installable))
                result.append(button->text());
        return result;
    };

    installed.setState(UpdateState::updateAvailable(release()));
    QApplication::processEvents();
    EXPECT_EQ(shownButtons(), (QStringList{"Check Again", "Later", "Update & Relaunch"}));
    EXPECT_FALSE(installable.findChild<QLabel*>("installationNote"));
    EXPECT_FALSE(installable.installBlocker());
    QTest::mouseClick(installable.findChild<QPushButton*>("later"), Qt::LeftButton);
    EXPECT_EQ(installedCloses, 1);

    ReleaseInfo unchecked = release();
    unchecked.sha256.reset();
    installed.setState(UpdateState::updateAvailable(unchecked));
    QApplication::processEvents();
    EXPECT_EQ(shownButtons(), (QStringList{"Check Again", "Close"}));
    ASSERT_TRUE(installable.installBlocker());
    EXPECT_EQ(installable.findChild<QLabel*>("installationNote")->text(), *installable.installBlocker());
    EXPECT_EQ(*installable.installBlocker(), UpdateError::checksumMissing().message);
    QTest::keyClick(&installable, Qt::Key_Return);
    EXPECT_EQ(installedCloses, 2);
    EXPECT_EQ(installed.state().kind(), Kind::updateAvailable);

    // In French the three buttons do not fit one row: each stays whole.
    installed.setState(UpdateState::updateAvailable(release()));
    Localization::setCurrent(AppLanguage::fr);
    UpdateSheet french(installed, [] {});
    french.show();
    QApplication::processEvents();
    QStringList whole;
    for (const QAbstractButton* button : french.findChildren<QAbstractButton*>()) {
        if (button->isVisibleTo(&french)) {
            EXPECT_GE(button->width(), button->sizeHint().width()) << button->text().toStdString();
            EXPECT_LE(button->geometry().right(), french.width()) << button->text().toStdString();
            whole.append(button->text());
        }
    }
    EXPECT_TRUE(whole.contains(QString::fromUtf8("Mettre à jour et relancer")));
}

TEST_F(UpdateSheetTest, LongNotesScrollAndMissingNotesGetTheDefault)
{
    updater.setState(UpdateState::updateAvailable(release(QString("A line of notes.\n").repeated(60))));
    show();
    EXPECT_EQ(sheet.findChild<QTextEdit*>("releaseNotes")->height(), 140);
    updater.setState(UpdateState::updateAvailable(release()));
    QApplication::processEvents();
    EXPECT_EQ(sheet.findChild<QTextEdit*>("releaseNotes")->toPlainText(), "Maintenance and feature update.");
}

TEST_F(UpdateSheetTest, NotesWrapToTheWidthLeftBesideTheScrollBar)
{
    const QString checksum = QString("0123456789abcdef").repeated(4);
    updater.setState(UpdateState::updateAvailable(
        release(QString("Notes of the release, long enough to need the scroll bar.\n").repeated(12) + "sha256: " +
                checksum)));
    show();
    auto* notes = sheet.findChild<QTextEdit*>("releaseNotes");
    ASSERT_TRUE(notes->verticalScrollBar()->isVisible());
    EXPECT_EQ(notes->horizontalScrollBar()->maximum(), 0);
    const int visible = notes->viewport()->width();
    // Every laid-out line, the checksum's included, fits the visible width.
    for (QTextBlock block = notes->document()->begin(); block.isValid(); block = block.next()) {
        QTextLayout* layout = block.layout();
        for (int i = 0; i < layout->lineCount(); ++i)
            EXPECT_LE(layout->lineAt(i).naturalTextWidth(), visible) << block.text().toStdString();
    }
    EXPECT_TRUE(notes->toPlainText().endsWith(checksum));
}



TEST_F(UpdateSheetTest, DownloadingFillsTheBar)
{
    updater.setState(UpdateState::downloading(0.1));
    show();
    EXPECT_TRUE(texts().contains("Downloading update…"));
    EXPECT_EQ(sheet.findChild<QProgressBar*>()->value(), 100);
    updater.setState(UpdateState::downloading(0.75));
    QApplication::processEvents();
    EXPECT_EQ(sheet.findChild<QProgressBar*>()->value(), 750);
    EXPECT_FALSE(heroActive());
    EXPECT_EQ(buttons(), (QStringList{"Check Again", "Close"}));
    // A check cannot start while the download runs: the button is off.
    EXPECT_FALSE(sheet.findChild<TextButton*>("checkAgain")->isEnabled());
    QTest::mouseClick(sheet.findChild<TextButton*>("checkAgain"), Qt::LeftButton);
    EXPECT_EQ(updater.state(), UpdateState::downloading(0.75));
}

TEST_F(UpdateSheetTest, InstallingSaysSo)
{
    updater.setState(UpdateState::installing());
    show();
    EXPECT_TRUE(texts().contains("Verifying and installing…"));
    EXPECT_FALSE(heroActive());
    EXPECT_FALSE(sheet.findChild<TextButton*>("checkAgain")->isEnabled());
    updater.setState(UpdateState::failed("no"));
    QApplication::processEvents();
    EXPECT_TRUE(sheet.findChild<TextButton*>("checkAgain")->isEnabled());
}

TEST_F(UpdateSheetTest, FailedShowsTheWholeMessageAndChecksAgain)
{
    const QString message = QString("The download failed because of a long reason. ").repeated(6).trimmed();
    updater.setState(UpdateState::failed(message));
    show();
    EXPECT_TRUE(texts().contains("Could not check or install update"));
    const auto* shown = sheet.findChild<QLabel*>("failureMessage");
    EXPECT_EQ(shown->text(), message);
    EXPECT_TRUE(shown->wordWrap());
    EXPECT_GT(shown->height(), QFontMetrics(shown->font()).height() * 2);

    QTest::mouseClick(sheet.findChild<TextButton*>("checkAgain"), Qt::LeftButton);
    QApplication::processEvents();
    EXPECT_TRUE(updater.state().text().startsWith("Update address refused"));
}

TEST_F(UpdateSheetTest, FollowsTheLanguage)
{
    Localization::setCurrent(AppLanguage::fr);
    StagedUpdater french(dir.filePath("fr.ini"));
    french.setState(UpdateState::installing());
    UpdateSheet frenchSheet(french, [] {});
    QStringList shown;
    for (const QLabel* label : frenchSheet.findChildren<QLabel*>())
        shown.append(label->text());
    EXPECT_TRUE(shown.contains(QString::fromUtf8("Vérification et installation…")));
    EXPECT_TRUE(shown.contains(QString::fromUtf8("Mises à jour — Zelvane")));
}

}  // namespace
}  // namespace zelvane
