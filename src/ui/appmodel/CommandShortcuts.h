#pragma once

#include "appmodel/EditorTool.h"

#include <QKeySequence>
#include <QList>
#include <QString>
#include <optional>

namespace zelvane {

// Every command of the menu bar, menu by menu in menu order.
enum class EditorCommand {
    // Application (the Help and File menus on Linux)
    about,
    checkForUpdates,
    preferences,
    quit,
    // File
    newDocument,
    addBlankPage,
    openDocument,
    saveDocument,
    saveAsOrExport,
    // Edit
    undo,
    redo,
    duplicateSelection,
    deleteSelection,
    selectAllOnPage,
    searchText,
    // Vector & PDF Editing
    placeActiveSignature,
    importSignatureFile,
    openSignaturesFolder,
    importStampFile,
    openStampsFolder,
    addTextBlock,
    previousPage,
    nextPage,
    duplicateCurrentPage,
    rotateCurrentPage,
    // View
    singlePageView,
    continuousView,
    gridView,
    resetView,
    fitPageOrSelection,
    zoomIn,
    zoomOut,
    toggleSidebar,
    toggleInspector,
    oscCommands,
    // Help
    help,
    keyboardShortcuts,
    oscGuide,
    website,
};

// The key sequences of a command, the one shown in menus first; empty for a
// command without a shortcut.
QList<QKeySequence> shortcutsFor(EditorCommand command);

// A key sequence as Qt writes it for people ("Ctrl+Shift+Z").
QString shortcutText(const QKeySequence& sequence);
// The first shortcut of a command as text, or an empty text.
QString shortcutText(EditorCommand command);

// What a single key (no Ctrl, Alt or Meta) does in the editor window.
enum class SingleKeyAction {
    resetView,
    fitPageOrSelection,
    chooseTool,
    previousPage,
    nextPage,
    deleteSelection,
    clearSelection,
};

struct SingleKeyShortcut {
    Qt::Key key;
    // Shift held (letters are matched by key, so Shift only counts where a
    // row says so).
    bool shift = false;
    SingleKeyAction action;
    // For chooseTool.
    EditorTool tool = EditorTool::select;
};

// The single keys, in the order a reference card lists them.
const QList<SingleKeyShortcut>& singleKeyShortcuts();
// The row for a key, or none when the key is not one of them.
std::optional<SingleKeyShortcut> singleKeyShortcutFor(Qt::Key key, bool shift);
// "Shift+Z", "V", "[", "Backspace".
QString shortcutText(const SingleKeyShortcut& shortcut);

}  // namespace zelvane
