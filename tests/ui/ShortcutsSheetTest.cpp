#include "UiTestSupport.h"

#include "appmodel/CommandShortcuts.h"
#include "sheets/ShortcutsSheet.h"

#include <QAbstractButton>
#include <QLabel>

namespace zelvane {
namespace {

class ShortcutsSheetTest : public zelvane::testing::UiTest {};

TEST_F(ShortcutsSheetTest, ThreeGroupsInTableOrderWithTheirRows)
{
    const QList<ShortcutsSheet::Group> groups = ShortcutsSheet::groups();
    ASSERT_EQ(groups.size(), 3);
    EXPECT_EQ(groups[0].title, QStringLiteral("Vector Editing Tools"));
    EXPECT_EQ(groups[1].title, QStringLiteral("Documents & Multi-Page"));
    EXPECT_EQ(groups[2].title, QStringLiteral("Framing & Panels"));
    EXPECT_EQ(groups[0].rows.size(), 7);
    EXPECT_EQ(groups[1].rows.size(), 6);
    EXPECT_EQ(groups[2].rows.size(), 5);
    EXPECT_EQ(groups[0].rows[0].keys, QStringLiteral("V"));
    EXPECT_EQ(groups[1].rows[4].keys, QStringLiteral("Ctrl+Z / Ctrl+Shift+Z"));
    EXPECT_EQ(groups[2].rows[0].description, QStringLiteral("Reset view to 100% (120 Hz transition)"));
    Localization::setCurrent(AppLanguage::fr);
    EXPECT_EQ(ShortcutsSheet::groups()[2].rows[0].description,
              QStringLiteral("Réinitialiser la vue à 100 % (transition 120 Hz)"));
    EXPECT_EQ(ShortcutsSheet::groups()[1].rows[4].keys, QStringLiteral("Ctrl+Z / Ctrl+Shift+Z"));
}

TEST_F(ShortcutsSheetTest, EveryKeyOnTheCardComesFromTheShortcutTable)
{
    QStringList card;
    for (const ShortcutsSheet::Group& group : ShortcutsSheet::groups())
        for (const ShortcutsSheet::Row& row : group.rows)
            card << row.keys;
    EXPECT_EQ(card, (QStringList{"V", "T", "S", "P", "R / O", "L / K", "Del / Backspace",
                                 "Ctrl+O / Ctrl+S", "Ctrl+E", "Ctrl+Shift+N", "[ / ]", "Ctrl+Z / Ctrl+Shift+Z", "Ctrl+D",
                                 "Z", "Shift+Z / F", "Ctrl+1 / Ctrl+2 / Ctrl+3", "Ctrl+Alt+S / Ctrl+Alt+I", "Ctrl+F"}));

    // What the menus and the single-key handler bind.
    QStringList bound;
    for (int c = 0; c <= int(EditorCommand::website); ++c)
        for (const QKeySequence& sequence : shortcutsFor(EditorCommand(c)))
            bound << shortcutText(sequence);
    for (const SingleKeyShortcut& shortcut : singleKeyShortcuts())
        bound << shortcutText(shortcut);
    for (const QString& keys : card)
        for (const QString& key : keys.split(QStringLiteral(" / ")))
            EXPECT_TRUE(bound.contains(key)) << key.toStdString();
}

TEST_F(ShortcutsSheetTest, KeysSitInTheirSlotAndReturnCloses)
{
    int closes = 0;
    ShortcutsSheet sheet([&closes] { ++closes; });
    sheet.show();
    EXPECT_EQ(sheet.width(), 860);
    const QList<QLabel*> keys = sheet.findChildren<QLabel*>(QStringLiteral("shortcutKeys"));
    EXPECT_EQ(keys.size(), 18);
    for (QLabel* key : keys) {
        EXPECT_EQ(key->width(), ShortcutsSheet::kKeyWidth);
        // Long key texts wrap in the slot rather than being cut.
        EXPECT_GE(key->height(), key->heightForWidth(key->width()));
    }
    for (QLabel* description : sheet.findChildren<QLabel*>(QStringLiteral("shortcutDescription")))
        EXPECT_GE(description->height(), description->heightForWidth(description->width()));
    QTest::keyClick(&sheet, Qt::Key_Escape);
    EXPECT_EQ(closes, 0) << "the card binds no cancel key";
    QTest::keyClick(&sheet, Qt::Key_Return);
    EXPECT_EQ(closes, 1);
}

}  // namespace
}  // namespace zelvane
