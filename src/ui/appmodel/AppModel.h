#pragma once

#include "ExportFormat.h"
#include "Localization.h"
#include "appmodel/AlertItem.h"
#include "appmodel/CanvasDisplayMode.h"
#include "appmodel/EditorTool.h"
#include "model/PageFormatPreset.h"

#include <QList>
#include <QObject>
#include <QPointer>
#include <QSizeF>
#include <QString>
#include <QStringList>
#include <QUrl>
#include <QUuid>
#include <functional>
#include <optional>

class QVariantAnimation;

namespace zelvane {

class CodecError;
class OsselUpdater;
class RemoteControl;
class VectorController;

// What the user answers when an edited document is about to be replaced.
enum class UnsavedChangesAnswer { save, discard, cancel };

// The state of the editor's user interface: the active tool, how the canvas
// is shown and framed, the side panels and sheets, the status message, the
// pending alert and the recent files. It owns the editing controller, through
// which every view reaches the document, and the update checker. Main thread
// only; every field has a change signal.
class AppModel : public QObject {
    Q_OBJECT
    Q_PROPERTY(bool showSidebar READ showSidebar WRITE setShowSidebar NOTIFY showSidebarChanged)
    Q_PROPERTY(bool showInspector READ showInspector WRITE setShowInspector NOTIFY showInspectorChanged)
    Q_PROPERTY(bool showPDFTextBoxes READ showPDFTextBoxes WRITE setShowPDFTextBoxes NOTIFY showPDFTextBoxesChanged)
    Q_PROPERTY(bool showPageGrid READ showPageGrid WRITE setShowPageGrid NOTIFY showPageGridChanged)
    Q_PROPERTY(double zoomScale READ zoomScale WRITE setZoomScale NOTIFY zoomScaleChanged)
    Q_PROPERTY(QSizeF panOffset READ panOffset WRITE setPanOffset NOTIFY panOffsetChanged)
    Q_PROPERTY(int searchFocusRequest READ searchFocusRequest WRITE setSearchFocusRequest NOTIFY searchFocusRequestChanged)
    Q_PROPERTY(bool showExportSheet READ showExportSheet WRITE setShowExportSheet NOTIFY showExportSheetChanged)
    Q_PROPERTY(bool showNewPageSheet READ showNewPageSheet WRITE setShowNewPageSheet NOTIFY showNewPageSheetChanged)
    Q_PROPERTY(bool showOSCGuide READ showOSCGuide WRITE setShowOSCGuide NOTIFY showOSCGuideChanged)
    Q_PROPERTY(bool showShortcuts READ showShortcuts WRITE setShowShortcuts NOTIFY showShortcutsChanged)
    Q_PROPERTY(bool showHelp READ showHelp WRITE setShowHelp NOTIFY showHelpChanged)
    Q_PROPERTY(bool showAbout READ showAbout WRITE setShowAbout NOTIFY showAboutChanged)
    Q_PROPERTY(bool showUpdater READ showUpdater WRITE setShowUpdater NOTIFY showUpdaterChanged)
    Q_PROPERTY(bool hasOpenSheet READ hasOpenSheet NOTIFY openSheetsChanged)

public:
    // How long a flash message stays in the status bar.
    static constexpr int kFlashMilliseconds = 2800;
    static constexpr int kMaxRecentFiles = 12;
    static constexpr const char* kRecentPathsKey = "net.tarnwick.zelvane.recentPaths";
    // Zoom limits of the zoom steps and the canvas gestures.
    static constexpr double kMinZoom = 0.25;
    static constexpr double kMaxZoom = 6.0;
    // The canvas size assumed until the canvas reports its own, and the
    // margin the canvas keeps around the fitted page.
    static constexpr double kReferencePaneWidth = 820;
    static constexpr double kReferencePaneHeight = 680;
    static constexpr double kCanvasPagePad = 28;

    // startServices: the controller's OSC and HTTP servers, the automatic
    // update check and the key monitor. persistEnabled: the recent files and
    // the controller's saved state are read and written.
    AppModel(bool startServices, bool persistEnabled, QObject* parent = nullptr);
    ~AppModel() override;

    // The "-showPDFTextBoxes" launch argument: the word after it, "0" or
    // "false" in any case hiding the frames and anything else showing them;
    // none when the flag is absent or last.
    static std::optional<bool> showPDFTextBoxesArgument(const QStringList& arguments);

    AppModel(const AppModel&) = delete;
    AppModel& operator=(const AppModel&) = delete;

    bool persistEnabled() const { return m_persistEnabled; }
    bool servicesEnabled() const { return m_servicesEnabled; }
    VectorController& controller() const { return *m_controller; }
    OsselUpdater& updater() const { return *m_updater; }
    // The OSC receiver and HTTP server; none without services.
    RemoteControl* remoteControl() const { return m_remoteControl; }

    // ---- Observable fields ----------------------------------------------------

    const QList<QUrl>& recentURLs() const { return m_recentURLs; }

    AppLanguage language() const { return m_language; }
    // Also makes it the process-wide language, which persists the choice.
    void setLanguage(AppLanguage language);

    EditorTool activeTool() const { return m_activeTool; }
    void setActiveTool(EditorTool tool);
    CanvasDisplayMode displayMode() const { return m_displayMode; }
    void setDisplayMode(CanvasDisplayMode mode);

    bool showSidebar() const { return m_showSidebar; }
    void setShowSidebar(bool show);
    bool showInspector() const { return m_showInspector; }
    void setShowInspector(bool show);
    bool showPDFTextBoxes() const { return m_showPDFTextBoxes; }
    void setShowPDFTextBoxes(bool show);
    bool showPageGrid() const { return m_showPageGrid; }
    void setShowPageGrid(bool show);

    // 1 is the page fitted to the canvas. No limits here: callers keep the
    // values in range.
    double zoomScale() const { return m_zoomScale; }
    void setZoomScale(double scale);
    QSizeF panOffset() const { return m_panOffset; }
    void setPanOffset(const QSizeF& offset);

    // The text open in the inline editor. The editing ends by itself when
    // that text is no longer on the current page (the page was turned, the
    // text deleted, another display mode chosen), so no editor stays open
    // out of sight.
    const std::optional<QUuid>& editingTextElementID() const { return m_editingTextElementID; }
    void setEditingTextElementID(const std::optional<QUuid>& id);

    // Raised by the Search command; the search field takes focus on change.
    int searchFocusRequest() const { return m_searchFocusRequest; }
    void setSearchFocusRequest(int request);

    bool showExportSheet() const { return m_showExportSheet; }
    void setShowExportSheet(bool show);
    ExportFormat exportFormat() const { return m_exportFormat; }
    void setExportFormat(ExportFormat format);
    bool showNewPageSheet() const { return m_showNewPageSheet; }
    void setShowNewPageSheet(bool show);
    bool showOSCGuide() const { return m_showOSCGuide; }
    void setShowOSCGuide(bool show);
    bool showShortcuts() const { return m_showShortcuts; }
    void setShowShortcuts(bool show);
    bool showHelp() const { return m_showHelp; }
    void setShowHelp(bool show);
    bool showAbout() const { return m_showAbout; }
    void setShowAbout(bool show);
    bool showUpdater() const { return m_showUpdater; }
    void setShowUpdater(bool show);
    // True while any sheet flag is up (the new-page flag included).
    bool hasOpenSheet() const;

    // The alert the window shows next; a new one replaces one not yet shown.
    const std::optional<AlertItem>& alert() const { return m_alert; }
    void setAlert(const std::optional<AlertItem>& alert);
    // Clears the alert when it is still the one with this id.
    void dismissAlert(const QUuid& id);

    const std::optional<QString>& flashMessage() const { return m_flashMessage; }
    void setFlashMessage(const std::optional<QString>& message);
    // Shows a status message and clears it after kFlashMilliseconds unless a
    // different message has replaced it meanwhile.
    void flash(const QString& message);

    // ---- Documents --------------------------------------------------------------

    // Opens a file after asking about unsaved changes. Failures become the
    // "Could not open file" alert and leave everything as it was; success
    // closes the inline editor, records the file, resets the view and
    // flashes it. The file is read and imported off the main thread;
    // `finished` runs once the open has ended (also when cancelled, failed or
    // replaced by a newer open, which leaves the window to the newer one).
    // While it runs, openingFileName() names the file. When the document
    // was edited after the open began, the unsaved-changes question is asked
    // again before the opened file replaces it; Cancel keeps the document
    // and drops the opened file.
    void open(const QUrl& url, std::function<void()> finished = {});
    // The file name of the open started here that is still running (the
    // window shows it as busy meanwhile); none otherwise.
    const std::optional<QString>& openingFileName() const { return m_openingFileName; }

    // Replaces the question asked before an edited document is replaced.
    // Without one, nothing is asked and the document is replaced.
    using UnsavedChangesQuestion = std::function<UnsavedChangesAnswer(const QString& documentTitle)>;
    void setUnsavedChangesQuestion(UnsavedChangesQuestion question) { m_unsavedChangesQuestion = std::move(question); }
    // Saves a document that has no file yet (a save panel); true when saved.
    void setSaveAsHandler(std::function<bool()> handler) { m_saveAsHandler = std::move(handler); }
    // True when the document may be replaced: it has no unsaved changes, or
    // the user discards them, or saves successfully. False on Cancel or a
    // failed save (whose alert then waits in alert()).
    bool confirmReplacingDocument();

    // Saves the document through the controller. A failure becomes the
    // "Save Error" alert (false); a PDF or SVG written is recorded as a
    // recent file. Flashing the success is the caller's. The file is written
    // on a worker from a copy of the document while the event loop runs
    // (edits made meanwhile stay unsaved); this returns once it is written.
    bool saveDocument(const QUrl& url, const std::optional<ExportFormat>& format = std::nullopt);
    // Runs the event loop until no save is being written (the window stays
    // live meanwhile).
    void waitForSaves();

    // The File menu's New: asks about unsaved changes, then replaces the
    // document with one blank page of the preset.
    void createNewDocument(PageFormatPreset preset);

    // Asks the controller's environment for a PDF or SVG file and opens it.
    void openDocumentPanel();
    // Save: in place when the document has a file; otherwise, or when that
    // fails (its "Save Error" alert is raised once the panel has closed),
    // through the save panel in the document's own format. True when saved.
    bool saveDocumentDirectOrPanel();
    // Save As / Export: asks the environment where to save in `format`, then
    // saves. On success a PDF or SVG is recorded as recent, the export sheet
    // closes and "Saved: <name>" is flashed. A cancelled panel does nothing;
    // a failure raises "Save Error" and leaves the export sheet open.
    // True when saved.
    bool saveDocumentPanel(ExportFormat format);
    // The file name the save panel proposes: the title without its last
    // extension, then the format's.
    QString proposedSaveName(ExportFormat format) const;
    // Where the open and save panels start: the document's own folder, else
    // the folder a panel last chose from, else the home folder.
    QString panelStartFolder() const;

    // ---- Camera -----------------------------------------------------------------
    // Animated moves of zoomScale and panOffset, eased out; a new move stops
    // the running one and starts from wherever it had got to.

    // Moves the view to a zoom and pan over `durationSeconds`; a target
    // within 0.002 of zoom and 0.5 points of pan is set at once.
    void animateViewport(double zoom, const QSizeF& pan, double durationSeconds);
    bool isCameraAnimating() const;
    // Zoom 1, pan (0, 0), and the "View reset (100%)" message.
    void resetView();
    // Zoom × 1.25 or × 0.8 within kMinZoom..kMaxZoom, pan kept.
    void zoomIn();
    void zoomOut();
    // Frames the selected element drawn on top (zoom 1.25 to 2.6, its centre
    // brought to the pane's centre), or the whole page when nothing is
    // selected. `pane` is the canvas's size; without one, the size the
    // canvas reported.
    void fitSelectionOrPageAnimated(const QSizeF& pane);
    void fitSelectionOrPageAnimated();
    // The single-page canvas reports its size here as it changes.
    QSizeF canvasPaneSize() const { return m_canvasPaneSize; }
    void setCanvasPaneSize(const QSizeF& size);

    // ---- Recent files -------------------------------------------------------------

    void loadRecentURLs();
    // Puts the file (absolute and cleaned) first, drops other entries for
    // it, keeps at most 12 and, when persisting, stores the list.
    void recordRecentURL(const QUrl& url);
    void clearRecentURLs();

    // ---- Keyboard ---------------------------------------------------------------

    void installKeyboardShortcutMonitor();
    bool hasKeyboardShortcutMonitor() const { return m_keyMonitor != nullptr; }
    // Whether a key event's receiver is the editor window's own focus (not a
    // text input, a dialog or a popup). The window installs it; without one
    // single keys do nothing.
    using SingleKeyTargetTest = std::function<bool(QObject* receiver)>;
    void setSingleKeyTargetTest(SingleKeyTargetTest test) { m_singleKeyTargetTest = std::move(test); }
    const SingleKeyTargetTest& singleKeyTargetTest() const { return m_singleKeyTargetTest; }

signals:
    void recentURLsChanged();
    void languageChanged();
    void activeToolChanged();
    void displayModeChanged();
    void showSidebarChanged();
    void showInspectorChanged();
    void showPDFTextBoxesChanged();
    void showPageGridChanged();
    void zoomScaleChanged();
    void panOffsetChanged();
    void editingTextElementIDChanged();
    void searchFocusRequestChanged();
    void showExportSheetChanged();
    void exportFormatChanged();
    void showNewPageSheetChanged();
    void showOSCGuideChanged();
    void showShortcutsChanged();
    void showHelpChanged();
    void showAboutChanged();
    void showUpdaterChanged();
    // Any of the sheet flags changed.
    void openSheetsChanged();
    void alertChanged();
    void flashMessageChanged();
    void openingFileNameChanged();

private:
    template <class T, class U>
    void assignAndNotify(T& field, const U& value, void (AppModel::*changed)())
    {
        if (field == value)
            return;
        field = value;
        emit(this->*changed)();
    }
    void setSheetFlag(bool& field, bool value, void (AppModel::*changed)());
    void endEditingOutOfSight();
    void applyLaunchArguments(const QStringList& arguments);
    void storeRecentPaths();
    bool saveBeforeReplacing();
    // Flashes the message of a finished save and makes it the controller's
    // status message, with the export's note on pages written as pictures.
    void announceSave(QString message);
    // The format a document is saved in when none is chosen: PDF for a PDF
    // source, SVG otherwise.
    ExportFormat documentFormat() const;
    void stopCamera();
    void applyCameraProgress(double eased);
    void finishOpen(const QUrl& url, const std::optional<CodecError>& failure);

    const bool m_persistEnabled;
    const bool m_servicesEnabled;
    VectorController* m_controller = nullptr;
    OsselUpdater* m_updater = nullptr;
    RemoteControl* m_remoteControl = nullptr;

    QList<QUrl> m_recentURLs;
    QString m_lastPanelFolder;
    AppLanguage m_language = AppLanguage::system;
    EditorTool m_activeTool = EditorTool::select;
    CanvasDisplayMode m_displayMode = CanvasDisplayMode::singlePage;
    bool m_showSidebar = true;
    bool m_showInspector = true;
    bool m_showPDFTextBoxes = true;
    bool m_showPageGrid = false;
    double m_zoomScale = 1;
    QSizeF m_panOffset{0, 0};
    std::optional<QUuid> m_editingTextElementID;
    int m_searchFocusRequest = 0;
    bool m_showExportSheet = false;
    ExportFormat m_exportFormat = ExportFormat::pdf;
    bool m_showNewPageSheet = false;
    bool m_showOSCGuide = false;
    bool m_showShortcuts = false;
    bool m_showHelp = false;
    bool m_showAbout = false;
    bool m_showUpdater = false;
    std::optional<AlertItem> m_alert;
    std::optional<QString> m_flashMessage;
    QObject* m_keyMonitor = nullptr;
    SingleKeyTargetTest m_singleKeyTargetTest;
    QVariantAnimation* m_camera = nullptr;
    double m_cameraStartZoom = 1;
    double m_cameraTargetZoom = 1;
    QSizeF m_cameraStartPan;
    QSizeF m_cameraTargetPan;
    QSizeF m_canvasPaneSize{kReferencePaneWidth, kReferencePaneHeight};

    UnsavedChangesQuestion m_unsavedChangesQuestion;
    std::function<bool()> m_saveAsHandler;
    quint64 m_latestOpenSerial = 0;
    std::optional<QString> m_openingFileName;
};

}  // namespace zelvane
