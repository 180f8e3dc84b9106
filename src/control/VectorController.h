#pragma once

#include "ControllerEnvironment.h"
#include "DocumentChange.h"
#include "ExportFormat.h"
#include "RemoteControlServices.h"
#include "model/DocumentTally.h"
#include "model/PageFormatPreset.h"
#include "model/Presets.h"
#include "model/VectorDocument.h"
#include "model/VectorDocumentHistory.h"

#include "CodecError.h"

#include <QList>
#include <QObject>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QUrl>
#include <QUuid>
#include <atomic>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <variant>

class QThread;
class QThreadPool;

namespace zelvane {

class PDFCancel;

namespace PDFCodec {
class ExportDrawingWarmUp;
}

// The single owner of the open document. Every discrete edit goes through
// perform(), which keeps a whole-document undo step; the controller also
// keeps the current page, the selection, the status line, the signature and
// stamp libraries and the remote-control services. It lives on the main
// thread; each field has a change signal for the views.
class VectorController : public QObject {
    Q_OBJECT

public:
    static constexpr int kHistoryDepth = 60;

    // Builds an untitled one-page A4 document, reads the saved signatures
    // (only when persistEnabled), rebuilds the libraries from their folders
    // and shows the ready text. With startServices, the remote services are
    // started as soon as they are attached. Without an environment, the
    // default one (no panels, the desktop's file manager, the user settings).
    VectorController(bool startServices, bool persistEnabled,
                     std::shared_ptr<ControllerEnvironment> environment = nullptr, QObject* parent = nullptr);
    ~VectorController() override;

    VectorController(const VectorController&) = delete;
    VectorController& operator=(const VectorController&) = delete;

    // ---- State ---------------------------------------------------------------

    const VectorDocument& document() const { return m_document; }
    // Whether the PDF export's drawing threads were set to be made ready for
    // the open document (a long one) when it was opened.
    bool readiesExportDrawing() const { return m_exportWarmUp != nullptr; }
    // Whether documents opened from now on have the export's drawing
    // threads made ready for them (the default). A caller that only reads
    // what it opens turns it off: readying them loads the document's fonts
    // on every drawing thread, for an export that will not come.
    void setReadiesExportOnOpen(bool readies) { m_readiesExportOnOpen = readies; }
    // Replaces the document outside the history and the status line (the
    // self-test and the snapshot renderer hand documents over this way); a
    // current page past the new last page moves to it. Cancels a gesture.
    void setDocument(const VectorDocument& document);

    // Grows by at least 1 with every store of the document (edits, undo,
    // redo, open, new, save, gesture steps) and never goes back, unlike
    // VectorDocument::revision which undo restores. Views key caches on it.
    quint64 contentRevision() const { return m_contentRevision; }
    // The content revision at which the page at `index` last changed; 0 for
    // an index outside the pages. Stays put while the page is untouched,
    // even when other pages change or the page moves.
    quint64 pageRevision(qsizetype index) const;

    // The document's element counts, counted once per content revision.
    // After an edit only the element blocks it made anew are counted; an
    // opened document is counted on the import's thread.
    using DocumentCounts = DocumentTally::Counts;
    DocumentCounts documentCounts() const;

    const VectorDocumentHistory& history() const { return m_history; }
    bool canUndo() const { return m_history.canUndo(); }
    bool canRedo() const { return m_history.canRedo(); }
    // Records the document as it stands as one undo step. Prefer a gesture
    // (below), which a remote edit cannot overwrite.
    void recordUndoSnapshot();

    // ---- Gestures ------------------------------------------------------------
    // A continuous change (a drag, a slider) as one undo step. beginGesture
    // records the step and returns the gesture's id; updateGesture writes
    // without new steps; commitGesture ends it (a gesture with no update
    // leaves no step); cancelGesture puts back the document and the history
    // as they were before it. Any other store of the document while a gesture
    // runs (an edit, undo, redo, open, new, setDocument, a remote command)
    // first cancels the gesture, so that store is never overwritten by a
    // later step; the owner then sees false from updateGesture and
    // commitGesture, and gestureCancelled is emitted. Beginning a gesture
    // while another runs commits the other first.

    quint64 beginGesture(const QString& label = QString());
    // Applies `mutate` to a copy of the current document and stores it.
    // False (nothing done) when `gesture` is not the running gesture.
    bool updateGesture(quint64 gesture, const std::function<void(VectorDocument&)>& mutate);
    // Shows the label given to beginGesture (when not empty) and clears
    // lastError. False when `gesture` is not the running gesture.
    bool commitGesture(quint64 gesture);
    bool cancelGesture(quint64 gesture);
    // The running gesture's id, or 0.
    quint64 activeGesture() const { return m_gesture ? m_gesture->id : 0; }
    // The document as it was when the running gesture began (for gestures
    // that recompute each step from the start); null without one.
    const VectorDocument* gestureStartDocument() const { return m_gesture ? &m_gesture->startDocument : nullptr; }

    // May be set out of range from outside for a moment; currentPage() then
    // falls back to the first page and the next edit brings it back.
    qsizetype currentPageIndex() const { return m_currentPageIndex; }
    void setCurrentPageIndex(qsizetype index);

    // Element ids; ids that are not on the current page are harmless.
    const QSet<QUuid>& selection() const { return m_selection; }
    void setSelection(const QSet<QUuid>& selection);

    const QList<SignaturePreset>& signatures() const { return m_signatures; }
    QUuid activeSignaturePresetID() const { return m_activeSignaturePresetID; }
    void setActiveSignaturePresetID(const QUuid& id);

    const QList<StampPreset>& customStamps() const { return m_customStamps; }
    std::optional<QUuid> activeCustomStampPresetID() const { return m_activeCustomStampPresetID; }
    void setActiveCustomStampPresetID(const std::optional<QUuid>& id);

    VectorStampKind activeStampKind() const { return m_activeStampKind; }
    void setActiveStampKind(VectorStampKind kind);

    const QString& statusMessage() const { return m_statusMessage; }
    // What the last successful save had to add to its message (the pages it
    // wrote as pictures), empty when nothing.
    const QString& lastSaveNote() const { return m_lastSaveNote; }
    // Shows a text in the status line without any edit (remote page turns).
    void setStatusMessage(const QString& message);
    // The last failure of an open, a save or an import, in the language of
    // the moment it happened; cleared by the next edit, open, save or new
    // document.
    const std::optional<QString>& lastError() const { return m_lastError; }

    const QString& searchQuery() const { return m_searchQuery; }
    void setSearchQuery(const QString& query);

    bool persistEnabled() const { return m_persistEnabled; }
    bool servicesEnabled() const { return m_servicesEnabled; }
    ControllerEnvironment& environment() const { return *m_environment; }
    // Replaces the environment (the window installs its panels); none puts
    // back the default one.
    void setEnvironment(std::shared_ptr<ControllerEnvironment> environment);

    // ---- The edit path -------------------------------------------------------

    // Records an undo step, applies `mutate` to a copy of the document and
    // stores it, brings the current page back into range, clears lastError
    // and, when the label is not empty, shows it in the status line. The
    // mutation may set the current page; the document's revision moves only
    // through the VectorOperations edits it makes. Cancels a gesture first.
    void perform(const QString& label, const std::function<void(VectorDocument&)>& mutate);
    void undo();
    void redo();

    // ---- Views of the current page -------------------------------------------

    // The page at currentPageIndex, or the first page when it is out of range.
    const VectorPage& currentPage() const;
    bool hasValidCurrentPage() const;
    // Of the selected elements on the current page, the one drawn on top.
    std::optional<VectorElement> primarySelectedElement() const;
    // The selected elements of the current page, in page order.
    QList<VectorElement> selectedElements() const;
    // The current page's elements whose name, title or text holds the search
    // query (trimmed, any case); all of them for an empty query (the page's
    // own list, shared).
    ElementList filteredElementsOnCurrentPage() const;

    // ---- Page and element commands -------------------------------------------
    // Each is one undo step with its own status label. A command that does not
    // apply (nothing selected, last page, a move out of range, a current page
    // that does not exist) does nothing at all.

    // Inserted after the current page (appended when it is out of range); the
    // new page becomes current.
    void addBlankPage(PageFormatPreset preset);
    void deleteCurrentPage();
    void duplicateCurrentPage();
    void rotateCurrentPage(bool clockwise);
    void moveCurrentPage(qsizetype offset);
    void deleteSelectedElements();
    void duplicateSelectedElements();
    // Placements select the new element. Without a point or frame they use the
    // default place on the current page.
    void addTextBlock(const QString& text, const std::optional<VectorPoint>& at = std::nullopt);
    // `points`: where a line or an arrow runs in its frame (ShapePayload).
    void addShape(VectorShapeType type, const std::optional<VectorRect>& frame = std::nullopt,
                  const std::optional<QList<VectorPoint>>& points = std::nullopt);
    // Without a kind: the chosen custom stamp when it is still in the
    // library, else a built-in stamp of activeStampKind.
    void stampApprovalBadge(const std::optional<VectorStampKind>& kind = std::nullopt,
                            const std::optional<VectorPoint>& at = std::nullopt);
    void stampActiveSignature(const std::optional<VectorPoint>& at = std::nullopt);
    // ---- Commands shared by the window, OSC, HTTP and the command line -------
    // Each names its page by index and takes the caller's status label (OSC
    // and HTTP show their own, the command line none). Each is one undo step
    // that changes neither the current page nor the selection, and does
    // nothing at all (returning none) for a page that does not exist.

    // A signature preset made from a name and used once (it does not join
    // the library): titled with the name, or "Signature" when it is empty,
    // in the signature ink, with strokes seeded by the name's number of
    // characters (at least 1).
    static SignaturePreset namedSignaturePreset(const QString& signerName);
    // Where a signature goes on a page when no point is given: 68 % of its
    // width, 82 % of its height.
    static VectorPoint defaultSignaturePoint(const VectorPage& page);
    // Signs the page as `signerName` (dated, centred on `at` or the default
    // point). With a stamp kind, that stamp is placed in the same undo step
    // at (max(x - 210, 100), y). Returns the signature's id.
    std::optional<QUuid> signAsName(const QString& signerName, qsizetype pageIndex, const QString& label,
                                    const std::optional<VectorPoint>& at = std::nullopt,
                                    const std::optional<VectorStampKind>& stamp = std::nullopt);
    // A text block in the text colour, not bold, its frame's top left at `at`.
    std::optional<QUuid> addText(const QString& text, qsizetype pageIndex, const VectorPoint& at, double fontSize,
                                 const QString& label);
    // Replaces the whole text of the first text element of the page whose
    // text holds `match` in any letter case; its frame, font and style stay.
    // None (nothing done) when no element matches or `match` is empty.
    std::optional<QUuid> replaceMatchedText(qsizetype pageIndex, const QString& match, const QString& text,
                                            const QString& label);
    // Over every page, replaces the whole text of each text element whose
    // trimmed text equals `oldText`; when none does, of each one that
    // contains it in any letter case. Each changed frame is refitted to its
    // new text. Returns how many changed; none changing (or an empty
    // `oldText`) records nothing.
    qsizetype replaceTextEverywhere(const QString& oldText, const QString& newText, const QString& label);

    // The inspector's page fields: the title (no status text) and a preset size.
    void setCurrentPageTitle(const QString& title);
    // The title of the page with that id, wherever it is now (a draft typed
    // for a page lands on it even when another page became current); nothing
    // for a page that is gone.
    void setPageTitle(const QUuid& pageID, const QString& title);
    // The document's title, taken verbatim: no undo step, no status text, and
    // undo and redo keep it (the title is not part of the edit history).
    void setDocumentTitle(const QString& title);
    // One undo step changing an element of the current page; false (nothing
    // done, no step) when the current page does not exist or does not hold
    // the element.
    bool updateCurrentPageElement(const QUuid& id, const QString& label,
                                  const std::function<void(VectorElement&)>& mutate);
    void setCurrentPageFormat(PageFormatPreset preset);

    // ---- Opening, saving, new documents --------------------------------------
    // Failures throw CodecError (its message in the current language) after
    // putting the message in lastError and the status line; the document, the
    // history, the page and the selection are then as they were.

    // A PDF (by the ".pdf" extension or the "%PDF-" signature) or SVG file.
    // Only regular files up to ControllerFileIO::kMaxReadBytes are read.
    void openFile(const QUrl& url);
    void openFile(const QString& path);
    // Who asked for a background open: the window, or a remote client (OSC,
    // HTTP).
    enum class OpenSource { window, remote };
    // Opens like openFile, but reads and imports the file on a worker thread
    // while the event loop keeps running; the document is put in place on the
    // controller's thread when the import has ended, and edits made meanwhile
    // apply to the document open until then. At most one import runs at a
    // time and at most one open waits for it: a newer open replaces a waiting
    // one and overtakes a running one, whose result is then dropped; the
    // overtaken import stops at once (also inside a page), and should it
    // not have ended within a fraction of a second the newer open starts
    // without it. `done`
    // runs on the controller's thread once with the failure, if any: the
    // read or codec error (also put in lastError and the status line, as
    // openFile does), openSuperseded ("superseded by a later open") for an
    // overtaken open, or openDeclined when the replace question (below) kept
    // the current document.
    void openFileInBackground(const QString& path,
                              std::function<void(const std::optional<CodecError>&)> done = {},
                              OpenSource source = OpenSource::remote);
    // For quitting: the running import stops at once, also inside a page
    // (the controller's destructor then waits only for that), and every
    // background open not ended yet is told at once, before this returns:
    // an overtaken one openSuperseded, the others openCancelled ("open
    // cancelled: the editor is quitting"). The document stays as it is.
    void cancelOpens();
    // Waits at most `timeout` for the import threads to end (the running
    // one and those overtaken or cancelled still ending); true when none
    // runs (any more).
    bool waitForImportThreads(int timeoutMs);
    // An open started by openFileInBackground has not ended yet.
    bool isOpening() const { return m_importThread != nullptr || m_waitingOpen.has_value(); }
    // How far the running import has read its file: pages read of how many.
    // None before the file's pages are known, between imports, and for
    // files read whole (SVG).
    struct OpenProgress {
        int pagesRead = 0;
        int pageCount = 0;
        bool operator==(const OpenProgress&) const = default;
    };
    const std::optional<OpenProgress>& openProgress() const { return m_openProgress; }
    // Asked before an opened document replaces a document with unsaved
    // changes that were made after the open began: by anyone for a window
    // open, by the user (not OSC or HTTP) for a remote one. True lets the
    // opened document replace it; false keeps it and drops the opened one.
    // Without a question the opened document replaces it.
    void setReplaceQuestion(std::function<bool()> question) { m_replaceQuestion = std::move(question); }

    // Marks the stores made during its life as remote edits (OSC, HTTP),
    // which never stop a remote open from replacing the document.
    class RemoteEditScope {
    public:
        explicit RemoteEditScope(VectorController& controller) : m_controller(controller)
        {
            ++m_controller.m_remoteEditDepth;
        }
        ~RemoteEditScope() { --m_controller.m_remoteEditDepth; }
        RemoteEditScope(const RemoteEditScope&) = delete;
        RemoteEditScope& operator=(const RemoteEditScope&) = delete;

    private:
        VectorController& m_controller;
    };

    // Without a format: ".pdf" gives PDF, ".png" PNG and anything else SVG,
    // except that saving a PDF document over its own file writes PDF.
    // PDF and SVG saves record the file and format in the document; PNG
    // writes the current page at two pixels per point and changes nothing.
    // Writes on the calling thread, after any background save still running
    // (saves write in the order they were asked for).
    void saveFile(const QUrl& url, const std::optional<ExportFormat>& format = std::nullopt);
    void saveFile(const QString& path, const std::optional<ExportFormat>& format = std::nullopt);
    // Saves like saveFile, but writes on a worker from a copy of the document
    // (and, for PNG, of the current page) as it is now, while the event loop
    // keeps running. Saves write one at a time, in the order they were
    // asked for. When the file is written, on the controller's thread, the
    // copy written (not the document as it stands then) becomes the saved
    // state, so edits made meanwhile stay unsaved; a document replaced
    // meanwhile (an open, a new document) is left as it is. `done` runs then,
    // once, with the failure if any (also put in lastError and the status
    // line, as saveFile does); never inside this call.
    void saveFileInBackground(const QString& path, const std::optional<ExportFormat>& format = std::nullopt,
                              std::function<void(const std::optional<CodecError>&)> done = {});
    // A save started by saveFileInBackground has not ended yet.
    bool isSaving() const { return m_pendingSaves > 0; }
    // Blocks until every background save has been written and recorded
    // (their `done` run).
    void waitForSaves();
    // One blank page of the preset's size; clears the history.
    void createNewDocument(PageFormatPreset preset);
    // True when the document differs from what it was when it was opened,
    // created or last saved as PDF or SVG (undoing back to it counts as no
    // change).
    bool hasUnsavedChanges() const;

    // ---- Signature and stamp libraries ---------------------------------------

    // The XDG data folder followed by Zelvane/Signatures or Zelvane/Stamps;
    // not created by asking.
    static QUrl signaturesDirectoryURL();
    static QUrl stampsDirectoryURL();
    // The id of a folder entry, from "sig:" or "stamp:" and its file name.
    static QUuid deterministicUUID(const QString& key);

    // Rebuilds both libraries from their folders (saved signatures stay after
    // the folder entries) and keeps the chosen entries valid.
    void reloadSignaturesAndStampsFromDisk();
    // The chosen signature, else the first one, else a generated stand-in.
    SignaturePreset activeSignaturePreset() const;
    // Adds a library entry from a signature element (its ink only) and, when
    // persistEnabled, stores the saved signatures in the user settings.
    void saveCustomSignature(const VectorElement& element);
    // Asks the environment for files, then imports them as below.
    void importSignatureFileInteractive();
    void importStampFileInteractive();
    // Copies the files into the library folder (same names, replacing), then
    // rebuilds; the last one becomes the active signature, or is placed on
    // the current page as a stamp.
    void importSignatureFiles(const QStringList& paths);
    void importStampFiles(const QStringList& paths);
    // Creates the folder when missing and asks the file manager to show it.
    void openSignaturesFolderInFileManager();
    void openStampsFolderInFileManager();
    // Places the preset's image on the current page, tilted by -4 degrees.
    void stampCustomStamp(const StampPreset& preset, const std::optional<VectorPoint>& at = std::nullopt);

    // ---- Remote-control services ---------------------------------------------

    // Takes the OSC receiver and HTTP server; starts them at once when the
    // controller was made with services on. A previous set is stopped first.
    void attachRemoteServices(std::unique_ptr<RemoteControlServices> services);
    RemoteControlServices* remoteServices() const { return m_remoteServices.get(); }
    void stopRemoteServices();

signals:
    // After every store of the document, with what changed.
    void documentChanged(const zelvane::DocumentChange& change);
    // A running gesture was cancelled (by its owner or by another store).
    void gestureCancelled(quint64 gesture);
    void historyChanged();
    void currentPageIndexChanged();
    void selectionChanged();
    void signaturesChanged();
    void activeSignaturePresetIDChanged();
    void customStampsChanged();
    void activeCustomStampPresetIDChanged();
    void activeStampKindChanged();
    void statusMessageChanged();
    void lastErrorChanged();
    void searchQueryChanged();
    // isOpening() changed.
    void openingChanged();
    // openProgress() changed.
    void openProgressChanged();
    // isSaving() changed.
    void savingChanged();

private:
    // Makes an undone or redone document the current one.
    void restoreFromHistory(std::optional<VectorDocument> snapshot, const QString& status);

    // Stores `value` and emits `changed` when it differs from what was there.
    template <class T, class U>
    void assignAndNotify(T& field, const U& value, void (VectorController::*changed)())
    {
        if (field == value)
            return;
        field = value;
        emit(this->*changed)();
    }

    void setLastError(const std::optional<QString>& error);
    void reportFailure(const QString& prefix, const QString& message);
    // "name: unreadable file", for library artwork that cannot be drawn.
    static QString unreadableFile(const QString& name);
    // How the current page is brought back among the pages of a stored
    // document, before documentChanged is emitted: not at all, only from
    // past the last page, or from either side.
    enum class PageIndexFix { none, pastEnd, intoRange };
    // The one place the document is stored: moves the content and page
    // revisions, fixes the current page and emits documentChanged. Callers
    // emit currentPageIndexChanged themselves.
    void storeDocument(VectorDocument document, PageIndexFix fix, bool replaced = false);
    // Cancels the running gesture, if any, before another store.
    void cancelRunningGesture();
    // Stores a document and brings the current page into range.
    void storeAndClamp(VectorDocument document, qsizetype indexBefore);
    void clampCurrentPageIndex();
    static VectorDocument blankDocument(PageFormatPreset preset);
    // Puts an opened or new document in place of the old one: no undo step,
    // the history cleared, the first page current, nothing selected.
    // `counted`, when given, is the new document's tally and its counts.
    // What the old document held is let go on a worker.
    struct CountedDocument {
        DocumentTally tally;
        DocumentCounts counts;
    };
    void replaceDocument(VectorDocument document, std::optional<CountedDocument> counted = std::nullopt);
    // Notes where a save wrote the document (no undo step): `written`, with
    // that file and format, becomes the saved state.
    void recordSavedFile(const VectorDocument& written, const QUrl& url, DocumentSourceFormat format);
    void placeElement(const VectorElement& element, const QString& label);
    VectorPoint defaultPoint(double widthFraction, double heightFraction) const;
    bool isPageIndex(qsizetype index) const { return index >= 0 && index < m_document.pages.size(); }

    void openFileAtPath(const QString& path);
    // Reads and imports a file; any thread. Throws CodecError. `progress`
    // hears of each PDF page read, on the calling thread. `note` is set to
    // what the status line adds of the import ("" for nothing).
    static VectorDocument readDocumentFile(const QString& path,
                                           const std::function<void(int, int)>& progress = {},
                                           std::shared_ptr<const PDFCancel> cancel = {}, QString* note = nullptr);
    void setOpenProgress(const std::optional<OpenProgress>& progress);
    // Puts an opened document in place with its status message, and the
    // import's `note` after it.
    void putOpenedDocument(VectorDocument opened, const QString& fileName,
                           std::optional<CountedDocument> counted = std::nullopt, const QString& note = {});
    // An imported document with its counts, made on the import's thread.
    struct ImportedDocument {
        VectorDocument document;
        CountedDocument counted;
        QString note;
    };
    void saveFileAtPath(const QString& path, const std::optional<ExportFormat>& format);
    // One save: what to write, where, and what came of it.
    struct SaveJob {
        quint64 serial = 0;
        QString path;
        ExportFormat format = ExportFormat::svg;
        VectorDocument document;
        VectorPage page;
        qsizetype pageIndex = 0;
        quint64 replacementsAtStart = 0;
        std::function<void(const std::optional<CodecError>&)> done;
        bool background = false;
        std::optional<CodecError> failure;
        QString rasterizedNote;
    };
    SaveJob makeSaveJob(const QString& path, const std::optional<ExportFormat>& format);
    // Encodes and writes the job's file; any thread. Sets the job's failure.
    static void writeSaveJob(SaveJob& job);
    // Records a written job (or reports its failure) and runs its `done`.
    void finishSave(SaveJob job);
    // Finishes, in order, the background saves whose files are written.
    void finishWrittenSaves();
    ExportFormat formatForSave(const QString& path, const std::optional<ExportFormat>& format) const;

    void loadSavedSignatures();
    void persistSavedSignatures();
    void openLibraryFolder(const QString& folder);
    // Copies the files into the folder; returns the last name and the first
    // failure, if any.
    std::pair<QString, std::optional<QString>> copyIntoLibrary(const QStringList& paths, const QString& folder);

    std::shared_ptr<ControllerEnvironment> m_environment;
    VectorDocument m_document;
    // The document as it was last opened, created or saved.
    VectorDocument m_savedDocument;
    VectorDocumentHistory m_history{kHistoryDepth};
    qsizetype m_currentPageIndex = 0;
    QSet<QUuid> m_selection;
    QList<SignaturePreset> m_signatures;
    QUuid m_activeSignaturePresetID;
    QList<StampPreset> m_customStamps;
    std::optional<QUuid> m_activeCustomStampPresetID;
    VectorStampKind m_activeStampKind = VectorStampKind::approved;
    QString m_statusMessage;
    std::optional<QString> m_lastError;
    QString m_searchQuery;
    const bool m_persistEnabled;
    const bool m_servicesEnabled;
    std::unique_ptr<RemoteControlServices> m_remoteServices;

    struct Gesture {
        quint64 id = 0;
        QString label;
        VectorDocument startDocument;
        VectorDocumentHistory startHistory;
        bool updated = false;
    };
    std::optional<Gesture> m_gesture;
    quint64 m_nextGestureID = 1;
    quint64 m_contentRevision = 1;
    mutable std::optional<std::pair<quint64, DocumentCounts>> m_countsCache;
    mutable DocumentTally m_tally;
    // A background open: what to read, whom to tell, and the edit counts
    // when it began.
    struct OpenRequest {
        quint64 serial = 0;
        QString path;
        std::function<void(const std::optional<CodecError>&)> done;
        OpenSource source = OpenSource::remote;
        quint64 editsAtStart = 0;
        quint64 userEditsAtStart = 0;
    };
    void startImport(OpenRequest request);
    // Tells a request that a later open overtook it (on a later turn of the
    // event loop, so that callers never see their callback inside their call).
    void supersede(OpenRequest request);
    void tellOvertakenOpens();
    // The callers of overtaken opens, waiting to be told.
    std::deque<std::function<void(const std::optional<CodecError>&)>> m_overtakenOpens;
    void finishImport(quint64 serial, const QString& path,
                      std::shared_ptr<std::variant<ImportedDocument, CodecError>> outcome);
    bool mayReplaceAfterOpen(const OpenRequest& request);
    // The import thread (at most one), the request it serves (none once
    // overtaken), and the open waiting for it.
    QThread* m_importThread = nullptr;
    // Set to stop the running import (at once, also inside a page).
    std::shared_ptr<PDFCancel> m_importCancel;
    // The open the import thread serves (also once overtaken).
    quint64 m_importSerial = 0;
    std::optional<OpenProgress> m_openProgress;
    std::optional<OpenRequest> m_runningOpen;
    std::optional<OpenRequest> m_waitingOpen;
    // Threads that ended their work but may not have finished yet.
    QList<QThread*> m_openThreads;
    quint64 m_nextOpenSerial = 1;
    std::function<bool()> m_replaceQuestion;
    // Stores that edited the document (not opens, new documents or saves),
    // all of them and those made outside a remote edit.
    quint64 m_editCount = 0;
    quint64 m_userEditCount = 0;
    int m_remoteEditDepth = 0;
    bool m_recordingSave = false;
    // Background saves: the one worker that writes them in order, the jobs
    // it has written and not yet finished, and how many have not ended.
    struct WrittenSaves {
        std::mutex lock;
        std::deque<SaveJob> jobs;
    };
    std::shared_ptr<WrittenSaves> m_writtenSaves = std::make_shared<WrittenSaves>();
    std::unique_ptr<QThreadPool> m_saveWriter;
    // The PDF export's drawing threads made ready for the document opened last.
    std::unique_ptr<PDFCodec::ExportDrawingWarmUp> m_exportWarmUp;
    // Lets go of what a replaced document held (its elements, history,
    // counts and export warm-up) on a worker, which this waits for when it
    // goes.
    void letGo(std::shared_ptr<void> held);
    std::unique_ptr<QThreadPool> m_letGo;
    bool m_readiesExportOnOpen = true;
    int m_pendingSaves = 0;
    quint64 m_nextSaveSerial = 1;
    // The serial of the last save recorded as the saved state: a save asked
    // for earlier never overrides it.
    quint64 m_lastRecordedSave = 0;
    QString m_lastSaveNote;
    // Grows with every document put in place by an open or a new document.
    quint64 m_replacements = 0;
    // One per page of m_document, in the same order.
    QList<quint64> m_pageRevisions;
};

}  // namespace zelvane
