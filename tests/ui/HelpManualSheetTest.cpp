#include "UiTestSupport.h"

#include "AppVersion.h"
#include "sheets/HelpManualContent.h"
#include "sheets/HelpManualSheet.h"
#include "sheets/SheetParts.h"
#include "window/SheetPresenter.h"
#include "window/SheetTable.h"

#include <QAbstractButton>
#include <QDialog>
#include <QLabel>
#include <QLayout>
#include <QScrollArea>
#include <QScrollBar>

namespace zelvane {
namespace {

using SectionID = HelpManualSheet::SectionID;

qsizetype sheetIndex(const char* name)
{
    const QList<SheetEntry>& entries = sheetEntries();
    for (qsizetype i = 0; i < entries.size(); ++i)
        if (QLatin1String(entries[i].name) == QLatin1String(name))
            return i;
    return -1;
}

class HelpManualSheetTest : public zelvane::testing::WindowTest {
protected:
    HelpManualSheet* openManual()
    {
        model->setShowHelp(true);
        QDialog* dialog = window->sheets().dialog(sheetIndex("HelpManualSheet"));
        return dialog ? dialog->findChild<HelpManualSheet*>() : nullptr;
    }

    QStringList visibleTexts(QWidget* root)
    {
        QStringList texts;
        for (QLabel* label : root->findChildren<QLabel*>())
            texts << label->text();
        for (QAbstractButton* button : root->findChildren<QAbstractButton*>())
            texts << button->text();
        return texts;
    }
};

TEST_F(HelpManualSheetTest, AReopenedManualStartsAgainAtItsFirstSection)
{
    HelpManualSheet* sheet = openManual();
    ASSERT_NE(sheet, nullptr);
    EXPECT_EQ(sheet->size(), QSize(760, 520));
    EXPECT_EQ(sheet->selectedSection(), SectionID::quickStart);
    EXPECT_EQ(sheet->currentHeading(), QStringLiteral("Quick Start"));

    QTest::mouseClick(sheet->sectionButton(SectionID::oscAndMCP), Qt::LeftButton);
    EXPECT_EQ(sheet->selectedSection(), SectionID::oscAndMCP);
    EXPECT_EQ(sheet->currentHeading(), QStringLiteral("OSC, HTTP API & MCP Server"));

    // Return is the OK button.
    QTest::keyClick(sheet, Qt::Key_Return);
    EXPECT_FALSE(model->showHelp());

    sheet = openManual();
    ASSERT_NE(sheet, nullptr);
    EXPECT_EQ(sheet->selectedSection(), SectionID::quickStart);
    EXPECT_EQ(sheet->currentHeading(), QStringLiteral("Quick Start"));
}

TEST_F(HelpManualSheetTest, TheShortcutsButtonClosesTheManualBeforeTheCardOpens)
{
    for (AppLanguage lang : {AppLanguage::en, AppLanguage::fr}) {
        model->setLanguage(lang);
        HelpManualSheet* sheet = openManual();
        ASSERT_NE(sheet, nullptr);
        const qsizetype help = sheetIndex("HelpManualSheet");
        bool manualGoneWhenCardOpened = false;
        const QMetaObject::Connection watch = QObject::connect(model.get(), &AppModel::showShortcutsChanged, [&] {
            manualGoneWhenCardOpened = !model->showHelp() && window->sheets().dialog(help) == nullptr;
        });

        QTest::mouseClick(sheet->shortcutsButton(), Qt::LeftButton);
        EXPECT_FALSE(model->showHelp());
        EXPECT_FALSE(model->showShortcuts()) << "the card opens on a later turn";
        ASSERT_TRUE(QTest::qWaitFor([&] { return model->showShortcuts(); }));
        EXPECT_TRUE(manualGoneWhenCardOpened);
        EXPECT_NE(window->sheets().dialog(sheetIndex("ShortcutsSheet")), nullptr);
        QObject::disconnect(watch);
        model->setShowShortcuts(false);
    }
}

TEST_F(HelpManualSheetTest, EveryTitleFollowsTheLanguage)
{
    HelpManualSheet* english = openManual();
    ASSERT_NE(english, nullptr);
    const QStringList texts = visibleTexts(english);
    for (const char* text : {"User Guide — Zelvane", "Quick Start", "PDF Text Editing", "Signatures & Stamps",
                             "Multi-Page, SVG & PDF", "OSC, HTTP API & MCP", "OK"})
        EXPECT_TRUE(texts.contains(QString::fromUtf8(text))) << text;
    EXPECT_EQ(english->shortcutsButton()->text(), QStringLiteral("Keyboard Shortcuts (Ctrl+/)"));
    model->setShowHelp(false);

    model->setLanguage(AppLanguage::fr);
    HelpManualSheet* french = openManual();
    ASSERT_NE(french, nullptr);
    const QStringList frenchTexts = visibleTexts(french);
    for (const char* text : {"Guide d’utilisation — Zelvane", "Démarrage rapide", "Édition du texte PDF",
                             "Signatures & Tampons", "Multipage, SVG & PDF", "OSC, API HTTP & MCP", "OK"})
        EXPECT_TRUE(frenchTexts.contains(QString::fromUtf8(text))) << text;
    EXPECT_EQ(french->shortcutsButton()->text(), QStringLiteral("Raccourcis clavier (Ctrl+/)"));
    EXPECT_FALSE(frenchTexts.contains(QStringLiteral("Quick Start")));
}

TEST_F(HelpManualSheetTest, ATallSectionScrollsInsideTheContentArea)
{
    HelpManualSheet* sheet = openManual();
    ASSERT_NE(sheet, nullptr);
    QTest::mouseClick(sheet->sectionButton(SectionID::signaturesAndStamps), Qt::LeftButton);
    QScrollArea* area = sheet->contentArea();
    // The text keeps its full height once laid out: either it fits or the
    // area scrolls.
    EXPECT_TRUE(QTest::qWaitFor([&] {
        const QWidget* shown = area->widget();
        return shown && shown->height() >= shown->layout()->totalHeightForWidth(shown->width()) - 1;
    }));
    QWidget* content = area->widget();
    ASSERT_NE(content, nullptr);
    EXPECT_GE(content->height(), content->layout()->totalHeightForWidth(content->width()) - 1);
    EXPECT_EQ(sheet->size(), QSize(760, 520));
}

// The manual's text, section by section, in both languages.
class HelpManualContentTest : public zelvane::testing::UiTest {};

TEST_F(HelpManualContentTest, SectionsHaveTheirBlocksInEachLanguage)
{
    for (AppLanguage lang : {AppLanguage::en, AppLanguage::fr}) {
        Localization::setCurrent(lang);
        const HelpManualSection quick = helpManualSection(SectionID::quickStart);
        EXPECT_TRUE(quick.numbered);
        EXPECT_EQ(quick.items.size(), 3);
        EXPECT_EQ(helpManualSection(SectionID::multipageAndSVG).items.size(), 2);
        for (SectionID section : {SectionID::pdfTextEditing, SectionID::signaturesAndStamps, SectionID::oscAndMCP}) {
            EXPECT_FALSE(helpManualSection(section).numbered);
            EXPECT_EQ(helpManualSection(section).items.size(), 3);
        }
    }
}

TEST_F(HelpManualContentTest, FrenchAndEnglishTextsDifferExceptTheOSCAddresses)
{
    QList<HelpManualSection> english, french;
    for (SectionID section : HelpManualSheet::allSections()) {
        Localization::setCurrent(AppLanguage::en);
        english << helpManualSection(section);
        Localization::setCurrent(AppLanguage::fr);
        french << helpManualSection(section);
    }
    for (qsizetype s = 0; s < english.size(); ++s) {
        EXPECT_NE(english[s].heading, french[s].heading);
        EXPECT_NE(english[s].subtitle, french[s].subtitle);
        for (qsizetype i = 0; i < english[s].items.size(); ++i) {
            EXPECT_NE(english[s].items[i].title, french[s].items[i].title);
            const bool addresses = s == 4 && i == 0;
            EXPECT_EQ(english[s].items[i].text == french[s].items[i].text, addresses) << s << " " << i;
        }
    }
    // The French page formats are named only in French.
    EXPECT_TRUE(french[3].items[1].text.contains(QStringLiteral("A4 Portrait/Paysage, 16:9")));
    EXPECT_FALSE(english[3].items[1].text.contains(QStringLiteral("A4")));
}

TEST_F(HelpManualContentTest, TextsNameThisPlatformsFoldersAndKeys)
{
    for (AppLanguage lang : {AppLanguage::en, AppLanguage::fr}) {
        Localization::setCurrent(lang);
        QString all;
        for (SectionID section : HelpManualSheet::allSections()) {
            const HelpManualSection text = helpManualSection(section);
            all += text.heading + text.subtitle;
            for (const HelpManualSection::Item& item : text.items)
                all += item.title + item.text;
        }
        EXPECT_TRUE(all.contains(QStringLiteral("~/.local/share/Zelvane/Signatures")));
        EXPECT_FALSE(all.contains(QStringLiteral("Library")));
        EXPECT_FALSE(all.contains(QStringLiteral("trackpad")));
        EXPECT_FALSE(all.contains(QChar(0x2318))) << "no command-key glyph";
        EXPECT_TRUE(all.contains(QStringLiteral("Ctrl+O")));
        EXPECT_TRUE(all.contains(lang == AppLanguage::en ? QStringLiteral("touchpad")
                                                             : QStringLiteral("pavé tactile")));
        EXPECT_TRUE(all.contains(QStringLiteral("9160")));
        EXPECT_TRUE(all.contains(QStringLiteral("17960")));
    }
}

TEST(SheetVersionLabelTest, TheBuildNumberIsShownOnlyWhenThereIsOne)
{
    EXPECT_EQ(SheetParts::versionLabel(AppVersion{QStringLiteral("0.2.2"), QStringLiteral("31")}),
              QStringLiteral("v0.2.2 (31)"));
    EXPECT_EQ(SheetParts::versionLabel(AppVersion{QStringLiteral("0.2.2"), std::nullopt}), QStringLiteral("v0.2.2"));
}

}  // namespace
}  // namespace zelvane
