#include "Localization.h"
#include "operations/VectorOperations.h"
#include "export/PDFExport.h"
#include "sample/SampleElements.h"
#include "sample/SyntheticDocument.h"

#include <QUuid>

namespace zelvane::SyntheticDocument {

namespace {

constexpr double kA4Width = 595.28;
constexpr double kA4Height = 841.89;
const QString kInk = QStringLiteral("#111317");

struct Row {
    double y;
    bool bold;
    QString text;
};

void addRows(VectorPage& page, const QList<Row>& rows, double boldSize, double regularSize)
{
    for (const Row& row : rows) {
        page.elements.append(VectorOperations::makeTextElement(row.text, VectorPoint(48, row.y),
                                                               row.bold ? boldSize : regularSize, kInk, row.bold));
    }
}

QString company()
{
    return QString::fromUtf8(sample::kCompanyName);
}

VectorPage makeContractPage()
{
    VectorPage page = VectorPage::make(QUuid::createUuid(), QStringLiteral("Page 1"), kA4Width, kA4Height,
                                       QStringLiteral("#FFFFFF"));
    page.elements.append(sample::makeShape(QStringLiteral("Bandeau en-tête"), VectorShapeType::roundedRectangle, 6,
                                           VectorRect(42, 38, 511, 64),
                                           {kInk, QStringLiteral("#F4F6F9"), 1.4, false}));
    page.elements.append(VectorOperations::makeTextElement(
        company().toUpper() + QStringLiteral(" — FICHE DE VALIDATION TECHNIQUE"), VectorPoint(58, 50), 16, kInk, true));
    page.elements.append(VectorOperations::makeTextElement(
        company() + QStringLiteral(" · Direction technique & régie plateau · ") +
            QString::fromUtf8(sample::kCompanyWebSite),
        VectorPoint(58, 74), 10.5, QStringLiteral("#4B5563"), false));

    addRows(page,
            {
                {132, true, L("1. IDENTIFICATION DU SPECTACLE & DU LIEU", "1. PRODUCTION & VENUE IDENTIFICATION")},
                {158, false,
                 L("Production : Spectacle vivant — Tournée 2026 — ", "Production: Live performance — 2026 Tour — ") +
                     company()},
                {180, false,
                 L("Plateau : Ouverture 14,0 m × Profondeur 12,0 m × Hauteur sous gril 8,5 m",
                   "Stage: Opening 14.0 m × Depth 12.0 m × Grid height 8.5 m")},
                {202, false,
                 L("Statut : En attente de relecture et signature technique",
                   "Status: Awaiting technical review and signature")},
                {246, true,
                 L("2. ÉQUIPEMENT VIDÉO, AUDIO & RÉSEAU DE RÉGIE", "2. VIDEO, AUDIO & SHOW CONTROL NETWORK")},
                {272, false,
                 L("Vidéoprojection : 4 × Laser 12 000 lm en PJLink Classe 2 (192.168.1.21–24)",
                   "Projection: 4 × 12,000 lm Laser PJLink Class 2 (192.168.1.21–24)")},
                {294, false,
                 L("Diffusion sonore : Système multipoints + retour plateau (48 kHz / 24 bits)",
                   "Sound system: Multi-channel PA + stage monitors (48 kHz / 24-bit)")},
                {316, false,
                 L("Synchronisation : ", "Sync: ") + QStringLiteral("OSC UDP (:9160) · ") +
                     QString::fromUtf8(sample::kShowControlPrograms)},
                {360, true, L("3. NOTES MODIFIABLES DIRECTEMENT DANS LE PDF", "3. DIRECTLY EDITABLE PDF NOTES")},
                {386, false,
                 L("Cliquer sur n'importe quelle ligne de ce PDF avec l'outil Texte (T) ou Sélection (V)",
                   "Click any line of this PDF with the Text (T) or Select (V) tool to edit it")},
                {406, false,
                 L("pour corriger une cote, un horaire, une adresse IP ou apposer une signature.",
                   "to update a dimension, schedule, IP address, or place a signature.")},
            },
            12.5, 11);

    page.elements.append(sample::makeShape(QStringLiteral("Cadre schéma plateau"), VectorShapeType::roundedRectangle, 6,
                                           VectorRect(48, 445, 500, 170),
                                           {QStringLiteral("#9CA3AF"), QStringLiteral("#F9FAFB"), 1.2, false}));
    page.elements.append(sample::makeShape(QStringLiteral("Tapis de danse"), VectorShapeType::rectangle, 8,
                                           VectorRect(138, 470, 320, 118),
                                           {QStringLiteral("#1E3A8A"), QStringLiteral("#DBEAFE"), 1.6, false}));
    page.elements.append(VectorOperations::makeTextElement(
        L("AIRE DE JEU — 10,0 m × 8,0 m (Tapis blanc / gris)", "PERFORMANCE AREA — 10.0 m × 8.0 m (White / grey marley)"),
        VectorPoint(168, 520), 10.5, QStringLiteral("#1E3A8A"), true));
    page.elements.append(sample::makeShape(QStringLiteral("Cartouche signature"), VectorShapeType::roundedRectangle, 6,
                                           VectorRect(48, 642, 500, 118),
                                           {QStringLiteral("#D1D5DB"), QStringLiteral("#FFFFFF"), 1.2, true}));
    page.elements.append(VectorOperations::makeTextElement(
        L("VISA & SIGNATURE DIRECTION TECHNIQUE :", "TECHNICAL DIRECTOR VISA & SIGNATURE:"), VectorPoint(62, 654), 10,
        QStringLiteral("#4B5563"), true));
    return page;
}

VectorPage makeAppendixPage()
{
    VectorPage page = VectorPage::make(QUuid::createUuid(), QStringLiteral("Page 2"), kA4Width, kA4Height,
                                       QStringLiteral("#FFFFFF"));
    addRows(page,
            {
                {52, true,
                 L("ANNEXE — PATCH RÉSEAU & CONDUITE D'INSTALLATION", "APPENDIX — NETWORK PATCH & RIGGING SCHEDULE")},
                {96, false,
                 L("Ligne 1 : Pont Face — 2 × Vidéoprojecteurs Cour / Jardin (Optique 0.8:1)",
                   "Line 1: Front Truss — 2 × Projectors Left / Right (0.8:1 Lens)")},
                {120, false,
                 L("Ligne 2 : Pont Contre — 1 × Vidéoprojecteur Cyclo + 2 × Caméras IR",
                   "Line 2: Upstage Truss — 1 × Cyclo Projector + 2 × IR Cameras")},
                {144, false,
                 L("Ligne 3 : Régie Salle — Switch Gigabit VLAN 10 (Art-Net / PJLink / OSC)",
                   "Line 3: FOH Control — Gigabit Switch VLAN 10 (Art-Net / PJLink / OSC)")},
                {184, false,
                 L("Planning : 09h00 Accrochage · 14h00 Focus & Calibrage · 18h00 Filage",
                   "Schedule: 09:00 Rigging · 14:00 Focus & Calibration · 18:00 Run-through")},
                {220, true, L("Responsable régie : Direction Technique", "Stage lead: Technical Direction")},
            },
            13, 11);
    return page;
}

}  // namespace

QByteArray generateSampleRawPDFData()
{
    const VectorDocument sheet =
        VectorDocument::make(QUuid::createUuid(), QStringLiteral("Contrat technique ") + company(),
                             DocumentSourceFormat::pdf, std::nullopt, {makeContractPage(), makeAppendixPage()}, 1);
    return PDFCodec::exportPDF(sheet);
}

}  // namespace zelvane::SyntheticDocument
