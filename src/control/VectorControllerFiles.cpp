// Opening, saving and new documents.

#include "VectorController.h"

#include "CodecError.h"
#include "ControllerFileIO.h"
#include "Localization.h"
#include "export/PDFExport.h"
#include "pdf/PDFCancel.h"
#include "pdf/PDFDrawingDeadline.h"
#include "pdf/PDFImport.h"
#include "render/PageRenderer.h"
#include "export/SVGExport.h"
#include "svg/SVGCodec.h"
#include "ThreadHandOver.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFileInfo>
#include <QRunnable>
#include <QThread>
#include <QThreadPool>
#include <QTimer>

#include <atomic>
#include <memory>
#include <variant>

namespace zelvane {

namespace {

// What a save's writer is handed through Qt's thread pool.
constexpr char kSaveHandOver = 0;

// How long a newer open waits for the import it overtook to end.
constexpr int kOvertakenImportGraceMs = 250;

QString openFailurePrefix()
{
    return L("Ouverture impossible : ", "Open failed: ");
}

QString saveFailurePrefix()
{
    return L("Enregistrement impossible : ", "Save failed: ");
}

CodecError notLocalError(const QUrl& url)
{
    return CodecError(QStringLiteral("Zelvane"), int(ControllerErrorCode::fileUnreadable),
                     L("« %1 » n'est pas un fichier local.", "\"%1\" is not a local file.")
                         .arg(url.toDisplayString()));
}

// Any other failure (memory, for instance) as the editor's own error.
CodecError unexpectedFailure(const QString& fileName, const std::exception& error)
{
    return CodecError(QStringLiteral("Zelvane"), int(ControllerErrorCode::unexpected),
                      L("Échec inattendu avec « %1 » (%2).", "Unexpected failure with \"%1\" (%2).")
                          .arg(fileName, QString::fromLocal8Bit(error.what())));
}

CodecError openCancelledError()
{
    return CodecError(QStringLiteral("Zelvane"), int(ControllerErrorCode::openCancelled),
                      QStringLiteral("open cancelled: the editor is quitting"));
}

QString normalizedPath(const QString& path)
{
    return QDir::cleanPath(QFileInfo(path).absoluteFilePath());
}

}  // namespace

VectorDocument VectorController::blankDocument(PageFormatPreset preset)
{
    const PageSize size = sizePoints(preset);
    const VectorPage page = VectorPage::make(QUuid::createUuid(), QStringLiteral("Page 1"), size.width, size.height,
                                             QStringLiteral("#FFFFFF"));
    return VectorDocument::make(QUuid::createUuid(), L("Sans titre", "Untitled"), DocumentSourceFormat::svg,
                                std::nullopt, {page}, 1);
}

void VectorController::replaceDocument(VectorDocument document, std::optional<CountedDocument> counted)
{
    cancelRunningGesture();
    const qsizetype indexBefore = m_currentPageIndex;
    m_currentPageIndex = 0;
    ++m_replacements;
    // The old document, its saved state, its history and their counts are
    // let go on a worker: freeing a document of thousands of pages takes
    // a while.
    struct Retired {
        VectorDocument document;
        VectorDocument saved;
        VectorDocumentHistory history;
        DocumentTally tally;
    };
    auto retired = std::make_shared<Retired>(Retired{m_document, m_savedDocument, m_history, std::move(m_tally)});
    m_tally = DocumentTally();
    // Known before anyone hears of the new document.
    m_savedDocument = document;
    if (counted) {
        // Of the revision the store below gives the document.
        m_tally = std::move(counted->tally);
        m_countsCache = {m_contentRevision + 1, counted->counts};
    }
    storeDocument(std::move(document), PageIndexFix::none, true);
    m_history.clear();
    letGo(std::move(retired));
    emit historyChanged();
    if (indexBefore != 0)
        emit currentPageIndexChanged();
    setSelection({});
    setLastError(std::nullopt);
}

// ---- Opening ---------------------------------------------------------------------

void VectorController::openFile(const QUrl& url)
{
    if (!url.isLocalFile()) {
        const CodecError error = notLocalError(url);
        reportFailure(openFailurePrefix(), error.message());
        throw error;
    }
    openFileAtPath(url.toLocalFile());
}

void VectorController::openFile(const QString& path)
{
    openFileAtPath(path);
}

VectorDocument VectorController::readDocumentFile(const QString& path, const std::function<void(int, int)>& progress,
                                                  std::shared_ptr<const PDFCancel> cancel, QString* note)
{
    const QFileInfo info(path);
    try {
        const QByteArray data = ControllerFileIO::readRegularFile(path);
        const QString title = info.completeBaseName();
        const QUrl url = QUrl::fromLocalFile(info.absoluteFilePath());
        // The extension or the signature chooses the reader; neither
        // falls back on the other.
        if (info.suffix().toLower() == QLatin1String("pdf") || ControllerFileIO::looksLikePDF(data)) {
            PDFCodec::PDFImportReport report;
            VectorDocument imported = PDFCodec::importPDF(data, title, url, PDFCodec::defaultImportWorkers(),
                                                          progress, std::move(cancel), &report);
            if (note)
                *note = pagesCutShortNote(report.cutShortPages, CutShortUse::read);
            return imported;
        }
        return SVGCodec::importSVG(data, title, url);
    } catch (const CodecError&) {
        throw;
    } catch (const std::exception& error) {
        throw unexpectedFailure(ControllerFileIO::displayName(path), error);
    }
}

void VectorController::openFileAtPath(const QString& path)
{
    VectorDocument opened;
    QString note;
    try {
        opened = readDocumentFile(path, {}, {}, &note);
    } catch (const CodecError& error) {
        reportFailure(openFailurePrefix(), error.message());
        throw;
    }
    putOpenedDocument(std::move(opened), QFileInfo(path).fileName(), std::nullopt, note);
}

void VectorController::letGo(std::shared_ptr<void> held)
{
    if (!m_letGo) {
        m_letGo = std::make_unique<QThreadPool>();
        m_letGo->setMaxThreadCount(1);
    }
    m_letGo->start(handedOver([held = std::move(held)]() mutable { held.reset(); }));
}

void VectorController::putOpenedDocument(VectorDocument opened, const QString& fileName,
                                         std::optional<CountedDocument> counted, const QString& note)
{
    replaceDocument(std::move(opened), std::move(counted));
    // Its first export then draws as fast as the later ones.
    // The old one holds the PDF it drew over open.
    if (m_exportWarmUp)
        letGo(std::shared_ptr<PDFCodec::ExportDrawingWarmUp>(std::move(m_exportWarmUp)));
    if (m_readiesExportOnOpen)
        m_exportWarmUp = PDFCodec::warmUpExportDrawing(m_document);
    const qsizetype pages = m_document.pages.size();
    const QString pageWord = pages >= 2 ? QStringLiteral("pages") : QStringLiteral("page");
    const QString counts = QString::number(pages) + QLatin1Char(' ') + pageWord + QStringLiteral(", ") +
                           QString::number(documentCounts().elements);
    setStatusMessage(L(QStringLiteral("Ouvert : ") + fileName + QStringLiteral(" (") + counts +
                           QStringLiteral(" éléments)"),
                       QStringLiteral("Opened: ") + fileName + QStringLiteral(" (") + counts +
                           QStringLiteral(" elements)")) +
                     (note.isEmpty() ? QString() : QStringLiteral(" \u2014 ") + note));
}

void VectorController::openFileInBackground(const QString& path,
                                            std::function<void(const std::optional<CodecError>&)> done,
                                            OpenSource source)
{
    OpenRequest request{m_nextOpenSerial++, path, std::move(done), source, m_editCount, m_userEditCount};
    const bool wasOpening = isOpening();
    if (!m_importThread) {
        startImport(std::move(request));
    } else {
        // One import at a time: the newest open waits for the running one,
        // which it overtakes, and replaces an older one still waiting.
        if (m_runningOpen) {
            // Its document would be dropped: the import stops now.
            m_importCancel->cancel();
            supersede(*std::exchange(m_runningOpen, std::nullopt));
        }
        if (m_waitingOpen)
            supersede(*std::exchange(m_waitingOpen, std::nullopt));
        m_waitingOpen = std::move(request);
        // A given-up import ends within moments, even inside a page; one
        // held up where nothing stops it (a library call running long) is
        // left to end on its own, and the newest open starts anyway.
        QTimer::singleShot(kOvertakenImportGraceMs, this, [this, overtaken = m_importSerial] {
            if (!m_importThread || m_importSerial != overtaken || !m_waitingOpen)
                return;
            m_openThreads.append(std::exchange(m_importThread, nullptr));
            startImport(*std::exchange(m_waitingOpen, std::nullopt));
        });
    }
    if (!wasOpening)
        emit openingChanged();
}

void VectorController::startImport(OpenRequest request)
{
    const quint64 serial = request.serial;
    const QString path = request.path;
    m_runningOpen = std::move(request);
    // The import runs on its own thread: a web-font download it makes waits
    // there, in that thread's own event loop, never in this one.
    setOpenProgress(std::nullopt);
    // The pages read so far, handed to this thread at most once per turn of
    // its event loop however fast the import goes.
    struct Progress {
        std::atomic<int> pagesRead{0};
        std::atomic<int> pageCount{0};
        std::atomic<bool> posted{false};
    };
    auto shared = std::make_shared<Progress>();
    m_importCancel = std::make_shared<PDFCancel>();
    m_importSerial = serial;
    const auto progress = [this, serial, shared, cancel = m_importCancel](int pagesRead, int pageCount) {
        // Checked between pages (a page being read when the import is
        // cancelled ends at once, unfinished): a cancelled import ends here.
        if (cancel->isCancelled())
            throw openCancelledError();
        shared->pagesRead = pagesRead;
        shared->pageCount = pageCount;
        if (shared->posted.exchange(true))
            return;
        QMetaObject::invokeMethod(
            this,
            handedOver([this, serial, shared] {
                shared->posted = false;
                if (m_runningOpen && m_runningOpen->serial == serial)
                    setOpenProgress(OpenProgress{shared->pagesRead, shared->pageCount});
            }),
            Qt::QueuedConnection);
    };
    m_importThread = QThread::create([this, path, serial, progress, cancel = m_importCancel]() {
        auto outcome = std::make_shared<std::variant<ImportedDocument, CodecError>>(ImportedDocument());
        try {
            ImportedDocument imported;
            imported.document = readDocumentFile(path, progress, cancel, &imported.note);
            // Counted here, so that the window's thread does not walk every
            // element of a large document when it lands.
            imported.counted.counts = imported.counted.tally.count(imported.document.pages);
            *outcome = std::move(imported);
        } catch (const CodecError& error) {
            *outcome = error;
        }
        QMetaObject::invokeMethod(
            this, handedOver([this, path, serial, outcome] { finishImport(serial, path, outcome); }),
            Qt::QueuedConnection);
        // QThread::wait() learns of the end through Qt's own lock, which the
        // thread sanitizer does not see.
        handOverSent(QThread::currentThread());
    });
    QThread* thread = m_importThread;
    thread->setObjectName(QStringLiteral("zelvane-import"));
    // `finished` is sent before the thread has released its thread storage
    // and event dispatcher, so the thread is waited for before it is let go:
    // a thread still tearing down when the process ends would race the
    // program's static data being destroyed.
    connect(thread, &QThread::finished, this, [this, thread] {
        if (!m_openThreads.removeOne(thread))
            return;
        thread->wait();
        handOverTaken(thread);
        delete thread;
    });
    thread->start();
}

void VectorController::cancelOpens()
{
    // Those overtaken already are told so now: no later turn of the event
    // loop may come.
    tellOvertakenOpens();
    if (m_importCancel)
        m_importCancel->cancel();
    for (std::optional<OpenRequest>* open : {&m_runningOpen, &m_waitingOpen}) {
        if (!*open)
            continue;
        const OpenRequest request = *std::exchange(*open, std::nullopt);
        if (request.done)
            request.done(openCancelledError());
    }
    setOpenProgress(std::nullopt);
    if (!isOpening())
        emit openingChanged();
}

bool VectorController::waitForImportThreads(int timeoutMs)
{
    const QDeadlineTimer deadline(timeoutMs);
    if (m_importThread && !m_importThread->wait(deadline))
        return false;
    for (QThread* thread : std::as_const(m_openThreads)) {
        if (!thread->wait(deadline))
            return false;
    }
    return true;
}

void VectorController::supersede(OpenRequest request)
{
    if (!request.done)
        return;
    m_overtakenOpens.push_back(std::move(request.done));
    QMetaObject::invokeMethod(this, &VectorController::tellOvertakenOpens, Qt::QueuedConnection);
}

void VectorController::tellOvertakenOpens()
{
    while (!m_overtakenOpens.empty()) {
        const auto done = std::move(m_overtakenOpens.front());
        m_overtakenOpens.pop_front();
        done(CodecError(QStringLiteral("Zelvane"), int(ControllerErrorCode::openSuperseded),
                        QStringLiteral("superseded by a later open")));
    }
}

void VectorController::finishImport(quint64 serial, const QString& path,
                                    std::shared_ptr<std::variant<ImportedDocument, CodecError>> outcome)
{
    // An import left to end on its own: its open was told when overtaken,
    // and its thread is deleted once it has finished.
    if (serial != m_importSerial)
        return;
    // The thread is done with its work; it is deleted once it has finished.
    setOpenProgress(std::nullopt);
    if (m_importThread)
        m_openThreads.append(std::exchange(m_importThread, nullptr));
    std::optional<OpenRequest> request;
    if (m_runningOpen && m_runningOpen->serial == serial)
        request = std::exchange(m_runningOpen, std::nullopt);
    // The next import starts before this one's document is put in place (or
    // the user is asked about it), so opens never wait on a question.
    if (m_waitingOpen)
        startImport(*std::exchange(m_waitingOpen, std::nullopt));
    // An overtaken open's document is dropped: its request has been told.
    if (request) {
        std::optional<CodecError> failure;
        if (const CodecError* error = std::get_if<CodecError>(outcome.get())) {
            failure = *error;
            reportFailure(openFailurePrefix(), error->message());
        } else if (mayReplaceAfterOpen(*request) && m_runningOpen == std::nullopt && !m_waitingOpen) {
            ImportedDocument& imported = std::get<ImportedDocument>(*outcome);
            putOpenedDocument(std::move(imported.document), QFileInfo(path).fileName(), std::move(imported.counted),
                              imported.note);
        } else if (m_runningOpen || m_waitingOpen) {
            failure = CodecError(QStringLiteral("Zelvane"), int(ControllerErrorCode::openSuperseded),
                                 QStringLiteral("superseded by a later open"));
        } else {
            failure = CodecError(QStringLiteral("Zelvane"), int(ControllerErrorCode::openDeclined),
                                 QStringLiteral("cancelled in the window to keep the edits made meanwhile"));
        }
        outcome.reset();
        if (request->done)
            request->done(failure);
    }
    if (!isOpening())
        emit openingChanged();
}

void VectorController::setOpenProgress(const std::optional<OpenProgress>& progress)
{
    assignAndNotify(m_openProgress, progress, &VectorController::openProgressChanged);
}

bool VectorController::mayReplaceAfterOpen(const OpenRequest& request)
{
    // A window open replaces nothing changed since it began without asking;
    // a remote one asks only about the user's own edits.
    const bool editedMeanwhile = request.source == OpenSource::window ? m_editCount != request.editsAtStart
                                                                      : m_userEditCount != request.userEditsAtStart;
    if (!editedMeanwhile || !hasUnsavedChanges() || !m_replaceQuestion)
        return true;
    return m_replaceQuestion();
}

// ---- Saving ----------------------------------------------------------------------

ExportFormat VectorController::formatForSave(const QString& path, const std::optional<ExportFormat>& format) const
{
    if (format)
        return *format;
    // A PDF document written back over its own file stays a PDF, whatever
    // the file is called.
    if (m_document.sourceFormat == DocumentSourceFormat::pdf && m_document.fileURL &&
        m_document.fileURL->isLocalFile()) {
        const QString ownPath = m_document.fileURL->toLocalFile();
        if (ControllerFileIO::isSameFile(path, ownPath) || normalizedPath(path) == normalizedPath(ownPath))
            return ExportFormat::pdf;
    }
    const QString extension = QFileInfo(path).suffix().toLower();
    if (extension == QLatin1String("pdf"))
        return ExportFormat::pdf;
    if (extension == QLatin1String("png"))
        return ExportFormat::png;
    return ExportFormat::svg;
}

void VectorController::saveFile(const QUrl& url, const std::optional<ExportFormat>& format)
{
    if (!url.isLocalFile()) {
        const CodecError error = notLocalError(url);
        reportFailure(saveFailurePrefix(), error.message());
        throw error;
    }
    saveFileAtPath(url.toLocalFile(), format);
}

void VectorController::saveFile(const QString& path, const std::optional<ExportFormat>& format)
{
    saveFileAtPath(path, format);
}

void VectorController::saveFileAtPath(const QString& path, const std::optional<ExportFormat>& format)
{
    // Saves asked for earlier are written (and recorded) first.
    waitForSaves();
    SaveJob job = makeSaveJob(path, format);
    writeSaveJob(job);
    const std::optional<CodecError> failure = job.failure;
    finishSave(std::move(job));
    if (failure)
        throw *failure;
}

void VectorController::saveFileInBackground(const QString& path, const std::optional<ExportFormat>& format,
                                            std::function<void(const std::optional<CodecError>&)> done)
{
    SaveJob job = makeSaveJob(path, format);
    job.done = std::move(done);
    job.background = true;
    if (!m_saveWriter) {
        m_saveWriter = std::make_unique<QThreadPool>();
        // One writer, so files are written in the order they were asked for.
        m_saveWriter->setMaxThreadCount(1);
    }
    if (m_pendingSaves++ == 0)
        emit savingChanged();
    // Made whole before it is handed over.
    QRunnable* const task = QRunnable::create([this, written = m_writtenSaves, job = std::move(job)]() mutable {
        handOverTaken(&kSaveHandOver);
        writeSaveJob(job);
        {
            const std::lock_guard<std::mutex> locker(written->lock);
            written->jobs.push_back(std::move(job));
        }
        QMetaObject::invokeMethod(this, handedOver([this] { finishWrittenSaves(); }), Qt::QueuedConnection);
    });
    handOverSent(&kSaveHandOver);
    m_saveWriter->start(task);
}

void VectorController::waitForSaves()
{
    if (m_saveWriter)
        m_saveWriter->waitForDone();
    finishWrittenSaves();
}

namespace {

// Whether `url` names another file than the document's own.
bool isAnotherFile(const std::optional<QUrl>& own, const QUrl& url)
{
    return !(own && own->isLocalFile() && url.isLocalFile() &&
             QFileInfo(own->toLocalFile()) == QFileInfo(url.toLocalFile()));
}

}  // namespace

VectorController::SaveJob VectorController::makeSaveJob(const QString& path, const std::optional<ExportFormat>& format)
{
    SaveJob job;
    job.serial = m_nextSaveSerial++;
    job.path = path;
    job.format = formatForSave(path, format);
    // Implicitly shared: the copies cost nothing until the document changes.
    job.document = m_document;
    // A PDF or SVG written to another file becomes the document's own: it
    // carries the name the document takes from it.
    if (job.format != ExportFormat::png && isAnotherFile(m_document.fileURL, QUrl::fromLocalFile(path)))
        job.document.title = QFileInfo(path).completeBaseName();
    if (job.format == ExportFormat::png) {
        job.page = currentPage();
        job.pageIndex = m_currentPageIndex;
    }
    job.replacementsAtStart = m_replacements;
    return job;
}

void VectorController::writeSaveJob(SaveJob& job)
{
    try {
        ControllerFileIO::createParentFolder(job.path);
        switch (job.format) {
        case ExportFormat::pdf: {
            PDFCodec::PDFExportReport exportReport;
            ControllerFileIO::writeFileAtomically(job.path, PDFCodec::exportPDF(job.document, &exportReport));
            job.rasterizedNote = PDFCodec::rasterizedPagesNote(exportReport);
            break;
        }
        case ExportFormat::svg:
            ControllerFileIO::writeFileAtomically(job.path, SVGCodec::exportSVGUtf8(job.document));
            break;
        case ExportFormat::png: {
            bool cutShort = false;
            const std::optional<QByteArray> png = PDFCodec::renderPagePNG(job.page, 2.0, &cutShort);
            if (!png)
                throw CodecError(QStringLiteral("Zelvane"), int(ControllerErrorCode::pngRenderFailed),
                                 L("Impossible de rendre l'image PNG.", "Failed to render PNG image."));
            ControllerFileIO::writeFileAtomically(job.path, *png);
            if (cutShort)
                job.rasterizedNote = pagesCutShortNote({job.pageIndex}, CutShortUse::written);
            break;
        }
        }
    } catch (const CodecError& error) {
        job.failure = error;
    } catch (const std::exception& error) {
        job.failure = unexpectedFailure(ControllerFileIO::displayName(job.path), error);
    }
}

void VectorController::finishWrittenSaves()
{
    for (;;) {
        std::optional<SaveJob> job;
        {
            const std::lock_guard<std::mutex> locker(m_writtenSaves->lock);
            if (m_writtenSaves->jobs.empty())
                break;
            job = std::move(m_writtenSaves->jobs.front());
            m_writtenSaves->jobs.pop_front();
        }
        finishSave(std::move(*job));
    }
}

void VectorController::finishSave(SaveJob job)
{
    if (job.failure) {
        reportFailure(saveFailurePrefix(), job.failure->message());
    } else {
        // The copy written becomes the saved state, unless a later save was
        // recorded already or the document was replaced meanwhile.
        if (job.format != ExportFormat::png && job.serial > m_lastRecordedSave &&
            job.replacementsAtStart == m_replacements) {
            m_lastRecordedSave = job.serial;
            recordSavedFile(job.document, QUrl::fromLocalFile(QFileInfo(job.path).absoluteFilePath()),
                            job.format == ExportFormat::pdf ? DocumentSourceFormat::pdf : DocumentSourceFormat::svg);
        }
        setLastError(std::nullopt);
        const QString name = QFileInfo(job.path).fileName();
        const QString formatName = rawValue(job.format).toUpper();
        QString status =
            L(QStringLiteral("Enregistré : ") + name + QStringLiteral(" (") + formatName + QLatin1Char(')'),
              QStringLiteral("Saved: ") + name + QStringLiteral(" (") + formatName + QLatin1Char(')'));
        m_lastSaveNote = job.rasterizedNote;
        if (!m_lastSaveNote.isEmpty())
            status += QStringLiteral(" \u2014 ") + m_lastSaveNote;
        setStatusMessage(status);
    }
    const bool ended = job.background && --m_pendingSaves == 0;
    if (job.done)
        job.done(job.failure);
    if (ended)
        emit savingChanged();
}

bool VectorController::hasUnsavedChanges() const
{
    // The revision counts edits, not content: an undo back to the saved
    // state is no change.
    VectorDocument saved = m_savedDocument;
    saved.revision = m_document.revision;
    return !(saved == m_document);
}

void VectorController::recordSavedFile(const VectorDocument& written, const QUrl& url, DocumentSourceFormat format)
{
    // A file that becomes the document's own gives it its name (the file
    // name without its extension, as when it is opened); saving again to
    // the same file keeps the title the document has.
    const bool newFile = isAnotherFile(written.fileURL, url);
    const QString title = newFile ? QFileInfo(url.toLocalFile()).completeBaseName() : m_document.title;
    // A gesture running across a save keeps the file in its start document,
    // so cancelling the gesture does not forget where the document lives.
    if (m_gesture) {
        m_gesture->startDocument.fileURL = url;
        m_gesture->startDocument.sourceFormat = format;
        m_gesture->startDocument.title = title;
        if (newFile) {
            m_gesture->startHistory.rehome(url, format);
            m_gesture->startHistory.retitle(title);
        }
    }
    // Steps recorded while the file was written may hold the written state.
    m_history.relocate(written, url, format);
    // Like a rename, the new file and its name are no edit: undo and redo
    // keep them.
    if (newFile) {
        m_history.rehome(url, format);
        m_history.retitle(title);
    }
    VectorDocument saved = written;
    saved.fileURL = url;
    saved.sourceFormat = format;
    saved.title = title;
    m_savedDocument = std::move(saved);
    // The document keeps the edits made while the file was written.
    VectorDocument current = m_document;
    current.fileURL = url;
    current.sourceFormat = format;
    current.title = title;
    m_recordingSave = true;
    storeDocument(std::move(current), PageIndexFix::none);
    m_recordingSave = false;
}

// ---- New documents -----------------------------------------------------------------

void VectorController::createNewDocument(PageFormatPreset preset)
{
    replaceDocument(blankDocument(preset));
    const QString name = rawValue(preset);
    setStatusMessage(L(QStringLiteral("Nouveau document ") + name + QStringLiteral(" créé"),
                       QStringLiteral("New ") + name + QStringLiteral(" document created")));
}

}  // namespace zelvane
