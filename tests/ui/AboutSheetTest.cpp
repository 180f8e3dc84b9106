#include "UiTestSupport.h"

#include "AppVersion.h"
#include "sheets/AboutSheet.h"
#include "update/OsselUpdater.h"
#include "window/SheetPresenter.h"
#include "window/SheetTable.h"

#include <QAbstractButton>
#include <QClipboard>
#include <QDialog>
#include <QGuiApplication>
#include <QLabel>
#include <QMimeData>

namespace zelvane {
namespace {

class AboutSheetTest : public zelvane::testing::UiTest {
protected:
    void SetUp() override
    {
        UiTest::SetUp();
        model = std::make_unique<AppModel>(false, false);
    }

    std::unique_ptr<AboutSheet> sheetWith(std::optional<QString> build)
    {
        return std::make_unique<AboutSheet>(
            *model, AppVersion{QStringLiteral("0.2.2"), std::move(build)}, [this] { calls << "openHelp"; },
            [this] { calls << "close"; });
    }

    std::unique_ptr<AppModel> model;
    QStringList calls;
};

TEST_F(AboutSheetTest, TheVersionButtonCopiesTheVersionLineAndSaysCopied)
{
    auto sheet = sheetWith(QStringLiteral("57"));
    sheet->show();
    EXPECT_EQ(sheet->width(), 650);
    EXPECT_EQ(sheet->versionButton()->text(), QStringLiteral("v0.2.2 (57)"));
    QGuiApplication::clipboard()->setText(QStringLiteral("something else"));

    QTest::mouseClick(sheet->versionButton(), Qt::LeftButton);
    const QMimeData* data = QGuiApplication::clipboard()->mimeData();
    ASSERT_NE(data, nullptr);
    EXPECT_EQ(data->text(), QStringLiteral("Zelvane 0.2.2 (57)"));
    EXPECT_EQ(data->formats(), QStringList{QStringLiteral("text/plain")});
    EXPECT_TRUE(sheet->copiedVersion());
    EXPECT_EQ(sheet->versionButton()->text(), QStringLiteral("copied"));

    // A second click copies again and changes nothing else.
    QGuiApplication::clipboard()->setText(QStringLiteral("x"));
    QTest::mouseClick(sheet->versionButton(), Qt::LeftButton);
    EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("Zelvane 0.2.2 (57)"));
    EXPECT_EQ(sheet->versionButton()->text(), QStringLiteral("copied"));
    EXPECT_TRUE(calls.isEmpty());
}

TEST_F(AboutSheetTest, WithoutABuildNumberTheVersionStandsAlone)
{
    Localization::setCurrent(AppLanguage::fr);
    auto sheet = sheetWith(std::nullopt);
    EXPECT_EQ(sheet->versionButton()->text(), QStringLiteral("v0.2.2"));
    QTest::mouseClick(sheet->versionButton(), Qt::LeftButton);
    EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("Zelvane 0.2.2"));
    EXPECT_EQ(sheet->versionButton()->text(), QStringLiteral("copié"));
}

TEST_F(AboutSheetTest, WithoutServicesTheBadgesShowTheDefaultPorts)
{
    auto sheet = sheetWith(std::nullopt);
    EXPECT_EQ(sheet->oscBadgeText(), QStringLiteral("OSC UDP :9160"));
    EXPECT_EQ(sheet->httpBadgeText(), QStringLiteral("HTTP / MCP :17960"));
    EXPECT_EQ(AboutSheet::features().size(), 4);
}

TEST_F(AboutSheetTest, ReturnClosesAndTheGuideButtonClosesBeforeOpeningTheManual)
{
    auto sheet = sheetWith(std::nullopt);
    sheet->show();
    QTest::keyClick(sheet.get(), Qt::Key_Return);
    EXPECT_EQ(calls, QStringList{QStringLiteral("close")});
    calls.clear();
    QTest::mouseClick(sheet->guideButton(), Qt::LeftButton);
    EXPECT_EQ(calls, (QStringList{QStringLiteral("close"), QStringLiteral("openHelp")}));
    EXPECT_EQ(sheet->guideButton()->text(), QStringLiteral("Guide (F1)"));
}

// Hand-overs from the sheet shown in the window.
class AboutSheetWindowTest : public zelvane::testing::WindowTest {
protected:
    AboutSheet* openAbout()
    {
        model->setShowAbout(true);
        const QList<SheetEntry>& entries = sheetEntries();
        for (qsizetype i = 0; i < entries.size(); ++i)
            if (QLatin1String(entries[i].name) == QLatin1String("AboutSheet"))
                if (QDialog* dialog = window->sheets().dialog(i))
                    return dialog->findChild<AboutSheet*>();
        return nullptr;
    }
};

TEST_F(AboutSheetWindowTest, TheUpdateButtonClosesTheSheetThenOpensTheUpdateSheetAndChecks)
{
    AboutSheet* sheet = openAbout();
    ASSERT_NE(sheet, nullptr);
    EXPECT_EQ(sheet->updateButton()->text(), QStringLiteral("Check for Updates…"));
    bool aboutGoneWhenUpdaterOpened = false;
    QObject::connect(model.get(), &AppModel::showUpdaterChanged, [&] {
        aboutGoneWhenUpdaterOpened = !model->showAbout();
    });
    QTest::mouseClick(sheet->updateButton(), Qt::LeftButton);
    EXPECT_FALSE(model->showAbout());
    EXPECT_FALSE(model->showUpdater());
    ASSERT_TRUE(QTest::qWaitFor([&] { return model->showUpdater(); }));
    EXPECT_TRUE(aboutGoneWhenUpdaterOpened);
    EXPECT_FALSE(model->updater().state().is(UpdateState::Kind::idle)) << "a visible check was started";
}

TEST_F(AboutSheetWindowTest, TheGuideButtonOpensTheManualOnALaterTurn)
{
    AboutSheet* sheet = openAbout();
    ASSERT_NE(sheet, nullptr);
    QTest::mouseClick(sheet->guideButton(), Qt::LeftButton);
    EXPECT_FALSE(model->showAbout());
    EXPECT_FALSE(model->showHelp());
    ASSERT_TRUE(QTest::qWaitFor([&] { return model->showHelp(); }));
}

}  // namespace
}  // namespace zelvane
