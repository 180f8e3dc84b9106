#include "UiTestSupport.h"
#include "VectorController.h"
#include "appmodel/AppModel.h"
#include "appmodel/CommandShortcuts.h"
#include "window/MainMenuBar.h"

#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>

using namespace zelvane;

namespace {

struct MenuRow {
    EditorCommand command;
    QString french;
    QString english;
    QString keys;
};

// Every item with a fixed title, in menu order.
const QList<MenuRow>& menuRows()
{
    static const QList<MenuRow> rows{
        {EditorCommand::newDocument, "Nouveau document A4 Portrait", "New A4 Portrait Document", "Ctrl+N"},
        {EditorCommand::addBlankPage, "Ajouter une page vierge", "Add Blank Page", "Ctrl+Shift+N"},
        {EditorCommand::openDocument, "Ouvrir un document SVG ou PDF…", "Open SVG or PDF Document…", "Ctrl+O"},
        {EditorCommand::saveDocument, "Enregistrer le document…", "Save Document…", "Ctrl+S"},
        {EditorCommand::saveAsOrExport, "Enregistrer sous / Exporter (PDF, SVG, PNG)…",
         "Save As / Export (PDF, SVG, PNG)…", "Ctrl+E"},
        {EditorCommand::quit, "Quitter Zelvane", "Quit Zelvane", "Ctrl+Q"},
        {EditorCommand::undo, "Annuler", "Undo", "Ctrl+Z"},
        {EditorCommand::redo, "Rétablir", "Redo", "Ctrl+Shift+Z"},
        {EditorCommand::duplicateSelection, "Dupliquer la sélection", "Duplicate Selection", "Ctrl+D"},
        {EditorCommand::deleteSelection, "Supprimer la sélection", "Delete Selection", "Del"},
        {EditorCommand::selectAllOnPage, "Tout sélectionner sur la page", "Select All on Page", "Ctrl+A"},
        {EditorCommand::searchText, "Rechercher un texte / Filtrer les calques", "Search Text / Filter Layers",
         "Ctrl+F"},
        {EditorCommand::preferences, "Préférences…", "Preferences…", "Ctrl+,"},
        {EditorCommand::placeActiveSignature, "Apposer la signature active (S)", "Place Active Signature (S)",
         "Ctrl+Alt+Shift+S"},
        {EditorCommand::importSignatureFile, "Importer un fichier de signature (PDF, PNG, JPG…)",
         "Import Signature File (PDF, PNG, JPG…)", ""},
        {EditorCommand::openSignaturesFolder, "Ouvrir le dossier Signatures dans le gestionnaire de fichiers",
         "Open Signatures Folder in the File Manager", ""},
        {EditorCommand::importStampFile, "Importer un fichier de tampon (PDF, PNG, JPG…)",
         "Import Stamp File (PDF, PNG, JPG…)", ""},
        {EditorCommand::openStampsFolder, "Ouvrir le dossier Stamps dans le gestionnaire de fichiers",
         "Open Stamps Folder in the File Manager", ""},
        {EditorCommand::addTextBlock, "Ajouter un bloc de texte (T)", "Add Text Block (T)", ""},
        {EditorCommand::previousPage, "Page précédente ([)", "Previous Page ([)", ""},
        {EditorCommand::nextPage, "Page suivante (])", "Next Page (])", ""},
        {EditorCommand::duplicateCurrentPage, "Dupliquer la page courante", "Duplicate Current Page", ""},
        {EditorCommand::rotateCurrentPage, "Pivoter la page de 90°", "Rotate Page 90°", ""},
        {EditorCommand::singlePageView, "Vue Page unique", "Single Page View", "Ctrl+1"},
        {EditorCommand::continuousView, "Vue Continu multipage", "Multi-Page Continuous View", "Ctrl+2"},
        {EditorCommand::gridView, "Vue Planche multipage", "Multi-Page Grid View", "Ctrl+3"},
        {EditorCommand::resetView, "Réinitialiser la vue à 100 % (Z)", "Reset View to 100% (Z)", ""},
        {EditorCommand::fitPageOrSelection, "Cadrer tout ou la sélection (Maj+Z / F)",
         "Fit Page or Selection (Shift+Z / F)", ""},
        {EditorCommand::zoomIn, "Zoom avant", "Zoom In", "Ctrl++"},
        {EditorCommand::zoomOut, "Zoom arrière", "Zoom Out", "Ctrl+-"},
        {EditorCommand::oscCommands, "Commandes OSC, API HTTP & MCP…", "OSC, HTTP API & MCP Commands…", ""},
        {EditorCommand::help, "Aide Zelvane", "Zelvane Help", "Ctrl+?"},
        {EditorCommand::keyboardShortcuts, "Raccourcis clavier", "Keyboard Shortcuts", "Ctrl+/"},
        {EditorCommand::oscGuide, "Guide OSC, HTTP & MCP", "OSC, HTTP & MCP Guide", ""},
        {EditorCommand::website, "Site web de Zelvane", "Zelvane Website", ""},
        {EditorCommand::checkForUpdates, "Rechercher des mises à jour…", "Check for Updates…", ""},
        {EditorCommand::about, "À propos de Zelvane", "About Zelvane", ""},
    };
    return rows;
}

class MenuBarTest : public zelvane::testing::WindowTest {
protected:
    MainMenuBar& menus() { return window->menus(); }
    VectorController& controller() { return model->controller(); }
    QAction* action(EditorCommand command) { return menus().action(command); }
    // The menu's own text of an action, "&&" read back as "&".
    static QString shown(const QAction* action) { return action->text().replace(QStringLiteral("&&"), "&"); }

    void trigger(EditorCommand command)
    {
        QAction* item = action(command);
        ASSERT_TRUE(item);
        item->trigger();
    }

    QStringList menuTitles()
    {
        QStringList titles;
        for (QMenu* menu : menus().menus())
            titles.append(menu->title());
        return titles;
    }

    // The enabled states of the commands that can be off.
    QList<bool> states()
    {
        QList<bool> result;
        for (EditorCommand command : {EditorCommand::undo, EditorCommand::redo, EditorCommand::duplicateSelection,
                                      EditorCommand::deleteSelection, EditorCommand::previousPage,
                                      EditorCommand::nextPage})
            result.append(action(command)->isEnabled());
        return result;
    }

    void closeSheets()
    {
        model->setShowExportSheet(false);
        model->setShowOSCGuide(false);
        model->setShowHelp(false);
        model->setShowShortcuts(false);
        model->setShowAbout(false);
        model->setShowUpdater(false);
    }
};

}  // namespace

TEST_F(MenuBarTest, EveryItemHasItsTitleInBothLanguagesAndItsShortcut)
{
    for (const MenuRow& row : menuRows()) {
        QAction* item = action(row.command);
        ASSERT_TRUE(item) << row.english.toStdString();
        EXPECT_EQ(shown(item), row.english);
        EXPECT_EQ(item->shortcut().toString(QKeySequence::NativeText), row.keys) << row.english.toStdString();
        EXPECT_EQ(shortcutText(row.command), row.keys);
    }
    EXPECT_EQ(action(EditorCommand::zoomIn)->shortcuts().size(), 2);
    EXPECT_EQ(action(EditorCommand::help)->shortcuts().value(1), QKeySequence(Qt::Key_F1));
    EXPECT_EQ(menuTitles(), (QStringList{"File", "Edit", "Vector && PDF Editing", "View", "Help"}));

    model->setLanguage(AppLanguage::fr);
    for (const MenuRow& row : menuRows())
        EXPECT_EQ(shown(action(row.command)), row.french);
    EXPECT_EQ(menuTitles(), (QStringList{"Fichier", "Édition", "Édition Vectorielle && PDF", "Présentation", "Aide"}));
    EXPECT_EQ(shown(action(EditorCommand::toggleSidebar)), QStringLiteral("Masquer la barre latérale"));
    EXPECT_EQ(menus().recentMenu()->title(), QStringLiteral("Ouvrir récent"));
    EXPECT_EQ(menus().recentMenu()->actions().first()->text(), QStringLiteral("Aucun élément récent"));
}

TEST_F(MenuBarTest, NoTwoCommandsShareAKeyAndNoneUsesTheSuperKey)
{
    QHash<QKeySequence, int> owners;
    for (int command = int(EditorCommand::about); command <= int(EditorCommand::website); ++command) {
        for (const QKeySequence& sequence : shortcutsFor(EditorCommand(command))) {
            EXPECT_FALSE(owners.contains(sequence)) << sequence.toString().toStdString();
            owners.insert(sequence, command);
            EXPECT_FALSE(sequence[0].keyboardModifiers() & Qt::MetaModifier) << sequence.toString().toStdString();
            // Nor a single key the canvas takes for itself.
            if (!(sequence[0].keyboardModifiers() & (Qt::ControlModifier | Qt::AltModifier))) {
                EXPECT_FALSE(singleKeyShortcutFor(sequence[0].key(), false)) << sequence.toString().toStdString();
            }
        }
    }
    const QKeySequence place = shortcutsFor(EditorCommand::placeActiveSignature).value(0);
    EXPECT_EQ(place, QKeySequence(Qt::ControlModifier | Qt::AltModifier | Qt::ShiftModifier | Qt::Key_S));
    // The key places the signature from the window, as the menu does.
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    QTest::keyClick(window->windowHandle(), Qt::Key_S, Qt::ControlModifier | Qt::AltModifier | Qt::ShiftModifier);
    EXPECT_EQ(controller().currentPage().elements.size(), 1);
    EXPECT_FALSE(model->showExportSheet());
    // Ctrl+Shift+S is Save As, as in every Linux editor: the export sheet,
    // where the format and then the file are chosen.
    QTest::keyClick(window->windowHandle(), Qt::Key_S, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_TRUE(model->showExportSheet());
    EXPECT_EQ(controller().currentPage().elements.size(), 1);
}

TEST_F(MenuBarTest, FrenchUsesQtsOwnTextsForKeysAndDialogs)
{
    const auto cancelText = [] {
        QMessageBox box;
        return box.addButton(QMessageBox::Cancel)->text();
    };
    EXPECT_EQ(cancelText(), QStringLiteral("Cancel"));
    model->setLanguage(AppLanguage::fr);
    EXPECT_EQ(cancelText(), QStringLiteral("Annuler"));
    EXPECT_EQ(QCoreApplication::translate("QFileDialog", "Look in:"), QStringLiteral("Voir dans :"));
    EXPECT_EQ(shortcutText(EditorCommand::redo), QStringLiteral("Ctrl+Maj+Z"));
    EXPECT_EQ(shortcutText(EditorCommand::deleteSelection), QStringLiteral("Suppr"));
    EXPECT_EQ(shortcutText(EditorCommand::placeActiveSignature), QStringLiteral("Ctrl+Alt+Maj+S"));
    EXPECT_EQ(action(EditorCommand::redo)->shortcut().toString(QKeySequence::NativeText), QStringLiteral("Ctrl+Maj+Z"));
    EXPECT_EQ(shown(action(EditorCommand::fitPageOrSelection)), QStringLiteral("Cadrer tout ou la sélection (Maj+Z / F)"));

    model->setLanguage(AppLanguage::en);
    EXPECT_EQ(cancelText(), QStringLiteral("Cancel"));
    EXPECT_EQ(shortcutText(EditorCommand::redo), QStringLiteral("Ctrl+Shift+Z"));
    EXPECT_EQ(shown(action(EditorCommand::fitPageOrSelection)), QStringLiteral("Fit Page or Selection (Shift+Z / F)"));
}

TEST_F(MenuBarTest, TheWebsiteItemIsOffWithoutAnAddress)
{
    EXPECT_FALSE(MainMenuBar::websiteURL(QString()));
    EXPECT_FALSE(MainMenuBar::websiteURL(QStringLiteral("not an address")));
    EXPECT_EQ(MainMenuBar::websiteURL(QStringLiteral("https://example.org/zelvane")),
              QUrl(QStringLiteral("https://example.org/zelvane")));
    EXPECT_EQ(action(EditorCommand::website)->isEnabled(), MainMenuBar::websiteURL().has_value());
    if (MainMenuBar::websiteAddress().isEmpty()) {
        EXPECT_FALSE(action(EditorCommand::website)->isEnabled());
    }
}

TEST_F(MenuBarTest, EnabledStatesFollowThePagesTheSelectionAndTheHistory)
{
    // One page, nothing selected, no history.
    EXPECT_EQ(states(), (QList<bool>{false, false, false, false, false, false}));
    controller().addBlankPage(PageFormatPreset::a4Portrait);
    controller().addBlankPage(PageFormatPreset::a4Portrait);
    // Last page, something to undo.
    EXPECT_EQ(states(), (QList<bool>{true, false, false, false, true, false}));
    controller().setCurrentPageIndex(0);
    controller().addShape(VectorShapeType::ellipse);
    // First page, a selection.
    EXPECT_EQ(states(), (QList<bool>{true, false, true, true, false, true}));
    controller().setSelection({});
    controller().undo();
    EXPECT_EQ(states(), (QList<bool>{true, true, false, false, false, true}));
    // A disabled shortcut does nothing: Delete with nothing selected.
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    controller().addShape(VectorShapeType::rectangle);
    controller().setSelection({});
    const VectorDocument before = controller().document();
    QTest::keyClick(window->windowHandle(), Qt::Key_Delete);
    EXPECT_EQ(controller().document(), before);
    controller().setSelection({controller().currentPage().elements.first().id});
    QTest::keyClick(window->windowHandle(), Qt::Key_Delete);
    EXPECT_TRUE(controller().currentPage().elements.isEmpty());
}

TEST_F(MenuBarTest, EachItemDoesWhatItSays)
{
    model->setUnsavedChangesQuestion([](const QString&) { return UnsavedChangesAnswer::discard; });
    trigger(EditorCommand::addBlankPage);
    EXPECT_EQ(controller().document().pages.size(), 2);
    trigger(EditorCommand::previousPage);
    EXPECT_EQ(controller().currentPageIndex(), 0);
    trigger(EditorCommand::nextPage);
    EXPECT_EQ(controller().currentPageIndex(), 1);
    trigger(EditorCommand::duplicateCurrentPage);
    EXPECT_EQ(controller().document().pages.size(), 3);
    const double width = controller().currentPage().width;
    trigger(EditorCommand::rotateCurrentPage);
    EXPECT_EQ(controller().currentPage().height, width);

    trigger(EditorCommand::addTextBlock);
    ASSERT_EQ(controller().selectedElements().size(), 1);
    EXPECT_EQ(controller().selectedElements().first().text()->text, QStringLiteral("Editable text"));
    trigger(EditorCommand::duplicateSelection);
    trigger(EditorCommand::placeActiveSignature);
    EXPECT_EQ(controller().currentPage().elements.size(), 3);
    trigger(EditorCommand::selectAllOnPage);
    EXPECT_EQ(controller().selection().size(), 3);
    trigger(EditorCommand::deleteSelection);
    EXPECT_TRUE(controller().currentPage().elements.isEmpty());
    trigger(EditorCommand::undo);
    EXPECT_EQ(controller().currentPage().elements.size(), 3);
    trigger(EditorCommand::redo);
    EXPECT_TRUE(controller().currentPage().elements.isEmpty());

    trigger(EditorCommand::searchText);
    EXPECT_EQ(model->searchFocusRequest(), 1);
    trigger(EditorCommand::gridView);
    EXPECT_EQ(model->displayMode(), CanvasDisplayMode::multiPageGrid);
    trigger(EditorCommand::continuousView);
    EXPECT_EQ(model->displayMode(), CanvasDisplayMode::multiPageContinuous);
    trigger(EditorCommand::singlePageView);
    EXPECT_EQ(model->displayMode(), CanvasDisplayMode::singlePage);

    trigger(EditorCommand::zoomIn);
    ASSERT_TRUE(QTest::qWaitFor([this] { return !model->isCameraAnimating(); }));
    EXPECT_EQ(model->zoomScale(), 1.25);
    trigger(EditorCommand::zoomOut);
    ASSERT_TRUE(QTest::qWaitFor([this] { return !model->isCameraAnimating(); }));
    EXPECT_EQ(model->zoomScale(), 1.0);
    trigger(EditorCommand::fitPageOrSelection);
    EXPECT_EQ(model->flashMessage(), QStringLiteral("Fitted full page"));
    trigger(EditorCommand::resetView);
    EXPECT_EQ(model->flashMessage(), QStringLiteral("View reset (100%)"));

    trigger(EditorCommand::toggleSidebar);
    EXPECT_FALSE(model->showSidebar());
    EXPECT_EQ(shown(action(EditorCommand::toggleSidebar)), QStringLiteral("Show Sidebar"));
    trigger(EditorCommand::toggleInspector);
    EXPECT_FALSE(model->showInspector());
    EXPECT_EQ(shown(action(EditorCommand::toggleInspector)), QStringLiteral("Show Inspector"));

    const ExportFormat format = model->exportFormat();
    const QList<std::pair<EditorCommand, bool (AppModel::*)() const>> sheets{
        {EditorCommand::saveAsOrExport, &AppModel::showExportSheet},
        {EditorCommand::oscCommands, &AppModel::showOSCGuide},
        {EditorCommand::oscGuide, &AppModel::showOSCGuide},
        {EditorCommand::help, &AppModel::showHelp},
        {EditorCommand::keyboardShortcuts, &AppModel::showShortcuts},
        {EditorCommand::about, &AppModel::showAbout},
        {EditorCommand::checkForUpdates, &AppModel::showUpdater},
    };
    for (const auto& [command, flag] : sheets) {
        trigger(command);
        EXPECT_TRUE((model.get()->*flag)()) << shortcutText(command).toStdString();
        closeSheets();
    }
    EXPECT_EQ(model->exportFormat(), format);
    trigger(EditorCommand::website);

    trigger(EditorCommand::preferences);
    ASSERT_TRUE(window->settingsWindow());
    EXPECT_TRUE(window->settingsWindow()->isVisible());
    window->settingsWindow()->close();

    trigger(EditorCommand::newDocument);
    EXPECT_EQ(controller().document().pages.size(), 1);
    EXPECT_FALSE(controller().canUndo());
}

TEST_F(MenuBarTest, ShortcutsReachTheirItemsFromTheKeyboard)
{
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    QTest::keyClick(window->windowHandle(), Qt::Key_N, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(controller().document().pages.size(), 2);
    QTest::keyClick(window->windowHandle(), Qt::Key_Equal, Qt::ControlModifier);
    ASSERT_TRUE(QTest::qWaitFor([this] { return !model->isCameraAnimating(); }));
    EXPECT_EQ(model->zoomScale(), 1.25);
    QTest::keyClick(window->windowHandle(), Qt::Key_2, Qt::ControlModifier);
    EXPECT_EQ(model->displayMode(), CanvasDisplayMode::multiPageContinuous);
}

TEST_F(MenuBarTest, OpenRecentListsTheFilesAndClears)
{
    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("R&D plan.pdf"));
    model->recordRecentURL(QUrl::fromLocalFile(path));
    model->recordRecentURL(QUrl::fromLocalFile(folder.filePath(QStringLiteral("b.svg"))));
    QMenu* recent = menus().recentMenu();
    emit recent->aboutToShow();
    QList<QAction*> items = recent->actions();
    ASSERT_EQ(items.size(), 4);
    EXPECT_EQ(items[0]->text(), QStringLiteral("b.svg"));
    EXPECT_EQ(items[1]->text(), QStringLiteral("R&&D plan.pdf"));
    EXPECT_EQ(items[1]->toolTip(), path);
    EXPECT_TRUE(items[2]->isSeparator());
    EXPECT_EQ(items[3]->text(), QStringLiteral("Clear Menu"));

    // Choosing a file opens it once the menu has closed.
    model->controller().saveFile(folder.filePath(QStringLiteral("b.svg")));
    model->controller().createNewDocument(PageFormatPreset::a4Landscape);
    items[0]->trigger();
    EXPECT_EQ(controller().document().title, QStringLiteral("Untitled"));
    ASSERT_TRUE(QTest::qWaitFor([this] { return controller().document().title == QStringLiteral("b"); }));
    items[3]->trigger();
    EXPECT_TRUE(model->recentURLs().isEmpty());
    emit recent->aboutToShow();
    items = recent->actions();
    ASSERT_EQ(items.size(), 1);
    EXPECT_EQ(items[0]->text(), QStringLiteral("No Recent Items"));
    EXPECT_FALSE(items[0]->isEnabled());
}

TEST_F(MenuBarTest, TheStampAndShapeSubmenusPlaceWhatTheyName)
{
    QMenu* stamps = menus().stampMenu();
    emit stamps->aboutToShow();
    const QList<QAction*> items = stamps->actions();
    ASSERT_EQ(items.size(), qsizetype(EnumCases<VectorStampKind>::all.size()));
    EXPECT_FALSE(items.first()->isSeparator());
    EXPECT_EQ(items[4]->text(), MainMenuBar::menuText(defaultTitle(VectorStampKind::draft)));
    items[4]->trigger();
    EXPECT_EQ(controller().activeStampKind(), VectorStampKind::draft);
    EXPECT_FALSE(controller().activeCustomStampPresetID());
    ASSERT_EQ(controller().currentPage().elements.size(), 1);
    EXPECT_TRUE(std::holds_alternative<StampPayload>(controller().currentPage().elements.first().kind));

    QMenu* shapes = menus().shapeMenu();
    emit shapes->aboutToShow();
    ASSERT_EQ(shapes->actions().size(), qsizetype(EnumCases<VectorShapeType>::all.size()));
    shapes->actions()[2]->trigger();
    ASSERT_EQ(controller().currentPage().elements.size(), 2);
    EXPECT_EQ(std::get<ShapePayload>(controller().currentPage().elements.last().kind).shapeType, VectorShapeType::ellipse);
}

TEST_F(MenuBarTest, RemoteEditsWhileAMenuIsOpenOnlyUpdateItInPlace)
{
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    QMenu* editing = menus().menus()[2];
    editing->popup(window->mapToGlobal(QPoint(20, 20)));
    ASSERT_TRUE(QTest::qWaitFor([] { return QApplication::activePopupWidget() != nullptr; }));
    QMenu* stamps = menus().stampMenu();
    emit stamps->aboutToShow();
    const QList<QAction*> before = editing->actions();
    // As an OSC or HTTP command would, while the menu is up.
    controller().addBlankPage(PageFormatPreset::a4Portrait);
    controller().addShape(VectorShapeType::rectangle);
    model->recordRecentURL(QUrl::fromLocalFile(QStringLiteral("/tmp/remote.pdf")));
    controller().createNewDocument(PageFormatPreset::a4Landscape);
    controller().reloadSignaturesAndStampsFromDisk();
    QCoreApplication::processEvents();
    EXPECT_EQ(editing->actions(), before);
    EXPECT_FALSE(action(EditorCommand::nextPage)->isEnabled());
    editing->close();
    ASSERT_TRUE(QTest::qWaitFor([] { return QApplication::activePopupWidget() == nullptr; }));
}
