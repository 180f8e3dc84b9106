#include "Localization.h"
#include "operations/VectorOperations.h"
#include "sample/SampleElements.h"
#include "sample/SyntheticDocument.h"

#include <QUuid>

namespace zelvane::SyntheticDocument {

namespace {

struct Projector {
    double x;
    QString shortName;
    QString label;
};

}  // namespace

VectorPage makeStagePlotPage()
{
    const QString ink = QStringLiteral("#111317");
    VectorPage page = VectorPage::make(
        QUuid::createUuid(), L("3 · Plan de Feu Plateau (SVG)", "3 · Stage Lighting & Video Plot (SVG)"), 841.89,
        595.28, QStringLiteral("#FFFFFF"));

    page.elements.append(sample::makeShape(L("Cadre de planche A4 Paysage", "A4 Landscape Title Block"),
                                           VectorShapeType::roundedRectangle, 8, VectorRect(28, 28, 785.89, 539.28),
                                           {ink, QStringLiteral("#F8FAFC"), 1.8, false}));
    page.elements.append(sample::makeShape(L("Plateau / Tapis de danse", "Stage / Marley Floor"),
                                           VectorShapeType::rectangle, 8, VectorRect(150, 92, 540, 340),
                                           {QStringLiteral("#1E3A8A"), QStringLiteral("#EFF6FF"), 2, false}));
    page.elements.append(sample::makeShape(L("Cyclorama fond de scène", "Upstage Cyclorama"),
                                           VectorShapeType::roundedRectangle, 3, VectorRect(170, 108, 500, 14),
                                           {QStringLiteral("#0F766E"), QStringLiteral("#99F6E4"), 1.6, false}));

    const QList<Projector> projectors{
        {210, QStringLiteral("VP 1"), L("VP 1 — Jardin (Panasonic PT-RQ25K)", "VP 1 — Stage Left")},
        {396, QStringLiteral("VP 2"), L("VP 2 — Centre (Panasonic PT-RQ25K)", "VP 2 — Center")},
        {582, QStringLiteral("VP 3"), L("VP 3 — Cour (Panasonic PT-RQ25K)", "VP 3 — Stage Right")},
    };
    for (const Projector& projector : projectors) {
        page.elements.append(sample::makeShape(projector.label, VectorShapeType::roundedRectangle, 4,
                                               VectorRect(projector.x, 374, 50, 30),
                                               {QStringLiteral("#B45309"), QStringLiteral("#FFB454"), 1.8, false}));
        page.elements.append(VectorOperations::makeTextElement(projector.shortName, VectorPoint(projector.x + 11, 382),
                                                               10.5, ink, true));
        page.elements.append(sample::makeShape(projector.label + QStringLiteral(" — Faisceau"), VectorShapeType::arrow,
                                               8, VectorRect(projector.x + 22, 140, 12, 228),
                                               {QStringLiteral("#D97706"), std::nullopt, 1.8, true}, true));
    }

    const QString company = QString::fromUtf8(sample::kCompanyName);
    page.elements.append(sample::makeShape(
        L(QStringLiteral("Régie plateau (") + QString::fromUtf8(sample::kShowControlPrograms) + QLatin1Char(')'),
          QStringLiteral("FOH Control Booth")),
        VectorShapeType::roundedRectangle, 6, VectorRect(240, 462, 360, 54),
        {ink, QStringLiteral("#E2E8F0"), 1.6, false}));
    page.elements.append(VectorOperations::makeTextElement(
        L("RÉGIE PLATEAU", "FOH CONTROL") + QStringLiteral(" — ") + company +
            QStringLiteral(" (OSC :9160 · PJLink :4352)"),
        VectorPoint(266, 482), 11, ink, true));
    page.elements.append(VectorOperations::makeStampElement(VectorStampKind::stagePlot, VectorPoint(695, 495)));
    return page;
}

}  // namespace zelvane::SyntheticDocument
