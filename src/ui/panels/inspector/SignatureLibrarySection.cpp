#include "panels/inspector/SignatureLibrarySection.h"

#include "LibraryFolders.h"
#include "Localization.h"
#include "VectorController.h"
#include "appmodel/AppModel.h"
#include "controls/IconButton.h"
#include "controls/TextButton.h"
#include "panels/inspector/LibraryHeader.h"
#include "panels/inspector/LibraryMiniatures.h"
#include "panels/inspector/LibraryRow.h"
#include "panels/inspector/LibraryRowList.h"
#include "theme/Theme.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

namespace zelvane {

SignatureLibrarySection::SignatureLibrarySection(AppModel& model, QWidget* parent) : QWidget(parent), m_model(model)
{
    VectorController& controller = model.controller();
    m_sign = new TextButton(L("Signer", "Sign"), [&controller] { controller.stampActiveSignature(); });
    m_sign->setSymbol(QStringLiteral("signature"));
    m_sign->setProminent(true);
    m_sign->setCompact(true);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(8);
    const LibraryHeader header = LibraryHeader::add(
        *layout, L("Signatures", "Signatures"), LibraryFolders::signaturesFolder(), QStringLiteral("Signatures"),
        [&controller] { controller.openSignaturesFolderInFileManager(); },
        [&controller] { controller.reloadSignaturesAndStampsFromDisk(); },
        [&controller] { controller.importSignatureFileInteractive(); }, m_sign);
    m_openFolder = header.openFolder;
    m_reload = header.reload;
    m_import = header.import;

    m_emptyNote = new QLabel(
        L("Aucune signature enregistrée. Cliquer sur « + Fichier… » pour importer un PDF/PNG/JPG dans le dossier "
          "Signatures, ou tracer une signature à la main avec l'outil Signature (S).",
          "No saved signatures. Click \"+ File…\" to import a PDF/PNG/JPG into the Signatures folder, or draw a "
          "freehand signature with the Signature tool (S)."));
    m_emptyNote->setTextFormat(Qt::PlainText);
    m_emptyNote->setWordWrap(true);
    m_emptyNote->setFont(Theme::font(10.5));
    m_emptyNote->setStyleSheet(QStringLiteral("QLabel { color: %1; background: %2; border-radius: 6px; padding: 8px; }")
                                   .arg(Theme::textDim().name(), Theme::lane().name()));
    layout->addWidget(m_emptyNote);

    m_rows = new LibraryRowList;
    layout->addWidget(m_rows);

    connect(&controller, &VectorController::signaturesChanged, this, &SignatureLibrarySection::rebuildRows);
    connect(&controller, &VectorController::activeSignaturePresetIDChanged, this,
            &SignatureLibrarySection::markActive);
    rebuildRows();
}

void SignatureLibrarySection::rebuildRows()
{
    m_rows->clear();
    VectorController& controller = m_model.controller();
    const QList<SignaturePreset>& presets = controller.signatures();
    m_emptyNote->setVisible(presets.isEmpty());
    for (const SignaturePreset& preset : presets) {
        const QUuid id = preset.id;
        auto* row = new LibraryRow(
            QSize(72, 28),
            [preset](QPainter& painter, const QRectF& tile) { LibraryMiniatures::paintSignature(painter, tile, preset); },
            [&controller, id] { controller.setActiveSignaturePresetID(id); });
        row->setTitle(preset.title);
        row->setSubtitle(preset.fileURL ? L(QStringLiteral("Fichier ") + preset.caption, QStringLiteral("File ") + preset.caption)
                                        : preset.caption,
                         10);
        row->setTrailingSymbols(QStringLiteral("checkmark.circle.fill"), QString());
        m_rows->add(row, id);
    }
    markActive();
}

void SignatureLibrarySection::markActive()
{
    m_rows->markActive(m_model.controller().activeSignaturePresetID());
}

const QList<LibraryRow*>& SignatureLibrarySection::rows() const
{
    return m_rows->rows();
}

}  // namespace zelvane
