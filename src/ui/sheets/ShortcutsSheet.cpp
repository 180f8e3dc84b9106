#include "sheets/ShortcutsSheet.h"

#include "Localization.h"
#include "appmodel/AppModel.h"
#include "appmodel/CommandShortcuts.h"
#include "controls/SectionHeader.h"
#include "controls/SeparatorLine.h"
#include "sheets/SheetParts.h"
#include "theme/Theme.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QVBoxLayout>

namespace zelvane {

using namespace SheetParts;

namespace {

// The first (menu) shortcut of each command.
QStringList commandKeys(std::initializer_list<EditorCommand> commands)
{
    QStringList texts;
    for (EditorCommand command : commands)
        texts << shortcutText(command);
    return texts;
}

// Every single key that does `action` (for a tool: that tool), in table order.
QStringList singleKeys(SingleKeyAction action, std::optional<EditorTool> tool = std::nullopt)
{
    QStringList texts;
    for (const SingleKeyShortcut& shortcut : singleKeyShortcuts()) {
        if (shortcut.action == action && (!tool || shortcut.tool == *tool))
            texts << shortcutText(shortcut);
    }
    return texts;
}

QStringList toolKeys(std::initializer_list<EditorTool> tools)
{
    QStringList texts;
    for (EditorTool tool : tools)
        texts << singleKeys(SingleKeyAction::chooseTool, tool);
    return texts;
}

QString joined(const QStringList& keys)
{
    return keys.join(QStringLiteral(" / "));
}

}  // namespace

QList<ShortcutsSheet::Group> ShortcutsSheet::groups()
{
    using C = EditorCommand;
    using T = EditorTool;
    using A = SingleKeyAction;
    return {
        {L("Outils d'édition vectorielle", "Vector Editing Tools"),
         {
             {joined(toolKeys({T::select})),
              L("Outil Sélection / Déplacement / Redimensionnement", "Select / Move / Resize tool")},
             {joined(toolKeys({T::text})),
              L("Outil Texte (éditer un texte PDF ou ajouter un texte)", "Text tool (edit PDF text or add text)")},
             {joined(toolKeys({T::signature})),
              L("Outil Signature (signer à main levée ou apposer)", "Signature tool (freehand or stamp)")},
             {joined(toolKeys({T::pen})), L("Outil Tracé vectoriel libre lissé", "Smooth freehand vector path tool")},
             {joined(toolKeys({T::rectangle, T::ellipse})),
              L("Tracer un Rectangle (R) ou une Ellipse (O)", "Draw Rectangle (R) or Ellipse (O)")},
             {joined(toolKeys({T::arrow, T::stamp})),
              L("Tracer une Flèche (L) ou apposer un Tampon (K)", "Draw Arrow (L) or place Stamp (K)")},
             {joined(commandKeys({C::deleteSelection}) + singleKeys(A::deleteSelection)),
              L("Supprimer les éléments sélectionnés (ou masquer le texte PDF)",
                "Delete selected elements (or redact PDF text)")},
         }},
        {L("Documents & Multipage", "Documents & Multi-Page"),
         {
             {joined(commandKeys({C::openDocument, C::saveDocument})),
              L("Ouvrir un SVG/PDF · Enregistrer le document", "Open SVG/PDF · Save document")},
             {joined(commandKeys({C::saveAsOrExport})),
              L("Exporter en PDF multipage, SVG ou PNG", "Export to multi-page PDF, SVG, or PNG")},
             {joined(commandKeys({C::addBlankPage})),
              L("Ajouter une nouvelle page au document", "Add a new page to document")},
             {joined(singleKeys(A::previousPage) + singleKeys(A::nextPage)),
              L("Aller à la page précédente / suivante", "Previous / Next page")},
             {joined(commandKeys({C::undo, C::redo})), L("Annuler / Rétablir l'opération", "Undo / Redo operation")},
             {joined(commandKeys({C::duplicateSelection})), L("Dupliquer la sélection", "Duplicate selection")},
         }},
        {L("Cadrage & Panneaux", "Framing & Panels"),
         {
             {joined(singleKeys(A::resetView)),
              L("Réinitialiser la vue à 100 % (transition 120 Hz)", "Reset view to 100% (120 Hz transition)")},
             {joined(singleKeys(A::fitPageOrSelection)),
              L("Cadrer toute la page ou la sélection active", "Fit entire page or active selection")},
             {joined(commandKeys({C::singlePageView, C::continuousView, C::gridView})),
              L("Vue Page unique / Continu multipage / Planche", "Single page / Multi-page scroll / Grid view")},
             {joined(commandKeys({C::toggleSidebar, C::toggleInspector})),
              L("Afficher ou masquer la barre latérale / l'inspecteur", "Show or hide sidebar / inspector")},
             {joined(commandKeys({C::searchText})),
              L("Rechercher un texte ou filtrer les calques", "Search text or filter layers")},
         }},
    };
}

ShortcutsSheet::ShortcutsSheet(AppModel& model, QWidget* parent)
    : ShortcutsSheet([&model] { model.setShowShortcuts(false); }, parent)
{
}

ShortcutsSheet::ShortcutsSheet(std::function<void()> close, QWidget* parent)
    : SheetView(std::move(close), parent)
{
    setObjectName(QStringLiteral("ShortcutsSheetView"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(20, 20, 20, 20);
    layout->setSpacing(14);

    auto* header = new QHBoxLayout;
    header->addWidget(label(L("Raccourcis clavier — Zelvane", "Keyboard Shortcuts — Zelvane"), 15, QFont::DemiBold,
                            Theme::text()));
    header->addStretch(1);
    m_closeButton = pushButton(L("Fermer", "Close"), "close", [this] {
        closeSheet();
    }, true);
    header->addWidget(m_closeButton);
    layout->addLayout(header);
    layout->addWidget(separatorLine());

    auto* columns = new QHBoxLayout;
    columns->setSpacing(16);
    for (const Group& group : groups()) {
        auto* column = new QVBoxLayout;
        column->setSpacing(7);
        column->addWidget(new SectionHeader(group.title));
        for (const Row& row : group.rows) {
            auto* line = new QHBoxLayout;
            line->setSpacing(8);
            QLabel* key = label(row.keys, 10.5, QFont::DemiBold, Theme::accent(), true, true);
            key->setObjectName(QStringLiteral("shortcutKeys"));
            key->setFixedWidth(kKeyWidth);
            line->addWidget(key, 0, Qt::AlignTop);
            QLabel* description = label(row.description, 11, QFont::Normal, Theme::textDim(), true);
            description->setObjectName(QStringLiteral("shortcutDescription"));
            line->addWidget(description, 1, Qt::AlignTop);
            column->addLayout(line);
        }
        column->addStretch(1);
        columns->addLayout(column, 1);
    }
    layout->addLayout(columns);
    fitHeightToContent(this, kWidth);
}

}  // namespace zelvane
