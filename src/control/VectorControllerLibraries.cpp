// The signature and stamp libraries.

#include "VectorController.h"

#include "CodecError.h"
#include "ControllerFileIO.h"
#include "LibraryFolders.h"
#include "Localization.h"
#include "SavedSignatureStore.h"
#include "operations/VectorOperations.h"
#include "render/ArtworkRenderer.h"

#include <QDir>
#include <QFileInfo>

namespace zelvane {

QString VectorController::unreadableFile(const QString& name)
{
    return name + L(" : fichier illisible", ": unreadable file");
}

namespace {

QStringList importNameFilters()
{
    return {L("PDF, images et SVG", "PDF, images and SVG") +
            QStringLiteral(" (*.pdf *.png *.jpg *.jpeg *.gif *.bmp *.tif *.tiff *.heic *.heif *.webp *.ico *.svg)")};
}

QList<SignaturePreset> savedSignaturesOf(const QList<SignaturePreset>& signatures)
{
    QList<SignaturePreset> saved;
    for (const SignaturePreset& preset : signatures) {
        if (!preset.fileURL)
            saved.append(preset);
    }
    return saved;
}

}  // namespace

// ---- Folders and ids ---------------------------------------------------------------

QUrl VectorController::signaturesDirectoryURL()
{
    return QUrl::fromLocalFile(LibraryFolders::signaturesFolder());
}

QUrl VectorController::stampsDirectoryURL()
{
    return QUrl::fromLocalFile(LibraryFolders::stampsFolder());
}

QUuid VectorController::deterministicUUID(const QString& key)
{
    return LibraryFolders::deterministicUUID(key);
}

// ---- Rebuilding ----------------------------------------------------------------------

void VectorController::reloadSignaturesAndStampsFromDisk()
{
    const QString signaturesFolder = LibraryFolders::signaturesFolder();
    const QString stampsFolder = LibraryFolders::stampsFolder();
    QDir().mkpath(signaturesFolder);
    QDir().mkpath(stampsFolder);

    QList<SignaturePreset> signatures;
    for (const LibraryFolders::LibraryFile& file : LibraryFolders::readFolder(signaturesFolder))
        signatures.append(LibraryFolders::signaturePresetFromFile(file));
    signatures.append(savedSignaturesOf(m_signatures));
    m_signatures = signatures;
    emit signaturesChanged();
    const bool activeSignatureKept = std::any_of(m_signatures.cbegin(), m_signatures.cend(), [this](const auto& p) {
        return p.id == m_activeSignaturePresetID;
    });
    if (!activeSignatureKept && !m_signatures.isEmpty())
        setActiveSignaturePresetID(m_signatures.first().id);

    QList<StampPreset> stamps;
    for (const LibraryFolders::LibraryFile& file : LibraryFolders::readFolder(stampsFolder))
        stamps.append(LibraryFolders::stampPresetFromFile(file));
    m_customStamps = stamps;
    emit customStampsChanged();
    if (m_activeCustomStampPresetID) {
        const bool activeStampKept = std::any_of(m_customStamps.cbegin(), m_customStamps.cend(),
                                                 [this](const auto& p) { return p.id == *m_activeCustomStampPresetID; });
        if (!activeStampKept)
            setActiveCustomStampPresetID(m_customStamps.isEmpty() ? std::nullopt
                                                                  : std::optional(m_customStamps.first().id));
    }
}

// ---- The active signature and saved signatures -----------------------------------------

SignaturePreset VectorController::activeSignaturePreset() const
{
    for (const SignaturePreset& preset : m_signatures) {
        if (preset.id == m_activeSignaturePresetID)
            return preset;
    }
    if (!m_signatures.isEmpty())
        return m_signatures.first();
    SignaturePreset fallback;
    fallback.id = QUuid::createUuid();
    fallback.title = L("Signature", "Signature");
    fallback.colorHex = VectorStyle::inkColorHex();
    fallback.strokes = SignaturePreset::calligraphicStrokes(1);
    fallback.removeWhiteBackground = true;
    return fallback;
}

void VectorController::loadSavedSignatures()
{
    const std::unique_ptr<QSettings> settings = m_environment->openSettings();
    if (settings)
        m_signatures = SavedSignatureStore::load(*settings);
}

void VectorController::persistSavedSignatures()
{
    if (!m_persistEnabled)
        return;
    const std::unique_ptr<QSettings> settings = m_environment->openSettings();
    if (settings)
        SavedSignatureStore::save(*settings, savedSignaturesOf(m_signatures));
}

void VectorController::saveCustomSignature(const VectorElement& element)
{
    const auto* payload = std::get_if<SignaturePayload>(&element.kind);
    if (!payload)
        return;
    SignaturePreset preset;
    preset.id = QUuid::createUuid();
    preset.title = payload->signerName.trimmed().isEmpty() ? L("Signature manuscrite", "Handwritten Signature")
                                                           : payload->signerName;
    preset.signerName = payload->signerName;
    preset.caption = payload->caption.value_or(QString());
    preset.colorHex = element.style.strokeColorHex.value_or(VectorStyle::inkColorHex());
    preset.strokes = payload->strokes;
    preset.removeWhiteBackground = true;

    m_signatures.append(preset);
    emit signaturesChanged();
    setActiveSignaturePresetID(preset.id);
    persistSavedSignatures();
    setStatusMessage(L("Signature enregistrée dans la bibliothèque", "Signature saved to library"));
}

// ---- Importing files ----------------------------------------------------------------------

std::pair<QString, std::optional<QString>> VectorController::copyIntoLibrary(const QStringList& paths,
                                                                             const QString& folder)
{
    QDir().mkpath(folder);
    QString lastName;
    std::optional<QString> firstFailure;
    for (const QString& path : paths) {
        const QString name = QFileInfo(path).fileName();
        try {
            // Only artwork that can be drawn joins a library.
            const QByteArray data = ControllerFileIO::readRegularFile(path);
            if (!ArtworkRenderer::canDraw(data, QFileInfo(path).suffix().toLower())) {
                if (!firstFailure)
                    firstFailure = unreadableFile(name);
                continue;
            }
            // Through a temporary file: an earlier copy of the same name stays
            // when this one fails, and a file already in the folder is left alone.
            ControllerFileIO::copyFileAtomically(path, QDir(folder).filePath(name));
        } catch (const CodecError& error) {
            if (!firstFailure)
                firstFailure = error.message();
        }
        lastName = name;
    }
    return {lastName, firstFailure};
}

void VectorController::importSignatureFileInteractive()
{
    const std::optional<QStringList> chosen = m_environment->chooseFiles(
        {L("Importer une signature (PDF, PNG, JPG, SVG…)", "Import a Signature (PDF, PNG, JPG, SVG…)"),
         importNameFilters(), true});
    if (chosen)
        importSignatureFiles(*chosen);
}

void VectorController::importStampFileInteractive()
{
    const std::optional<QStringList> chosen = m_environment->chooseFiles(
        {L("Importer un tampon (PDF, PNG, JPG, SVG…)", "Import a Stamp (PDF, PNG, JPG, SVG…)"), importNameFilters(),
         true});
    if (chosen)
        importStampFiles(*chosen);
}

void VectorController::importSignatureFiles(const QStringList& paths)
{
    const auto [lastName, failure] = copyIntoLibrary(paths, LibraryFolders::signaturesFolder());
    reloadSignaturesAndStampsFromDisk();
    if (paths.isEmpty())
        return;
    const QUuid id = deterministicUUID(QStringLiteral("sig:") + lastName);
    if (std::any_of(m_signatures.cbegin(), m_signatures.cend(), [&id](const auto& p) { return p.id == id; }))
        setActiveSignaturePresetID(id);
    if (!lastName.isEmpty())
        setStatusMessage(L(QStringLiteral("Signature importée : ") + lastName,
                           QStringLiteral("Signature imported: ") + lastName));
    if (failure)
        reportFailure(L("Import impossible : ", "Import failed: "), *failure);
}

void VectorController::importStampFiles(const QStringList& paths)
{
    const auto [lastName, failure] = copyIntoLibrary(paths, LibraryFolders::stampsFolder());
    reloadSignaturesAndStampsFromDisk();
    if (paths.isEmpty())
        return;
    const QUuid id = deterministicUUID(QStringLiteral("stamp:") + lastName);
    for (const StampPreset& preset : m_customStamps) {
        if (preset.id == id) {
            setActiveCustomStampPresetID(id);
            stampCustomStamp(preset);
            break;
        }
    }
    if (failure)
        reportFailure(L("Import impossible : ", "Import failed: "), *failure);
}

// ---- Showing the folders --------------------------------------------------------------------

void VectorController::openLibraryFolder(const QString& folder)
{
    QDir().mkpath(folder);
    m_environment->revealFolder(folder);
}

void VectorController::openSignaturesFolderInFileManager()
{
    openLibraryFolder(LibraryFolders::signaturesFolder());
}

void VectorController::openStampsFolderInFileManager()
{
    openLibraryFolder(LibraryFolders::stampsFolder());
}

// ---- Placing a custom stamp --------------------------------------------------------------------

void VectorController::stampCustomStamp(const StampPreset& preset, const std::optional<VectorPoint>& at)
{
    if (!hasValidCurrentPage())
        return;
    // Artwork that cannot be drawn would place an empty frame.
    if (!preset.assetData.isEmpty() && !ArtworkRenderer::canDraw(preset.assetData, preset.assetExtension)) {
        reportFailure(L("Tampon impossible : ", "Stamp failed: "), unreadableFile(preset.title));
        return;
    }
    const VectorPoint point = at.value_or(defaultPoint(0.3, 0.82));
    const VectorElement element = VectorOperations::makeCustomStampElement(preset, point, -4.0);
    placeElement(element, L(QStringLiteral("Tampon « ") + preset.title + QStringLiteral(" » ajouté"),
                            QStringLiteral("Stamp \"") + preset.title + QStringLiteral("\" added")));
}

}  // namespace zelvane
