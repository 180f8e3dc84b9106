#include "appmodel/EditorTool.h"

#include "Localization.h"

namespace zelvane {

QString rawValue(EditorTool tool)
{
    switch (tool) {
    case EditorTool::select: return QStringLiteral("select");
    case EditorTool::text: return QStringLiteral("text");
    case EditorTool::signature: return QStringLiteral("signature");
    case EditorTool::pen: return QStringLiteral("pen");
    case EditorTool::rectangle: return QStringLiteral("rectangle");
    case EditorTool::ellipse: return QStringLiteral("ellipse");
    case EditorTool::arrow: return QStringLiteral("arrow");
    case EditorTool::stamp: return QStringLiteral("stamp");
    }
    return {};
}

QString label(EditorTool tool)
{
    switch (tool) {
    case EditorTool::select: return L("Sélection", "Select");
    case EditorTool::text: return L("Texte", "Text");
    case EditorTool::signature: return L("Signature", "Sign");
    case EditorTool::pen: return L("Tracé", "Draw");
    case EditorTool::rectangle: return L("Cadre", "Box");
    case EditorTool::ellipse: return L("Ellipse", "Ellipse");
    case EditorTool::arrow: return L("Flèche", "Arrow");
    case EditorTool::stamp: return L("Tampon", "Stamp");
    }
    return {};
}

QString helpText(EditorTool tool)
{
    switch (tool) {
    case EditorTool::select:
        return L("Sélectionner, déplacer, redimensionner ou éditer un bloc (V)",
                 "Select, move, resize, or edit a block (V)");
    case EditorTool::text:
        return L("Éditer un texte PDF existant ou ajouter un bloc de texte (T)",
                 "Edit existing PDF text or add a new text block (T)");
    case EditorTool::signature:
        return L("Dessiner une signature manuscrite ou apposer sa signature (S)",
                 "Draw a handwritten signature or stamp a saved signature (S)");
    case EditorTool::pen:
        return L("Dessiner un tracé vectoriel libre lissé (P)", "Draw a smooth freehand vector path (P)");
    case EditorTool::rectangle:
        return L("Tracer un rectangle ou cadre vectoriel (R)", "Draw a vector rectangle or box (R)");
    case EditorTool::ellipse:
        return L("Tracer un cercle ou une ellipse (O)", "Draw a circle or ellipse (O)");
    case EditorTool::arrow:
        return L("Tracer une ligne ou flèche de cote (L)", "Draw a line or dimension arrow (L)");
    case EditorTool::stamp:
        return L("Apposer un tampon (« BON POUR ACCORD », « SIGNÉ »…) (K)", "Place an approval or stage stamp (K)");
    }
    return {};
}

}  // namespace zelvane
