// Opening files from the window, and the question asked before an edited
// document is replaced.

#include "appmodel/AppModel.h"

#include "CodecError.h"
#include "ControllerEnvironment.h"
#include "ControllerFileIO.h"
#include "VectorController.h"

#include <QDir>
#include <QEventLoop>
#include <QFileInfo>
#include <QPointer>

namespace zelvane {

namespace {

QString openFailureTitle()
{
    return L("Impossible d'ouvrir le fichier", "Could not open file");
}

QString saveFailureTitle()
{
    return L("Erreur d'enregistrement", "Save Error");
}

}  // namespace

void AppModel::open(const QUrl& url, std::function<void()> finished)
{
    if (!confirmReplacingDocument()) {
        if (finished)
            finished();
        return;
    }
    if (!url.isLocalFile()) {
        // Refused at once by the controller, with its own message.
        try {
            m_controller->openFile(url);
        } catch (const CodecError& error) {
            setAlert(AlertItem::make(openFailureTitle(), error.message()));
        }
        if (finished)
            finished();
        return;
    }
    // The file is read and imported on a worker while the window keeps
    // running. A newer open replaces a running one: only the latest one
    // started here touches the window when it ends.
    const quint64 serial = ++m_latestOpenSerial;
    assignAndNotify(m_openingFileName, std::optional<QString>(QFileInfo(url.toLocalFile()).fileName()),
                    &AppModel::openingFileNameChanged);
    QPointer<AppModel> self(this);
    m_controller->openFileInBackground(
        url.toLocalFile(),
        [self, url, serial, finished = std::move(finished)](const std::optional<CodecError>& failure) {
            if (self && serial == self->m_latestOpenSerial) {
                self->assignAndNotify(self->m_openingFileName, std::nullopt, &AppModel::openingFileNameChanged);
                self->finishOpen(url, failure);
            }
            if (finished)
                finished();
        },
        VectorController::OpenSource::window);
}

void AppModel::finishOpen(const QUrl& url, const std::optional<CodecError>& failure)
{
    if (failure) {
        // Overtaken by a later open, kept out by the user's Cancel or given
        // up by quitting: the document in the window is the one wanted,
        // nothing failed.
        const bool dropped = failure->domain() == QLatin1String("Zelvane") &&
                             (failure->code() == int(ControllerErrorCode::openSuperseded) ||
                              failure->code() == int(ControllerErrorCode::openDeclined) ||
                              failure->code() == int(ControllerErrorCode::openCancelled));
        if (!dropped)
            setAlert(AlertItem::make(openFailureTitle(), failure->message()));
        return;
    }
    setEditingTextElementID(std::nullopt);
    recordRecentURL(url);
    animateViewport(1, QSizeF(0, 0), 0.22);
    flash(L("Vue réinitialisée (100 %)", "View reset (100%)"));
}

bool AppModel::confirmReplacingDocument()
{
    if (!m_unsavedChangesQuestion || !m_controller->hasUnsavedChanges())
        return true;
    switch (m_unsavedChangesQuestion(m_controller->document().title)) {
    case UnsavedChangesAnswer::discard:
        return true;
    case UnsavedChangesAnswer::cancel:
        return false;
    case UnsavedChangesAnswer::save:
        return saveBeforeReplacing();
    }
    return false;
}

bool AppModel::saveBeforeReplacing()
{
    const std::optional<QUrl> fileURL = m_controller->document().fileURL;
    if (fileURL && fileURL->isLocalFile()) {
        if (!saveDocument(*fileURL))
            return false;
        const QString name = QFileInfo(fileURL->toLocalFile()).fileName();
        announceSave(L("Enregistré dans ", "Saved to ") + name);
        return true;
    }
    // Without a file of its own the document needs a place chosen by the
    // user; nothing is replaced when none is chosen.
    const bool saved = m_saveAsHandler ? m_saveAsHandler() : saveDocumentPanel(documentFormat());
    return saved && !m_controller->hasUnsavedChanges();
}

ExportFormat AppModel::documentFormat() const
{
    return m_controller->document().sourceFormat == DocumentSourceFormat::pdf ? ExportFormat::pdf : ExportFormat::svg;
}

void AppModel::createNewDocument(PageFormatPreset preset)
{
    if (confirmReplacingDocument())
        m_controller->createNewDocument(preset);
}

void AppModel::openDocumentPanel()
{
    FileChoiceRequest request;
    request.title = L("Ouvrir un document SVG ou PDF", "Open SVG or PDF Document");
    // Both kinds together first, so a folder of either shows its files.
    request.nameFilters = {QStringLiteral("PDF, SVG (*.pdf *.svg)"), QStringLiteral("PDF (*.pdf)"),
                           QStringLiteral("SVG (*.svg)"), L("Tous les fichiers (*)", "All files (*)")};
    request.allowsMultipleSelection = false;
    request.startFolder = panelStartFolder();
    const std::optional<QStringList> chosen = m_controller->environment().chooseFiles(request);
    if (!chosen || chosen->isEmpty() || chosen->first().isEmpty())
        return;
    m_lastPanelFolder = QFileInfo(chosen->first()).absolutePath();
    open(QUrl::fromLocalFile(chosen->first()));
}

bool AppModel::saveDocumentDirectOrPanel()
{
    std::optional<AlertItem> inPlaceFailure;
    const std::optional<QUrl> fileURL = m_controller->document().fileURL;
    if (fileURL && fileURL->isLocalFile()) {
        if (saveDocument(*fileURL)) {
            announceSave(L("Enregistré dans ", "Saved to ") + QFileInfo(fileURL->toLocalFile()).fileName());
            return true;
        }
        // The alert waits until the panel offered next has closed, so the
        // window never shows it behind or over the panel.
        inPlaceFailure = m_alert;
        setAlert(std::nullopt);
    }
    const std::optional<AlertItem> before = m_alert;
    const bool saved = saveDocumentPanel(documentFormat());
    // A failure of the panel's own save replaced it already.
    if (inPlaceFailure && m_alert == before)
        setAlert(inPlaceFailure);
    return saved;
}

QString AppModel::proposedSaveName(ExportFormat format) const
{
    const QString& title = m_controller->document().title;
    // Only the last dot-suffix goes; a title without one stays whole.
    const qsizetype dot = title.lastIndexOf(QLatin1Char('.'));
    const QString base = dot > 0 ? title.left(dot) : title;
    return base + QLatin1Char('.') + rawValue(format);
}

QString AppModel::panelStartFolder() const
{
    const std::optional<QUrl>& own = m_controller->document().fileURL;
    if (own && own->isLocalFile()) {
        const QFileInfo folder(QFileInfo(own->toLocalFile()).absolutePath());
        if (folder.isDir())
            return folder.absoluteFilePath();
    }
    if (!m_lastPanelFolder.isEmpty() && QFileInfo(m_lastPanelFolder).isDir())
        return m_lastPanelFolder;
    return QDir::homePath();
}

bool AppModel::saveDocumentPanel(ExportFormat format)
{
    const QString suffix = rawValue(format);
    const QString tag = suffix.toUpper();
    SaveFileRequest request;
    request.title = L("Enregistrer le document (", "Save Document (") + tag + QLatin1Char(')');
    request.proposedName = proposedSaveName(format);
    request.nameFilter = tag + QStringLiteral(" (*.") + suffix + QLatin1Char(')');
    request.suffix = suffix;
    request.startFolder = panelStartFolder();
    const std::optional<QString> chosen = m_controller->environment().chooseSaveFile(request);
    if (!chosen || chosen->isEmpty())
        return false;
    m_lastPanelFolder = QFileInfo(*chosen).absolutePath();
    const QString path = pathWithSuffix(*chosen, suffix);
    if (!saveDocument(QUrl::fromLocalFile(path), format))
        return false;
    setShowExportSheet(false);
    announceSave(L("Enregistré : ", "Saved: ") + QFileInfo(path).fileName());
    return true;
}

bool AppModel::saveDocument(const QUrl& url, const std::optional<ExportFormat>& format)
{
    try {
        if (!url.isLocalFile()) {
            // Refused at once by the controller, with its own message.
            m_controller->saveFile(url, format);
        } else {
            // The file is written on a worker from a copy of the document;
            // the window keeps running (and may be edited) meanwhile.
            std::optional<CodecError> failure;
            m_controller->saveFileInBackground(url.toLocalFile(), format,
                                               [&failure](const std::optional<CodecError>& outcome) {
                                                   failure = outcome;
                                               });
            waitForSaves();
            if (failure)
                throw *failure;
        }
    } catch (const CodecError& error) {
        setAlert(AlertItem::make(saveFailureTitle(), error.message()));
        return false;
    } catch (const std::exception& error) {
        setAlert(AlertItem::make(saveFailureTitle(), QString::fromLocal8Bit(error.what())));
        return false;
    }
    // The controller makes a PDF or SVG file the document's own; a PNG is
    // only a picture of a page.
    const std::optional<QUrl>& own = m_controller->document().fileURL;
    if (own && own->isLocalFile() && QFileInfo(own->toLocalFile()) == QFileInfo(url.toLocalFile()))
        recordRecentURL(url);
    return true;
}

void AppModel::announceSave(QString message)
{
    // The status line and what the remote control reports say the same.
    const QString& note = m_controller->lastSaveNote();
    if (!note.isEmpty())
        message += QStringLiteral(" \u2014 ") + note;
    m_controller->setStatusMessage(message);
    flash(message);
}

void AppModel::waitForSaves()
{
    if (!m_controller->isSaving())
        return;
    QEventLoop writing;
    const QMetaObject::Connection ended =
        connect(m_controller, &VectorController::savingChanged, &writing, [this, &writing] {
            if (!m_controller->isSaving())
                writing.quit();
        });
    writing.exec();
    disconnect(ended);
    // A loop ended from outside (the program quitting) still waits.
    m_controller->waitForSaves();
}

}  // namespace zelvane
