#include "panels/inspector/SignatureLibrarySection.h"

#include "LibraryFolders.h"
#include "Localization.h"
#include "VectorController.h"
#include "appmodel/AppModel.h"
#include "controls/IconButton.h"
#include "controls/SectionHeader.h"
#include "controls/TextButton.h"
#include "panels/inspector/FolderLine.h"
#include "panels/inspector/LibraryMiniatures.h"
#include "panels/inspector/LibraryRow.h"
#include "panels/inspector/ArtworkThumbnails.h"
#include "theme/Theme.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

namespace zelvane {

SignatureLibrarySection::SignatureLibrarySection(AppModel& model, QWidget* parent) : QWidget(parent), m_model(model)
{
    VectorController& controller = model.controller();
    const QString folder = LibraryFolders::signaturesFolder();

    auto* buttons = new QWidget;
    auto* row = new QHBoxLayout(buttons);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(4);
    m_openFolder = new IconButton(
        QStringLiteral("folder"),
        L(QStringLiteral("Ouvrir ") + FolderLine::homeAbbreviated(folder) + QStringLiteral(" dans le gestionnaire de fichiers"),
          QStringLiteral("Open Signatures folder in the file manager")),
        [&controller] { controller.openSignaturesFolderInFileManager(); });
    m_reload = new IconButton(QStringLiteral("arrow.clockwise"),
                              L("Actualiser le dossier Signatures", "Reload Signatures folder"),
                              [&controller] { controller.reloadSignaturesAndStampsFromDisk(); });
    for (IconButton* button : {m_openFolder, m_reload}) {
        button->setTint(Theme::accent());
        row->addWidget(button);
    }
    m_import = new TextButton(L("+ Fichier…", "+ File…"), [&controller] { controller.importSignatureFileInteractive(); });
    m_import->setCompact(true);
    m_sign = new TextButton(L("Signer", "Sign"), [&controller] { controller.stampActiveSignature(); });
    m_sign->setSymbol(QStringLiteral("signature"));
    m_sign->setProminent(true);
    m_sign->setCompact(true);
    row->addWidget(m_import);
    row->addWidget(m_sign);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(8);
    auto* header = new SectionHeader(L("Signatures", "Signatures"), buttons);
    // The title gives way before the buttons when the panel is narrow.
    header->titleLabel()->setMinimumWidth(1);
    layout->addWidget(header);
    layout->addWidget(new FolderLine(folder));

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

    auto* rows = new QWidget;
    m_rowsLayout = new QVBoxLayout(rows);
    m_rowsLayout->setContentsMargins(0, 0, 0, 0);
    m_rowsLayout->setSpacing(8);
    layout->addWidget(rows);

    connect(&controller, &VectorController::signaturesChanged, this, &SignatureLibrarySection::rebuildRows);
    connect(&controller, &VectorController::activeSignaturePresetIDChanged, this,
            &SignatureLibrarySection::markActive);
    connect(&ArtworkThumbnails::shared(), &ArtworkThumbnails::ready, this, [this] {
        for (LibraryRow* libraryRow : std::as_const(m_rows))
            libraryRow->update();
    });
    rebuildRows();
}

void SignatureLibrarySection::rebuildRows()
{
    for (LibraryRow* row : std::as_const(m_rows)) {
        row->hide();
        m_rowsLayout->removeWidget(row);
        row->deleteLater();
    }
    m_rows.clear();
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
        row->setProperty("presetID", id);
        m_rowsLayout->addWidget(row);
        m_rows.append(row);
    }
    markActive();
}

void SignatureLibrarySection::markActive()
{
    const QUuid active = m_model.controller().activeSignaturePresetID();
    for (LibraryRow* row : std::as_const(m_rows))
        row->setActive(row->property("presetID").toUuid() == active);
}

}  // namespace zelvane
