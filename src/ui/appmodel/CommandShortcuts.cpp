#include "appmodel/CommandShortcuts.h"

namespace zelvane {

namespace {

QKeySequence keys(QKeyCombination combination)
{
    return QKeySequence(combination);
}

}  // namespace

QList<QKeySequence> shortcutsFor(EditorCommand command)
{
    constexpr auto ctrl = Qt::ControlModifier;
    constexpr auto shift = Qt::ShiftModifier;
    constexpr auto alt = Qt::AltModifier;
    switch (command) {
    case EditorCommand::quit:
        // The editor has one window: closing it (Ctrl+W) is quitting.
        return {keys(ctrl | Qt::Key_Q), keys(ctrl | Qt::Key_W)};
    case EditorCommand::preferences:
        return {keys(ctrl | Qt::Key_Comma)};
    case EditorCommand::newDocument:
        return {keys(ctrl | Qt::Key_N)};
    case EditorCommand::addBlankPage:
        return {keys(ctrl | shift | Qt::Key_N)};
    case EditorCommand::openDocument:
        return {keys(ctrl | Qt::Key_O)};
    case EditorCommand::saveDocument:
        return {keys(ctrl | Qt::Key_S)};
    case EditorCommand::saveAsOrExport:
        // Ctrl+Shift+S is Save As in every Linux editor.
        return {keys(ctrl | Qt::Key_E), keys(ctrl | shift | Qt::Key_S)};
    case EditorCommand::undo:
        return {keys(ctrl | Qt::Key_Z)};
    case EditorCommand::redo:
        return {keys(ctrl | shift | Qt::Key_Z)};
    case EditorCommand::duplicateSelection:
        return {keys(ctrl | Qt::Key_D)};
    case EditorCommand::deleteSelection:
        return {keys(QKeyCombination(Qt::Key_Delete))};
    case EditorCommand::selectAllOnPage:
        return {keys(ctrl | Qt::Key_A)};
    case EditorCommand::searchText:
        return {keys(ctrl | Qt::Key_F)};
    case EditorCommand::placeActiveSignature:
        // Not with Meta (Super): desktops keep it for themselves; Ctrl+Shift+S
        // is Save As.
        return {keys(ctrl | alt | shift | Qt::Key_S)};
    case EditorCommand::singlePageView:
        return {keys(ctrl | Qt::Key_1)};
    case EditorCommand::continuousView:
        return {keys(ctrl | Qt::Key_2)};
    case EditorCommand::gridView:
        return {keys(ctrl | Qt::Key_3)};
    case EditorCommand::zoomIn:
        return {keys(ctrl | Qt::Key_Plus), keys(ctrl | Qt::Key_Equal)};
    case EditorCommand::zoomOut:
        return {keys(ctrl | Qt::Key_Minus)};
    case EditorCommand::toggleSidebar:
        return {keys(ctrl | alt | Qt::Key_S)};
    case EditorCommand::toggleInspector:
        return {keys(ctrl | alt | Qt::Key_I)};
    case EditorCommand::help:
        return {keys(ctrl | Qt::Key_Question), keys(QKeyCombination(Qt::Key_F1))};
    case EditorCommand::keyboardShortcuts:
        return {keys(ctrl | Qt::Key_Slash)};
    case EditorCommand::about:
    case EditorCommand::checkForUpdates:
    case EditorCommand::importSignatureFile:
    case EditorCommand::openSignaturesFolder:
    case EditorCommand::importStampFile:
    case EditorCommand::openStampsFolder:
    case EditorCommand::addTextBlock:
    case EditorCommand::previousPage:
    case EditorCommand::nextPage:
    case EditorCommand::duplicateCurrentPage:
    case EditorCommand::rotateCurrentPage:
    case EditorCommand::resetView:
    case EditorCommand::fitPageOrSelection:
    case EditorCommand::oscCommands:
    case EditorCommand::oscGuide:
    case EditorCommand::website:
        break;
    }
    return {};
}

QString shortcutText(const QKeySequence& sequence)
{
    return sequence.toString(QKeySequence::NativeText);
}

QString shortcutText(EditorCommand command)
{
    const QList<QKeySequence> sequences = shortcutsFor(command);
    return sequences.isEmpty() ? QString() : shortcutText(sequences.first());
}

const QList<SingleKeyShortcut>& singleKeyShortcuts()
{
    static const QList<SingleKeyShortcut> table{
        {Qt::Key_Z, false, SingleKeyAction::resetView},
        {Qt::Key_Z, true, SingleKeyAction::fitPageOrSelection},
        {Qt::Key_F, false, SingleKeyAction::fitPageOrSelection},
        {Qt::Key_V, false, SingleKeyAction::chooseTool, EditorTool::select},
        {Qt::Key_T, false, SingleKeyAction::chooseTool, EditorTool::text},
        {Qt::Key_S, false, SingleKeyAction::chooseTool, EditorTool::signature},
        {Qt::Key_P, false, SingleKeyAction::chooseTool, EditorTool::pen},
        {Qt::Key_R, false, SingleKeyAction::chooseTool, EditorTool::rectangle},
        {Qt::Key_O, false, SingleKeyAction::chooseTool, EditorTool::ellipse},
        {Qt::Key_L, false, SingleKeyAction::chooseTool, EditorTool::arrow},
        {Qt::Key_K, false, SingleKeyAction::chooseTool, EditorTool::stamp},
        {Qt::Key_BracketLeft, false, SingleKeyAction::previousPage},
        {Qt::Key_BracketRight, false, SingleKeyAction::nextPage},
        {Qt::Key_Backspace, false, SingleKeyAction::deleteSelection},
        {Qt::Key_Escape, false, SingleKeyAction::clearSelection},
    };
    return table;
}

std::optional<SingleKeyShortcut> singleKeyShortcutFor(Qt::Key key, bool shift)
{
    // Only Z tells Shift apart; other letters ignore it.
    for (const SingleKeyShortcut& row : singleKeyShortcuts())
        if (row.key == key && (key != Qt::Key_Z || row.shift == shift))
            return row;
    return std::nullopt;
}

QString shortcutText(const SingleKeyShortcut& shortcut)
{
    const QKeyCombination combination =
        shortcut.shift ? QKeyCombination(Qt::ShiftModifier, shortcut.key) : QKeyCombination(shortcut.key);
    return shortcutText(QKeySequence(combination));
}

}  // namespace zelvane
