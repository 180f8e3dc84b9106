#include "sheets/HelpManualContent.h"

#include "Localization.h"
#include "appmodel/CommandShortcuts.h"

namespace zelvane {

namespace {

using Item = HelpManualSection::Item;

QString key(EditorCommand command)
{
    return shortcutText(command);
}

HelpManualSection quickStart()
{
    return {
        L("Démarrage rapide", "Quick Start"),
        L("Ouvrir, modifier, signer et enregistrer un SVG ou un PDF multipage en quelques secondes.",
          "Open, edit, sign, and save a multi-page SVG or PDF in seconds."),
        true,
        {
            {L("Ouvrir ou glisser-déposer un fichier SVG ou PDF (" + key(EditorCommand::openDocument) + ")",
               "Open or drag-and-drop an SVG or PDF file (" + key(EditorCommand::openDocument) + ")"),
             L("Zelvane conserve le rendu vectoriel natif de chaque page PDF tout en extrayant automatiquement les "
               "lignes de texte pour les rendre éditables.",
               "Zelvane preserves the native vector stream of each PDF page while automatically extracting text lines "
               "so they can be edited directly.")},
            {L("Éditer le texte, signer et annoter (V, T, S, R, L, K)", "Edit text, sign, and annotate (V, T, S, R, L, K)"),
             L("Cliquer sur n'importe quelle ligne du PDF pour corriger son texte, cliquer sur « Signer » (S) pour "
               "apposer une signature calligraphique ou tracer à main levée, et ajouter des flèches, cadres ou tampons.",
               "Click any line in the PDF to edit its text, click \"Sign\" (S) to stamp a calligraphic signature or draw "
               "freehand, and add arrows, boxes, or stamps.")},
            {L("Enregistrer en PDF multipage, SVG ou PNG (" + key(EditorCommand::saveDocument) + " / " +
                   key(EditorCommand::saveAsOrExport) + ")",
               "Save as Multi-Page PDF, SVG, or PNG (" + key(EditorCommand::saveDocument) + " / " +
                   key(EditorCommand::saveAsOrExport) + ")"),
             L("L'enregistrement PDF produit un PDF vectoriel multipage propre intégrant toutes les modifications de "
               "texte, signatures et formes.",
               "Saving to PDF produces a clean multi-page vector PDF embedding all text edits, signatures, and vector "
               "shapes.")},
        },
    };
}

HelpManualSection pdfTextEditing()
{
    return {
        L("Édition directe du texte des PDF", "Direct PDF Text Editing"),
        L("Modifier un contrat, une fiche technique ou un plan de feu PDF sans perdre la mise en page.",
          "Update a contract, technical rider, or stage plot PDF without losing its layout."),
        false,
        {
            {L("Détection automatique des lignes de texte PDF", "Automatic PDF text line detection"),
             L("À l'ouverture d'un PDF contenant du texte, chaque ligne est convertie en bloc vectoriel sélectionnable "
               "(encadré pointillé cyan).",
               "When opening a PDF containing text, each line becomes a selectable vector block (dashed cyan frame).")},
            {L("Masquage vectoriel automatique à l'édition", "Automatic vector masking when edited"),
             L("Dès qu'une ligne PDF est modifiée, déplacée ou supprimée, Zelvane masque proprement le glyphe d'origine "
               "sur le flux PDF et trace le nouveau texte vectoriel à la même position.",
               "As soon as a PDF line is edited, moved, or deleted, Zelvane cleanly masks the original glyph on the PDF "
               "stream and renders the new vector text in place.")},
            {L("Restauration en 1 clic", "1-click restore"),
             L("Le bouton « Origine PDF » de la barre flottante restaure à tout moment le texte et la position "
               "d'origine du PDF.",
               "The \"Original PDF\" button in the floating bar restores the original PDF text and position at any "
               "time.")},
        },
    };
}

HelpManualSection signaturesAndStamps()
{
    return {
        L("Signatures calligraphiques & Tampons", "Calligraphic Signatures & Stamps"),
        L("Signer des contrats, fiches de validation et plans de régie en un clic.",
          "Sign contracts, approval sheets, and stage plots in one click."),
        false,
        {
            {L("Dossier Signatures & Tampons (PDF, PNG, JPG, SVG)", "Signatures & Stamps Folders (PDF, PNG, JPG, SVG)"),
             L("Importer des fichiers avec « + Fichier… » ou déposer les fichiers dans "
               "~/.local/share/Zelvane/Signatures et Stamps. Le fond papier blanc d'un scan est détouré "
               "automatiquement.",
               "Import files with \"+ File…\" or drop them into ~/.local/share/Zelvane/Signatures and Stamps. "
               "Scanned white paper backgrounds are removed automatically.")},
            {L("Tracé manuscrit lissé au pavé tactile ou à la souris (S)",
               "Smooth freehand signing with touchpad or mouse (S)"),
             L("Sélectionner l'outil Signature (S) et signer directement sur la feuille : le tracé est lissé en courbes "
               "souples et peut être enregistré dans la bibliothèque.",
               "Select the Signature tool (S) and sign directly on the sheet: the stroke is smoothed and can be saved "
               "to the library.")},
            {L("Tampons vectoriels et rotation libre (-180° … +180°)",
               "Vector stamps and free rotation (-180° … +180°)"),
             L("Apposer un tampon personnalisé ou l'un des cartouches (« BON POUR ACCORD », « SIGNÉ & VALIDÉ », etc.) "
               "et l'orienter librement via la poignée de rotation sur le canevas ou le curseur de l'inspecteur.",
               "Place a custom stamp or built-in badge (\"APPROVED\", \"SIGNED & VERIFIED\", etc.) and rotate it "
               "freely via the canvas rotation handle or inspector slider.")},
        },
    };
}

HelpManualSection multipageAndSVG()
{
    return {
        L("Mode Multipage, SVG & PDF", "Multi-Page Mode, SVG & PDF"),
        L("Gérer des documents d'une ou plusieurs pages en SVG comme en PDF.",
          "Manage single-page or multi-page documents across SVG and PDF."),
        false,
        {
            {L("Vues Page (" + key(EditorCommand::singlePageView) + "), Continu multipage (" +
                   key(EditorCommand::continuousView) + ") et Planche (" + key(EditorCommand::gridView) + ")",
               "Single Page (" + key(EditorCommand::singlePageView) + "), Multi-Page Scroll (" +
                   key(EditorCommand::continuousView) + "), and Grid (" + key(EditorCommand::gridView) + ")"),
             L("Basculer instantanément entre l'édition de précision sur une page et la vue d'ensemble de toutes les "
               "pages du document.",
               "Switch instantly between precision single-page editing and full multi-page overview.")},
            {L("Ajout, duplication, rotation 90° et réorganisation", "Insert, duplicate, rotate 90°, and reorder"),
             L("La barre latérale gauche permet d'ajouter des pages (A4 Portrait/Paysage, 16:9), de les dupliquer, de "
               "les pivoter ou de changer leur ordre.",
               "The left sidebar lets you add pages, duplicate them, rotate them, or change their order.")},
        },
    };
}

HelpManualSection oscAndMCP()
{
    return {
        L("OSC, API HTTP & Serveur MCP", "OSC, HTTP API & MCP Server"),
        L("Automatisation locale sur les ports de la famille Ossel (x = 6).",
          "Local automation on the Ossel family ports (x = 6)."),
        false,
        {
            {L("Serveur OSC UDP (:9160 par défaut)", "OSC UDP Server (:9160 by default)"),
             QStringLiteral("/zelvane/page <1..N>, /zelvane/sign <nom>, /zelvane/stamp <kind>, /zelvane/open <path>, "
                            "/zelvane/export <path>.")},
            {L("API HTTP JSON locale (127.0.0.1:17960/v1)", "Local JSON HTTP API (127.0.0.1:17960/v1)"),
             L("Expose GET /v1/state, GET /v1/pages, GET /v1/help, GET /v1/svg, GET /v1/snapshot.png, POST /v1/open, "
               "POST /v1/text, POST /v1/sign, POST /v1/page, POST /v1/export.",
               "Exposes GET /v1/state, GET /v1/pages, GET /v1/help, GET /v1/svg, GET /v1/snapshot.png, POST /v1/open, "
               "POST /v1/text, POST /v1/sign, POST /v1/page, POST /v1/export.")},
            {L("Serveur MCP embarqué (zelvane-mcp)", "Embedded MCP Server (zelvane-mcp)"),
             L("Expose 9 outils MCP sur stdio pour inspecter, modifier le texte d'un PDF, signer et exporter.",
               "Exposes 9 MCP tools over stdio to inspect, edit PDF text, sign, and export.")},
        },
    };
}

}  // namespace

HelpManualSection helpManualSection(HelpManualSheet::SectionID section)
{
    using SectionID = HelpManualSheet::SectionID;
    switch (section) {
    case SectionID::quickStart:
        return quickStart();
    case SectionID::pdfTextEditing:
        return pdfTextEditing();
    case SectionID::signaturesAndStamps:
        return signaturesAndStamps();
    case SectionID::multipageAndSVG:
        return multipageAndSVG();
    case SectionID::oscAndMCP:
        return oscAndMCP();
    }
    return quickStart();
}

}  // namespace zelvane
