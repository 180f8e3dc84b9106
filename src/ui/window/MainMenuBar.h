#pragma once

#include "appmodel/CommandShortcuts.h"

#include <QHash>
#include <QList>
#include <QObject>
#include <QUrl>
#include <functional>
#include <optional>
#include <utility>

class QAction;
class QMenu;
class QMenuBar;

namespace zelvane {

class AppModel;
class MainWindow;

// The main window's menu bar: File, Edit, Vector & PDF Editing, View and
// Help, one action per command with the shortcuts of CommandShortcuts.
// Titles follow the language and the panels' state, and enabled states the
// document, in place; Open Recent and the stamp submenu are filled each time
// they open.
class MainMenuBar : public QObject {
    Q_OBJECT

public:
    MainMenuBar(AppModel& model, MainWindow& window);

    QAction* action(EditorCommand command) const { return m_actions.value(command); }
    // The top-level menus in order.
    const QList<QMenu*>& menus() const { return m_menus; }
    QMenu* recentMenu() const { return m_recentMenu; }
    QMenu* stampMenu() const { return m_stampMenu; }
    QMenu* shapeMenu() const { return m_shapeMenu; }

    // The address the website item opens; set when the program is built.
    static QString websiteAddress();
    // The address as a web address, or none when it is empty or unusable
    // (the website item is then disabled).
    static std::optional<QUrl> websiteURL(const QString& address = websiteAddress());

    // A text shown as written in a menu ("&" is no mnemonic there).
    static QString menuText(const QString& text);

private:
    struct Title {
        QString french;
        QString english;
    };
    QMenu* addMenu(const Title& title);
    QMenu* addSubmenu(QMenu* menu, const Title& title);
    QAction* add(QMenu* menu, EditorCommand command, std::function<QString()> title, std::function<void()> run);
    QAction* add(QMenu* menu, EditorCommand command, const Title& title, std::function<void()> run);
    void buildFileMenu();
    void buildEditMenu();
    void buildEditingMenu();
    void buildViewMenu();
    void buildHelpMenu();
    void fillRecentMenu();
    void fillStampMenu();
    void fillShapeMenu();
    void retitle();
    void updateEnabledStates();
    // Empties a menu that is about to be filled again; its actions go on
    // the next turn, never inside their own triggered().
    static void clearForRefill(QMenu* menu);

    AppModel& m_model;
    MainWindow& m_window;
    QMenuBar* m_bar;
    QList<QMenu*> m_menus;
    QHash<EditorCommand, QAction*> m_actions;
    QList<std::pair<QAction*, std::function<QString()>>> m_actionTitles;
    QList<std::pair<QMenu*, Title>> m_menuTitles;
    QMenu* m_recentMenu = nullptr;
    QMenu* m_stampMenu = nullptr;
    QMenu* m_shapeMenu = nullptr;
};

}  // namespace zelvane
