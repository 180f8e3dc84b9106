#include "sample/SyntheticDocument.h"

#include "Localization.h"
#include "fonts/TextFonts.h"
#include "model/Presets.h"
#include "operations/VectorOperations.h"
#include "pdf/PDFImport.h"
#include "sample/SampleElements.h"

#include <QUuid>

namespace zelvane::SyntheticDocument {

namespace {

SignaturePreset samplePreset(const QString& title, const QString& signerName, const QString& colorHex, qint64 seed)
{
    SignaturePreset preset;
    preset.id = QUuid::createUuid();
    preset.title = title;
    preset.signerName = signerName;
    preset.caption = QString();
    preset.colorHex = colorHex;
    preset.strokes = SignaturePreset::calligraphicStrokes(seed);
    preset.removeWhiteBackground = true;
    return preset;
}

// The awaiting-review status line becomes the approved one, in bold and green.
void approveStatusLine(VectorPage& page)
{
    for (VectorElement& element : page.elements) {
        TextPayload* text = element.text();
        if (!text || !(text->text.contains(QStringLiteral("Statut :")) || text->text.contains(QStringLiteral("Status:")))) {
            continue;
        }
        text->text = L("Statut : VALIDÉ & SIGNÉ POUR EXÉCUTION PLATEAU", "Status: APPROVED & SIGNED FOR STAGE EXECUTION");
        text->isBold = true;
        element.style.fillColorHex = QStringLiteral("#0F766E");
        PDFCodec::updateTextFrameForEditedContent(element);
        return;
    }
}

}  // namespace

VectorDocument makeStageContractAndPlot()
{
    const QString company = QString::fromUtf8(sample::kCompanyName);
    VectorDocument document;
    try {
        const QByteArray data = generateSampleRawPDFData();
        document = PDFCodec::importPDF(data, QStringLiteral("Fiche technique & contrat plateau ") + company,
                                       std::nullopt);
    } catch (const std::exception&) {
        return VectorDocument::make(QUuid::createUuid(), QStringLiteral("Fiche technique & plan de feu ") + company,
                                    DocumentSourceFormat::pdf, std::nullopt, {makeStagePlotPage()}, 1);
    }

    if (!document.pages.isEmpty()) {
        VectorPage& contract = document.pages[0];
        contract.title = L("1 · Contrat & Validation (PDF)", "1 · Contract & Approval (PDF)");
        approveStatusLine(contract);
        const SignaturePreset director = samplePreset(QStringLiteral("Direction Technique"),
                                                      QStringLiteral("Direction Technique"), QStringLiteral("#1E3A8A"), 1);
        contract.elements.append(VectorOperations::makeSignatureElement(director, VectorPoint(420, 695), true));
        contract.elements.append(VectorOperations::makeStampElement(VectorStampKind::approved, VectorPoint(185, 695)));
    }
    if (document.pages.size() >= 2) {
        VectorPage& appendix = document.pages[1];
        appendix.title = L("2 · Patch & Conduite Régie (PDF)", "2 · Patch & Stage Cue Sheet (PDF)");
        const SignaturePreset initials =
            samplePreset(QStringLiteral("Paraphe"), QStringLiteral("R. G."), QStringLiteral("#111317"), 2);
        appendix.elements.append(VectorOperations::makeSignatureElement(initials, VectorPoint(465, 720), true));
    }
    document.pages.append(makeStagePlotPage());
    return document;
}

}  // namespace zelvane::SyntheticDocument
