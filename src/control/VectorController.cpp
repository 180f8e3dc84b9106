#include "VectorController.h"

#include "ThreadHandOver.h"
#include "export/PDFExport.h"
#include "pdf/PDFCancel.h"

#include <QThread>
#include <QThreadPool>

#include "Localization.h"

namespace zelvane {

VectorController::VectorController(bool startServices, bool persistEnabled,
                                   std::shared_ptr<ControllerEnvironment> environment, QObject* parent)
    : QObject(parent),
      m_environment(environment ? std::move(environment) : std::make_shared<ControllerEnvironment>()),
      m_document(blankDocument(PageFormatPreset::a4Portrait)),
      m_savedDocument(m_document),
      m_persistEnabled(persistEnabled),
      m_servicesEnabled(startServices)
{
    if (m_persistEnabled)
        loadSavedSignatures();
    m_activeSignaturePresetID = m_signatures.isEmpty() ? QUuid::createUuid() : m_signatures.first().id;
    m_pageRevisions = QList<quint64>(m_document.pages.size(), m_contentRevision);
    reloadSignaturesAndStampsFromDisk();
    m_statusMessage = L("Prêt · Ouvrir un document PDF ou SVG (Ctrl+O) ou dessiner sur la page A4",
                        "Ready · Open a PDF or SVG document (Ctrl+O) or draw on the A4 page");
}

VectorController::~VectorController()
{
    m_exportWarmUp.reset();
    if (m_letGo)
        m_letGo->waitForDone();
    stopRemoteServices();
    // A file being written is finished, never left half-written; its
    // recording is dropped with the object.
    if (m_saveWriter)
        m_saveWriter->waitForDone();
    // What a background open delivers after this is dropped with the object;
    // its import stops at the next page.
    if (m_importCancel)
        m_importCancel->cancel();
    if (m_importThread)
        m_openThreads.append(m_importThread);
    for (QThread* thread : std::as_const(m_openThreads)) {
        thread->wait();
        handOverTaken(thread);  // marked by the import's thread as it ends
        delete thread;
    }
}

void VectorController::setEnvironment(std::shared_ptr<ControllerEnvironment> environment)
{
    m_environment = environment ? std::move(environment) : std::make_shared<ControllerEnvironment>();
}

// ---- State -------------------------------------------------------------------

VectorController::DocumentCounts VectorController::documentCounts() const
{
    if (!m_countsCache || m_countsCache->first != m_contentRevision) {
        m_countsCache = {m_contentRevision, m_tally.count(m_document.pages)};
    }
    return m_countsCache->second;
}

void VectorController::setDocument(const VectorDocument& document)
{
    cancelRunningGesture();
    storeAndClamp(document, m_currentPageIndex);
}

quint64 VectorController::pageRevision(qsizetype index) const
{
    return index >= 0 && index < m_pageRevisions.size() ? m_pageRevisions[index] : 0;
}

void VectorController::setDocumentTitle(const QString& title)
{
    if (m_document.title == title)
        return;
    // Not an edit: every snapshot takes the title, so undo and redo keep
    // it; a running drag keeps going and, should it be cancelled, keeps the
    // new title too.
    m_history.retitle(title);
    if (m_gesture) {
        m_gesture->startDocument.title = title;
        m_gesture->startHistory.retitle(title);
    }
    VectorDocument renamed = m_document;
    renamed.title = title;
    storeDocument(std::move(renamed), PageIndexFix::none);
}

void VectorController::recordUndoSnapshot()
{
    m_history.record(m_document);
    emit historyChanged();
}

// ---- Gestures ------------------------------------------------------------------

quint64 VectorController::beginGesture(const QString& label)
{
    if (m_gesture)
        commitGesture(m_gesture->id);
    m_gesture = Gesture{m_nextGestureID++, label, m_document, m_history, false};
    m_history.record(m_document);
    emit historyChanged();
    return m_gesture->id;
}

bool VectorController::updateGesture(quint64 gesture, const std::function<void(VectorDocument&)>& mutate)
{
    if (!m_gesture || m_gesture->id != gesture)
        return false;
    const qsizetype indexBefore = m_currentPageIndex;
    VectorDocument edited = m_document;
    if (mutate)
        mutate(edited);
    m_gesture->updated = true;
    storeAndClamp(std::move(edited), indexBefore);
    return true;
}

bool VectorController::commitGesture(quint64 gesture)
{
    if (!m_gesture || m_gesture->id != gesture)
        return false;
    const Gesture ended = std::move(*m_gesture);
    m_gesture.reset();
    if (!ended.updated) {
        // Nothing moved: leave no empty undo step behind.
        m_history = ended.startHistory;
        emit historyChanged();
        return true;
    }
    setLastError(std::nullopt);
    if (!ended.label.isEmpty())
        setStatusMessage(ended.label);
    return true;
}

bool VectorController::cancelGesture(quint64 gesture)
{
    if (!m_gesture || m_gesture->id != gesture)
        return false;
    const Gesture ended = std::move(*m_gesture);
    m_gesture.reset();
    m_history = ended.startHistory;
    emit historyChanged();
    if (ended.updated)
        storeAndClamp(ended.startDocument, m_currentPageIndex);
    emit gestureCancelled(ended.id);
    return true;
}

void VectorController::cancelRunningGesture()
{
    if (m_gesture)
        cancelGesture(m_gesture->id);
}

void VectorController::setCurrentPageIndex(qsizetype index)
{
    assignAndNotify(m_currentPageIndex, index, &VectorController::currentPageIndexChanged);
}

void VectorController::setSelection(const QSet<QUuid>& selection)
{
    assignAndNotify(m_selection, selection, &VectorController::selectionChanged);
}

void VectorController::setActiveSignaturePresetID(const QUuid& id)
{
    assignAndNotify(m_activeSignaturePresetID, id, &VectorController::activeSignaturePresetIDChanged);
}

void VectorController::setActiveCustomStampPresetID(const std::optional<QUuid>& id)
{
    assignAndNotify(m_activeCustomStampPresetID, id, &VectorController::activeCustomStampPresetIDChanged);
}

void VectorController::setActiveStampKind(VectorStampKind kind)
{
    assignAndNotify(m_activeStampKind, kind, &VectorController::activeStampKindChanged);
}

void VectorController::setSearchQuery(const QString& query)
{
    assignAndNotify(m_searchQuery, query, &VectorController::searchQueryChanged);
}

void VectorController::setStatusMessage(const QString& message)
{
    assignAndNotify(m_statusMessage, message, &VectorController::statusMessageChanged);
}

void VectorController::setLastError(const std::optional<QString>& error)
{
    assignAndNotify(m_lastError, error, &VectorController::lastErrorChanged);
}

void VectorController::reportFailure(const QString& prefix, const QString& message)
{
    setLastError(message);
    setStatusMessage(prefix + message);
}

void VectorController::storeDocument(VectorDocument document, PageIndexFix fix, bool replaced)
{
    ++m_contentRevision;
    if (!replaced && !m_recordingSave) {
        ++m_editCount;
        if (m_remoteEditDepth == 0)
            ++m_userEditCount;
    }
    const DocumentChange change =
        trackDocumentChange(m_document, document, m_contentRevision, replaced, m_pageRevisions);
    m_document = std::move(document);
    if (fix == PageIndexFix::intoRange)
        clampCurrentPageIndex();
    else if (fix == PageIndexFix::pastEnd && m_currentPageIndex >= m_document.pages.size())
        m_currentPageIndex = m_document.pages.size() - 1;
    emit documentChanged(change);
}

void VectorController::storeAndClamp(VectorDocument document, qsizetype indexBefore)
{
    storeDocument(std::move(document), PageIndexFix::intoRange);
    if (m_currentPageIndex != indexBefore)
        emit currentPageIndexChanged();
}

void VectorController::clampCurrentPageIndex()
{
    const qsizetype count = m_document.pages.size();
    if (m_currentPageIndex < 0 || m_currentPageIndex >= count)
        m_currentPageIndex = std::max<qsizetype>(0, std::min(count - 1, m_currentPageIndex));
}

// ---- The edit path -------------------------------------------------------------

void VectorController::perform(const QString& label, const std::function<void(VectorDocument&)>& mutate)
{
    cancelRunningGesture();
    const qsizetype indexBefore = m_currentPageIndex;
    VectorDocument edited = m_document;
    if (mutate) {
        try {
            mutate(edited);
        } catch (...) {
            m_currentPageIndex = indexBefore;
            throw;
        }
    }
    m_history.record(m_document);
    emit historyChanged();
    storeAndClamp(std::move(edited), indexBefore);
    setLastError(std::nullopt);
    if (!label.isEmpty())
        setStatusMessage(label);
}

void VectorController::undo()
{
    cancelRunningGesture();
    restoreFromHistory(m_history.undo(m_document), L("Annulé", "Undone"));
}

void VectorController::redo()
{
    cancelRunningGesture();
    restoreFromHistory(m_history.redo(m_document), L("Rétabli", "Redone"));
}

void VectorController::restoreFromHistory(std::optional<VectorDocument> snapshot, const QString& status)
{
    if (!snapshot)
        return;
    emit historyChanged();
    const qsizetype before = m_currentPageIndex;
    storeDocument(std::move(*snapshot), PageIndexFix::pastEnd);
    if (m_currentPageIndex != before)
        emit currentPageIndexChanged();
    setStatusMessage(status);
}

// ---- Views of the current page -------------------------------------------------

bool VectorController::hasValidCurrentPage() const
{
    return m_currentPageIndex >= 0 && m_currentPageIndex < m_document.pages.size();
}

const VectorPage& VectorController::currentPage() const
{
    return hasValidCurrentPage() ? m_document.pages.at(m_currentPageIndex) : m_document.pages.first();
}

std::optional<VectorElement> VectorController::primarySelectedElement() const
{
    if (m_selection.isEmpty())
        return std::nullopt;
    const ElementList& elements = currentPage().elements;
    for (auto it = elements.crbegin(); it != elements.crend(); ++it) {
        if (m_selection.contains(it->id))
            return *it;
    }
    return std::nullopt;
}

QList<VectorElement> VectorController::selectedElements() const
{
    QList<VectorElement> result;
    if (m_selection.isEmpty())
        return result;
    for (const VectorElement& element : currentPage().elements) {
        if (m_selection.contains(element.id))
            result.append(element);
    }
    return result;
}

ElementList VectorController::filteredElementsOnCurrentPage() const
{
    const QString query = m_searchQuery.trimmed().toLower();
    const ElementList& elements = currentPage().elements;
    if (query.isEmpty())
        return elements;
    ElementList result;
    for (const VectorElement& element : elements) {
        const TextPayload* text = element.text();
        if (element.name.toLower().contains(query) || element.displayTitle().toLower().contains(query) ||
            (text && text->text.toLower().contains(query)))
            result.append(element);
    }
    return result;
}

// ---- Remote-control services -----------------------------------------------------

void VectorController::attachRemoteServices(std::unique_ptr<RemoteControlServices> services)
{
    stopRemoteServices();
    m_remoteServices = std::move(services);
    if (m_remoteServices && m_servicesEnabled)
        m_remoteServices->start();
}

void VectorController::stopRemoteServices()
{
    if (m_remoteServices)
        m_remoteServices->stop();
}

}  // namespace zelvane
