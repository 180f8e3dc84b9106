// Opening files from the window, and the question asked before an edited
// document is replaced.

#include "appmodel/AppModel.h"

#include "CodecError.h"
#include "VectorController.h"

#include <QFileInfo>

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

void AppModel::open(const QUrl& url)
{
    if (!confirmReplacingDocument())
        return;
    try {
        m_controller->openFile(url);
    } catch (const CodecError& error) {
        setAlert(AlertItem::make(openFailureTitle(), error.message()));
        return;
    } catch (const std::exception& error) {
        setAlert(AlertItem::make(openFailureTitle(), QString::fromLocal8Bit(error.what())));
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
        flash(L("Enregistré dans ", "Saved to ") + name);
        return true;
    }
    // Without a file of its own the document needs a place chosen by the
    // user; nothing is replaced when none is chosen.
    return m_saveAsHandler && m_saveAsHandler() && !m_controller->hasUnsavedChanges();
}

bool AppModel::saveDocument(const QUrl& url, const std::optional<ExportFormat>& format)
{
    try {
        m_controller->saveFile(url, format);
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

void AppModel::animateViewport(double zoom, const QSizeF& pan, double durationSeconds)
{
    Q_UNUSED(durationSeconds);
    setZoomScale(zoom);
    setPanOffset(pan);
}

}  // namespace zelvane
