#include "window/MainMenuBar.h"

#include "Localization.h"
#include "VectorController.h"
#include "appmodel/AppModel.h"
#include "model/ShapePayload.h"
#include "model/StampPayload.h"
#include "update/OsselUpdater.h"
#include "window/MainWindow.h"

#include <QAction>
#include <QDesktopServices>
#include <QFileInfo>
#include <QMenu>
#include <QMenuBar>
#include <QUrl>

#ifndef ZELVANE_WEBSITE_URL
#define ZELVANE_WEBSITE_URL ""
#endif

namespace zelvane {

MainMenuBar::MainMenuBar(AppModel& model, MainWindow& window)
    : QObject(&window), m_model(model), m_window(window), m_bar(window.menuBar())
{
    buildFileMenu();
    buildEditMenu();
    buildEditingMenu();
    buildViewMenu();
    buildHelpMenu();
    retitle();
    updateEnabledStates();

    connect(&model, &AppModel::languageChanged, this, &MainMenuBar::retitle);
    connect(&model, &AppModel::showSidebarChanged, this, &MainMenuBar::retitle);
    connect(&model, &AppModel::showInspectorChanged, this, &MainMenuBar::retitle);
    VectorController& controller = model.controller();
    connect(&controller, &VectorController::historyChanged, this, &MainMenuBar::updateEnabledStates);
    connect(&controller, &VectorController::selectionChanged, this, &MainMenuBar::updateEnabledStates);
    connect(&controller, &VectorController::currentPageIndexChanged, this, &MainMenuBar::updateEnabledStates);
    connect(&controller, &VectorController::documentChanged, this, &MainMenuBar::updateEnabledStates);
    connect(&model, &AppModel::openingFileNameChanged, this, &MainMenuBar::updateEnabledStates);
}

QString MainMenuBar::websiteAddress()
{
    return QStringLiteral(ZELVANE_WEBSITE_URL);
}

std::optional<QUrl> MainMenuBar::websiteURL(const QString& address)
{
    const QUrl url(address, QUrl::StrictMode);
    if (!url.isValid() || url.scheme().isEmpty())
        return std::nullopt;
    return url;
}

QString MainMenuBar::menuText(const QString& text)
{
    QString escaped = text;
    return escaped.replace(QLatin1Char('&'), QLatin1String("&&"));
}

QMenu* MainMenuBar::addMenu(const Title& title)
{
    QMenu* menu = m_bar->addMenu(QString());
    m_menus.append(menu);
    m_menuTitles.append({menu, title});
    return menu;
}

QMenu* MainMenuBar::addSubmenu(QMenu* parent, const Title& title)
{
    QMenu* menu = parent->addMenu(QString());
    m_menuTitles.append({menu, title});
    return menu;
}

QAction* MainMenuBar::add(QMenu* menu, EditorCommand command, std::function<QString()> title,
                          std::function<void()> run)
{
    auto* action = new QAction(menu);
    action->setShortcuts(shortcutsFor(command));
    connect(action, &QAction::triggered, this, [run = std::move(run)] { run(); });
    menu->addAction(action);
    m_actions.insert(command, action);
    m_actionTitles.append({action, std::move(title)});
    return action;
}

QAction* MainMenuBar::add(QMenu* menu, EditorCommand command, const Title& title, std::function<void()> run)
{
    return add(
        menu, command, [title] { return L(title.french, title.english); }, std::move(run));
}

void MainMenuBar::buildFileMenu()
{
    AppModel& model = m_model;
    VectorController& controller = model.controller();
    QMenu* file = addMenu({QStringLiteral("Fichier"), QStringLiteral("File")});
    add(file, EditorCommand::newDocument,
        {QStringLiteral("Nouveau document A4 Portrait"), QStringLiteral("New A4 Portrait Document")},
        [&model] { model.createNewDocument(PageFormatPreset::a4Portrait); });
    add(file, EditorCommand::addBlankPage, {QStringLiteral("Ajouter une page vierge"), QStringLiteral("Add Blank Page")},
        [&controller] { controller.addBlankPage(PageFormatPreset::a4Portrait); });
    file->addSeparator();
    add(file, EditorCommand::openDocument,
        {QStringLiteral("Ouvrir un document SVG ou PDF…"), QStringLiteral("Open SVG or PDF Document…")},
        [&model] { model.openDocumentPanel(); });
    m_recentMenu = addSubmenu(file, {QStringLiteral("Ouvrir récent"), QStringLiteral("Open Recent")});
    m_recentMenu->setToolTipsVisible(true);
    connect(m_recentMenu, &QMenu::aboutToShow, this, &MainMenuBar::fillRecentMenu);
    fillRecentMenu();
    file->addSeparator();
    add(file, EditorCommand::saveDocument, {QStringLiteral("Enregistrer le document…"), QStringLiteral("Save Document…")},
        [&model] { model.saveDocumentDirectOrPanel(); });
    add(file, EditorCommand::saveAsOrExport,
        {QStringLiteral("Enregistrer sous / Exporter (PDF, SVG, PNG)…"),
         QStringLiteral("Save As / Export (PDF, SVG, PNG)…")},
        [&model] { model.setShowExportSheet(true); });
    file->addSeparator();
    QAction* quit = add(file, EditorCommand::quit, {QStringLiteral("Quitter Zelvane"), QStringLiteral("Quit Zelvane")},
                        [this] { m_window.close(); });
    quit->setMenuRole(QAction::QuitRole);
}

void MainMenuBar::buildEditMenu()
{
    AppModel& model = m_model;
    VectorController& controller = model.controller();
    QMenu* edit = addMenu({QStringLiteral("Édition"), QStringLiteral("Edit")});
    add(edit, EditorCommand::undo, {QStringLiteral("Annuler"), QStringLiteral("Undo")},
        [&controller] { controller.undo(); });
    add(edit, EditorCommand::redo, {QStringLiteral("Rétablir"), QStringLiteral("Redo")},
        [&controller] { controller.redo(); });
    edit->addSeparator();
    add(edit, EditorCommand::duplicateSelection,
        {QStringLiteral("Dupliquer la sélection"), QStringLiteral("Duplicate Selection")},
        [&controller] { controller.duplicateSelectedElements(); });
    add(edit, EditorCommand::deleteSelection,
        {QStringLiteral("Supprimer la sélection"), QStringLiteral("Delete Selection")},
        [&controller] { controller.deleteSelectedElements(); });
    edit->addSeparator();
    add(edit, EditorCommand::selectAllOnPage,
        {QStringLiteral("Tout sélectionner sur la page"), QStringLiteral("Select All on Page")}, [&controller] {
            QSet<QUuid> ids;
            for (const VectorElement& element : controller.currentPage().elements)
                ids.insert(element.id);
            controller.setSelection(ids);
        });
    add(edit, EditorCommand::searchText,
        {QStringLiteral("Rechercher un texte / Filtrer les calques"), QStringLiteral("Search Text / Filter Layers")},
        [&model] { model.setSearchFocusRequest(model.searchFocusRequest() + 1); });
    edit->addSeparator();
    QAction* preferences = add(edit, EditorCommand::preferences,
                               {QStringLiteral("Préférences…"), QStringLiteral("Preferences…")},
                               [this] { m_window.showSettingsWindow(); });
    preferences->setMenuRole(QAction::PreferencesRole);
}

void MainMenuBar::buildEditingMenu()
{
    AppModel& model = m_model;
    VectorController& controller = model.controller();
    QMenu* editing = addMenu({QStringLiteral("Édition Vectorielle & PDF"), QStringLiteral("Vector & PDF Editing")});
    add(editing, EditorCommand::placeActiveSignature,
        {QStringLiteral("Apposer la signature active (S)"), QStringLiteral("Place Active Signature (S)")},
        [&controller] { controller.stampActiveSignature(); });
    add(editing, EditorCommand::importSignatureFile,
        {QStringLiteral("Importer un fichier de signature (PDF, PNG, JPG…)"),
         QStringLiteral("Import Signature File (PDF, PNG, JPG…)")},
        [&controller] { controller.importSignatureFileInteractive(); });
    add(editing, EditorCommand::openSignaturesFolder,
        {QStringLiteral("Ouvrir le dossier Signatures dans le gestionnaire de fichiers"),
         QStringLiteral("Open Signatures Folder in the File Manager")},
        [&controller] { controller.openSignaturesFolderInFileManager(); });
    editing->addSeparator();
    m_stampMenu = addSubmenu(editing, {QStringLiteral("Apposer un tampon d'approbation (K)"),
                                       QStringLiteral("Place Approval Stamp (K)")});
    connect(m_stampMenu, &QMenu::aboutToShow, this, &MainMenuBar::fillStampMenu);
    fillStampMenu();
    add(editing, EditorCommand::importStampFile,
        {QStringLiteral("Importer un fichier de tampon (PDF, PNG, JPG…)"),
         QStringLiteral("Import Stamp File (PDF, PNG, JPG…)")},
        [&controller] { controller.importStampFileInteractive(); });
    add(editing, EditorCommand::openStampsFolder,
        {QStringLiteral("Ouvrir le dossier Stamps dans le gestionnaire de fichiers"),
         QStringLiteral("Open Stamps Folder in the File Manager")},
        [&controller] { controller.openStampsFolderInFileManager(); });
    editing->addSeparator();
    add(editing, EditorCommand::addTextBlock,
        {QStringLiteral("Ajouter un bloc de texte (T)"), QStringLiteral("Add Text Block (T)")},
        [&controller] { controller.addTextBlock(L("Texte éditable", "Editable text")); });
    m_shapeMenu =
        addSubmenu(editing, {QStringLiteral("Ajouter une forme ou flèche"), QStringLiteral("Add Shape or Arrow")});
    connect(m_shapeMenu, &QMenu::aboutToShow, this, &MainMenuBar::fillShapeMenu);
    fillShapeMenu();
    editing->addSeparator();
    add(editing, EditorCommand::previousPage, {QStringLiteral("Page précédente ([)"), QStringLiteral("Previous Page ([)")},
        [&controller] {
            if (controller.currentPageIndex() >= 1)
                controller.setCurrentPageIndex(controller.currentPageIndex() - 1);
        });
    add(editing, EditorCommand::nextPage, {QStringLiteral("Page suivante (])"), QStringLiteral("Next Page (])")},
        [&controller] {
            if (controller.currentPageIndex() + 1 < controller.document().pages.size())
                controller.setCurrentPageIndex(controller.currentPageIndex() + 1);
        });
    add(editing, EditorCommand::duplicateCurrentPage,
        {QStringLiteral("Dupliquer la page courante"), QStringLiteral("Duplicate Current Page")},
        [&controller] { controller.duplicateCurrentPage(); });
    add(editing, EditorCommand::rotateCurrentPage,
        {QStringLiteral("Pivoter la page de 90°"), QStringLiteral("Rotate Page 90°")},
        [&controller] { controller.rotateCurrentPage(true); });
}

void MainMenuBar::buildViewMenu()
{
    AppModel& model = m_model;
    QMenu* view = addMenu({QStringLiteral("Présentation"), QStringLiteral("View")});
    add(view, EditorCommand::singlePageView, {QStringLiteral("Vue Page unique"), QStringLiteral("Single Page View")},
        [&model] { model.setDisplayMode(CanvasDisplayMode::singlePage); });
    add(view, EditorCommand::continuousView,
        {QStringLiteral("Vue Continu multipage"), QStringLiteral("Multi-Page Continuous View")},
        [&model] { model.setDisplayMode(CanvasDisplayMode::multiPageContinuous); });
    add(view, EditorCommand::gridView, {QStringLiteral("Vue Planche multipage"), QStringLiteral("Multi-Page Grid View")},
        [&model] { model.setDisplayMode(CanvasDisplayMode::multiPageGrid); });
    view->addSeparator();
    add(view, EditorCommand::resetView,
        {QStringLiteral("Réinitialiser la vue à 100 % (Z)"), QStringLiteral("Reset View to 100% (Z)")},
        [&model] { model.resetView(); });
    add(
        view, EditorCommand::fitPageOrSelection,
        [] {
            // The key names as Qt writes them in the language ("Maj+Z").
            const QString keys = shortcutText(*singleKeyShortcutFor(Qt::Key_Z, true)) + QStringLiteral(" / ") +
                                 shortcutText(*singleKeyShortcutFor(Qt::Key_F, false));
            return L("Cadrer tout ou la sélection (", "Fit Page or Selection (") + keys + QLatin1Char(')');
        },
        [&model] { model.fitSelectionOrPageAnimated(); });
    add(view, EditorCommand::zoomIn, {QStringLiteral("Zoom avant"), QStringLiteral("Zoom In")},
        [&model] { model.zoomIn(); });
    add(view, EditorCommand::zoomOut, {QStringLiteral("Zoom arrière"), QStringLiteral("Zoom Out")},
        [&model] { model.zoomOut(); });
    view->addSeparator();
    add(
        view, EditorCommand::toggleSidebar,
        [&model] {
            return model.showSidebar() ? L("Masquer la barre latérale", "Hide Sidebar")
                                       : L("Afficher la barre latérale", "Show Sidebar");
        },
        [&model] { model.setShowSidebar(!model.showSidebar()); });
    add(
        view, EditorCommand::toggleInspector,
        [&model] {
            return model.showInspector() ? L("Masquer l'inspecteur", "Hide Inspector")
                                         : L("Afficher l'inspecteur", "Show Inspector");
        },
        [&model] { model.setShowInspector(!model.showInspector()); });
    view->addSeparator();
    add(view, EditorCommand::oscCommands,
        {QStringLiteral("Commandes OSC, API HTTP & MCP…"), QStringLiteral("OSC, HTTP API & MCP Commands…")},
        [&model] { model.setShowOSCGuide(true); });
}

void MainMenuBar::buildHelpMenu()
{
    AppModel& model = m_model;
    QMenu* help = addMenu({QStringLiteral("Aide"), QStringLiteral("Help")});
    add(help, EditorCommand::help, {QStringLiteral("Aide Zelvane"), QStringLiteral("Zelvane Help")},
        [&model] { model.setShowHelp(true); });
    help->addSeparator();
    add(help, EditorCommand::keyboardShortcuts, {QStringLiteral("Raccourcis clavier"), QStringLiteral("Keyboard Shortcuts")},
        [&model] { model.setShowShortcuts(true); });
    add(help, EditorCommand::oscGuide, {QStringLiteral("Guide OSC, HTTP & MCP"), QStringLiteral("OSC, HTTP & MCP Guide")},
        [&model] { model.setShowOSCGuide(true); });
    help->addSeparator();
    QAction* website =
        add(help, EditorCommand::website, {QStringLiteral("Site web de Zelvane"), QStringLiteral("Zelvane Website")},
            [] {
                if (const std::optional<QUrl> url = websiteURL())
                    QDesktopServices::openUrl(*url);
            });
    // Without an address there is nowhere to go.
    website->setEnabled(websiteURL().has_value());
    help->addSeparator();
    add(help, EditorCommand::checkForUpdates,
        {QStringLiteral("Rechercher des mises à jour…"), QStringLiteral("Check for Updates…")}, [&model] {
            model.setShowUpdater(true);
            model.updater().checkForUpdates(false);
        });
    QAction* about = add(help, EditorCommand::about, {QStringLiteral("À propos de Zelvane"), QStringLiteral("About Zelvane")},
                         [&model] { model.setShowAbout(true); });
    about->setMenuRole(QAction::AboutRole);
}

void MainMenuBar::clearForRefill(QMenu* menu)
{
    const QList<QAction*> old = menu->actions();
    for (QAction* action : old) {
        menu->removeAction(action);
        if (action->parent() == menu)
            action->deleteLater();
    }
}

void MainMenuBar::fillRecentMenu()
{
    clearForRefill(m_recentMenu);
    AppModel& model = m_model;
    const QList<QUrl>& recent = model.recentURLs();
    if (recent.isEmpty()) {
        QAction* none = m_recentMenu->addAction(menuText(L("Aucun élément récent", "No Recent Items")));
        none->setEnabled(false);
        return;
    }
    for (const QUrl& url : recent) {
        const QString path = url.toLocalFile();
        QAction* item = m_recentMenu->addAction(menuText(QFileInfo(path).fileName()));
        item->setToolTip(path);
        item->setData(url);
        // Run after the menu has closed and this action is no longer needed.
        connect(item, &QAction::triggered, &model, [&model, url] { model.open(url); }, Qt::QueuedConnection);
    }
    m_recentMenu->addSeparator();
    QAction* clear = m_recentMenu->addAction(menuText(L("Effacer le menu", "Clear Menu")));
    connect(clear, &QAction::triggered, &model, [&model] { model.clearRecentURLs(); });
}

void MainMenuBar::fillStampMenu()
{
    clearForRefill(m_stampMenu);
    VectorController& controller = m_model.controller();
    const QList<StampPreset>& custom = controller.customStamps();
    for (const StampPreset& preset : custom) {
        QAction* item = m_stampMenu->addAction(menuText(preset.title));
        const QUuid id = preset.id;
        connect(item, &QAction::triggered, &controller, [&controller, id] {
            // The library may have changed since the menu was filled.
            for (const StampPreset& current : controller.customStamps()) {
                if (current.id == id) {
                    controller.setActiveCustomStampPresetID(id);
                    controller.stampCustomStamp(current);
                    return;
                }
            }
        });
    }
    if (!custom.isEmpty())
        m_stampMenu->addSeparator();
    for (VectorStampKind kind : EnumCases<VectorStampKind>::all) {
        QAction* item = m_stampMenu->addAction(menuText(defaultTitle(kind)));
        connect(item, &QAction::triggered, &controller, [&controller, kind] {
            controller.setActiveCustomStampPresetID(std::nullopt);
            controller.setActiveStampKind(kind);
            controller.stampApprovalBadge(kind);
        });
    }
}

void MainMenuBar::fillShapeMenu()
{
    clearForRefill(m_shapeMenu);
    VectorController& controller = m_model.controller();
    for (VectorShapeType type : EnumCases<VectorShapeType>::all) {
        QAction* item = m_shapeMenu->addAction(menuText(label(type)));
        connect(item, &QAction::triggered, &controller, [&controller, type] { controller.addShape(type); });
    }
}

void MainMenuBar::retitle()
{
    for (const auto& [menu, title] : std::as_const(m_menuTitles))
        menu->setTitle(menuText(L(title.french, title.english)));
    for (const auto& [action, title] : std::as_const(m_actionTitles))
        action->setText(menuText(title()));
    // Their items are titled in the language of the moment they are filled;
    // an open one keeps its items until it opens again.
    for (QMenu* menu : {m_recentMenu, m_stampMenu, m_shapeMenu}) {
        if (menu->isVisible())
            continue;
        if (menu == m_recentMenu)
            fillRecentMenu();
        else if (menu == m_stampMenu)
            fillStampMenu();
        else
            fillShapeMenu();
    }
}

void MainMenuBar::updateEnabledStates()
{
    const VectorController& controller = m_model.controller();
    // While a file opened from the window is read, the commands that change
    // the document wait: the file is about to replace it.
    const bool editable = !m_model.openingFileName();
    for (EditorCommand command :
         {EditorCommand::newDocument, EditorCommand::addBlankPage, EditorCommand::selectAllOnPage,
          EditorCommand::placeActiveSignature, EditorCommand::importSignatureFile, EditorCommand::importStampFile,
          EditorCommand::addTextBlock, EditorCommand::duplicateCurrentPage, EditorCommand::rotateCurrentPage}) {
        if (QAction* action = m_actions.value(command))
            action->setEnabled(editable);
    }
    for (QMenu* menu : {m_stampMenu, m_shapeMenu})
        menu->menuAction()->setEnabled(editable);
    m_actions.value(EditorCommand::undo)->setEnabled(editable && controller.canUndo());
    m_actions.value(EditorCommand::redo)->setEnabled(editable && controller.canRedo());
    const bool hasSelection = editable && !controller.selection().isEmpty();
    m_actions.value(EditorCommand::duplicateSelection)->setEnabled(hasSelection);
    m_actions.value(EditorCommand::deleteSelection)->setEnabled(hasSelection);
    m_actions.value(EditorCommand::previousPage)->setEnabled(controller.currentPageIndex() >= 1);
    m_actions.value(EditorCommand::nextPage)
        ->setEnabled(controller.currentPageIndex() + 1 < controller.document().pages.size());
}

}  // namespace zelvane
