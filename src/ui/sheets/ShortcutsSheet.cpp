#include "sheets/ShortcutsSheet.h"

#include "Localization.h"
#include "appmodel/AppModel.h"
#include "controls/SectionHeader.h"
#include "sheets/SheetParts.h"
#include "theme/Theme.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QKeySequence>
#include <QLabel>
#include <QPainter>
#include <QVBoxLayout>

namespace zelvane {

using namespace SheetParts;

namespace {

QString keys(std::initializer_list<QKeyCombination> combinations)
{
    QStringList texts;
    for (QKeyCombination combination : combinations)
        texts << QKeySequence(combination).toString(QKeySequence::NativeText);
    return texts.join(QStringLiteral(" / "));
}

}  // namespace

QList<ShortcutsSheet::Group> ShortcutsSheet::groups()
{
    constexpr auto ctrl = Qt::ControlModifier;
    constexpr auto shift = Qt::ShiftModifier;
    constexpr auto alt = Qt::AltModifier;
    return {
        {L("Outils d'édition vectorielle", "Vector Editing Tools"),
         {
             {keys({QKeyCombination(Qt::Key_V)}),
              L("Outil Sélection / Déplacement / Redimensionnement", "Select / Move / Resize tool")},
             {keys({QKeyCombination(Qt::Key_T)}),
              L("Outil Texte (éditer un texte PDF ou ajouter un texte)", "Text tool (edit PDF text or add text)")},
             {keys({QKeyCombination(Qt::Key_S)}),
              L("Outil Signature (signer à main levée ou apposer)", "Signature tool (freehand or stamp)")},
             {keys({QKeyCombination(Qt::Key_P)}),
              L("Outil Tracé vectoriel libre lissé", "Smooth freehand vector path tool")},
             {keys({QKeyCombination(Qt::Key_R), QKeyCombination(Qt::Key_O)}),
              L("Tracer un Rectangle (R) ou une Ellipse (O)", "Draw Rectangle (R) or Ellipse (O)")},
             {keys({QKeyCombination(Qt::Key_L), QKeyCombination(Qt::Key_K)}),
              L("Tracer une Flèche (L) ou apposer un Tampon (K)", "Draw Arrow (L) or place Stamp (K)")},
             {keys({QKeyCombination(Qt::Key_Delete), QKeyCombination(Qt::Key_Backspace)}),
              L("Supprimer les éléments sélectionnés (ou masquer le texte PDF)",
                "Delete selected elements (or redact PDF text)")},
         }},
        {L("Documents & Multipage", "Documents & Multi-Page"),
         {
             {keys({ctrl | Qt::Key_O, ctrl | Qt::Key_S}),
              L("Ouvrir un SVG/PDF · Enregistrer le document", "Open SVG/PDF · Save document")},
             {keys({ctrl | Qt::Key_E}),
              L("Exporter en PDF multipage, SVG ou PNG", "Export to multi-page PDF, SVG, or PNG")},
             {keys({ctrl | shift | Qt::Key_N}),
              L("Ajouter une nouvelle page au document", "Add a new page to document")},
             {keys({QKeyCombination(Qt::Key_BracketLeft), QKeyCombination(Qt::Key_BracketRight)}),
              L("Aller à la page précédente / suivante", "Previous / Next page")},
             {keys({ctrl | Qt::Key_Z, ctrl | shift | Qt::Key_Z}),
              L("Annuler / Rétablir l'opération", "Undo / Redo operation")},
             {keys({ctrl | Qt::Key_D}), L("Dupliquer la sélection", "Duplicate selection")},
         }},
        {L("Cadrage & Panneaux", "Framing & Panels"),
         {
             {keys({QKeyCombination(Qt::Key_Z)}),
              L("Réinitialiser la vue à 100 % (transition 120 Hz)", "Reset view to 100% (120 Hz transition)")},
             {keys({shift | Qt::Key_Z, QKeyCombination(Qt::Key_F)}),
              L("Cadrer toute la page ou la sélection active", "Fit entire page or active selection")},
             {keys({ctrl | Qt::Key_1, ctrl | Qt::Key_2, ctrl | Qt::Key_3}),
              L("Vue Page unique / Continu multipage / Planche", "Single page / Multi-page scroll / Grid view")},
             {keys({ctrl | alt | Qt::Key_S, ctrl | alt | Qt::Key_I}),
              L("Afficher ou masquer la barre latérale / l'inspecteur", "Show or hide sidebar / inspector")},
             {keys({ctrl | Qt::Key_F}), L("Rechercher un texte ou filtrer les calques", "Search text or filter layers")},
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
    layout->addWidget(horizontalRule());

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
