#include "appmodel/AppModel.h"

#include "AppVersion.h"
#include "ProcessArguments.h"
#include "VectorController.h"
#include "appmodel/KeyboardShortcutMonitor.h"
#include "appmodel/QtTranslations.h"
#include "remote/RemoteControl.h"
#include "update/OsselUpdater.h"

#include <QCoreApplication>
#include <QPointer>
#include <QTimer>

namespace zelvane {

AppModel::AppModel(bool startServices, bool persistEnabled, QObject* parent)
    : QObject(parent), m_persistEnabled(persistEnabled), m_servicesEnabled(startServices)
{
    // Read once: a change made elsewhere later does not flow back.
    m_language = Localization::current();
    QtTranslations::apply(resolvedCode(m_language));

    m_controller = new VectorController(startServices, persistEnabled, nullptr, this);
    // An opened file about to replace edits made while it was read asks
    // first, as any other replacement of an edited document does.
    m_controller->setReplaceQuestion([this] { return confirmReplacingDocument(); });
    connect(m_controller, &VectorController::currentPageIndexChanged, this, &AppModel::endEditingOutOfSight);
    connect(m_controller, &VectorController::documentChanged, this, &AppModel::endEditingOutOfSight);
    connect(this, &AppModel::displayModeChanged, this, &AppModel::endEditingOutOfSight);
    if (startServices) {
        auto services = std::make_unique<RemoteControl>(*m_controller);
        m_remoteControl = services.get();
        m_controller->attachRemoteServices(std::move(services));
    }
    m_updater = new OsselUpdater(QStringLiteral("Zelvane"), QStringLiteral("net.tarnwick.zelvane"),
                                 QStringLiteral("tarnwick/Zelvane"), AppVersion::current().version, std::nullopt,
                                 startServices, this);
    // Relaunching into an update replaces the document as an open would.
    m_updater->setRelaunchConfirmation([this] { return confirmReplacingDocument(); });

    if (m_persistEnabled)
        loadRecentURLs();
    if (const std::optional<bool> shown = showPDFTextBoxesArgument(processArguments()))
        setShowPDFTextBoxes(*shown);
    if (startServices)
        installKeyboardShortcutMonitor();
}

AppModel::~AppModel()
{
    // The servers hand work to the controller: stop them before it goes.
    if (m_controller)
        m_controller->stopRemoteServices();
}

std::optional<bool> AppModel::showPDFTextBoxesArgument(const QStringList& arguments)
{
    const qsizetype at = arguments.indexOf(QStringLiteral("-showPDFTextBoxes"));
    if (at < 0 || at + 1 >= arguments.size())
        return std::nullopt;
    const QString& next = arguments.at(at + 1);
    return !(next == QLatin1String("0") || next.toLower() == QLatin1String("false"));
}

// ---- Observable fields ---------------------------------------------------------

void AppModel::setLanguage(AppLanguage language)
{
    const bool changed = m_language != language;
    m_language = language;
    Localization::setCurrent(language);
    // Before the views rebuild, so Qt's own texts come back in the new
    // language with them.
    QtTranslations::apply(resolvedCode(language));
    if (changed)
        emit languageChanged();
}

void AppModel::setActiveTool(EditorTool tool)
{
    assignAndNotify(m_activeTool, tool, &AppModel::activeToolChanged);
}

void AppModel::setDisplayMode(CanvasDisplayMode mode)
{
    assignAndNotify(m_displayMode, mode, &AppModel::displayModeChanged);
}

void AppModel::setShowSidebar(bool show)
{
    assignAndNotify(m_showSidebar, show, &AppModel::showSidebarChanged);
}

void AppModel::setShowInspector(bool show)
{
    assignAndNotify(m_showInspector, show, &AppModel::showInspectorChanged);
}

void AppModel::setShowPDFTextBoxes(bool show)
{
    assignAndNotify(m_showPDFTextBoxes, show, &AppModel::showPDFTextBoxesChanged);
}

void AppModel::setShowPageGrid(bool show)
{
    assignAndNotify(m_showPageGrid, show, &AppModel::showPageGridChanged);
}

void AppModel::setZoomScale(double scale)
{
    assignAndNotify(m_zoomScale, scale, &AppModel::zoomScaleChanged);
}

void AppModel::setPanOffset(const QSizeF& offset)
{
    assignAndNotify(m_panOffset, offset, &AppModel::panOffsetChanged);
}

void AppModel::setEditingTextElementID(const std::optional<QUuid>& id)
{
    assignAndNotify(m_editingTextElementID, id, &AppModel::editingTextElementIDChanged);
}

void AppModel::endEditingOutOfSight()
{
    if (!m_editingTextElementID)
        return;
    // Only the single page shows the editor.
    if (m_displayMode != CanvasDisplayMode::singlePage) {
        setEditingTextElementID(std::nullopt);
        return;
    }
    for (const VectorElement& element : m_controller->currentPage().elements) {
        if (element.id == *m_editingTextElementID && element.text())
            return;
    }
    setEditingTextElementID(std::nullopt);
}

void AppModel::setSearchFocusRequest(int request)
{
    assignAndNotify(m_searchFocusRequest, request, &AppModel::searchFocusRequestChanged);
}

void AppModel::setSheetFlag(bool& field, bool value, void (AppModel::*changed)())
{
    if (field == value)
        return;
    field = value;
    emit(this->*changed)();
    emit openSheetsChanged();
}

void AppModel::setShowExportSheet(bool show)
{
    setSheetFlag(m_showExportSheet, show, &AppModel::showExportSheetChanged);
}

void AppModel::setExportFormat(ExportFormat format)
{
    assignAndNotify(m_exportFormat, format, &AppModel::exportFormatChanged);
}

void AppModel::setShowNewPageSheet(bool show)
{
    setSheetFlag(m_showNewPageSheet, show, &AppModel::showNewPageSheetChanged);
}

void AppModel::setShowOSCGuide(bool show)
{
    setSheetFlag(m_showOSCGuide, show, &AppModel::showOSCGuideChanged);
}

void AppModel::setShowShortcuts(bool show)
{
    setSheetFlag(m_showShortcuts, show, &AppModel::showShortcutsChanged);
}

void AppModel::setShowHelp(bool show)
{
    setSheetFlag(m_showHelp, show, &AppModel::showHelpChanged);
}

void AppModel::setShowAbout(bool show)
{
    setSheetFlag(m_showAbout, show, &AppModel::showAboutChanged);
}

void AppModel::setShowUpdater(bool show)
{
    setSheetFlag(m_showUpdater, show, &AppModel::showUpdaterChanged);
}

bool AppModel::hasOpenSheet() const
{
    return m_showExportSheet || m_showNewPageSheet || m_showOSCGuide || m_showShortcuts || m_showHelp ||
           m_showAbout || m_showUpdater;
}

void AppModel::setAlert(const std::optional<AlertItem>& alert)
{
    assignAndNotify(m_alert, alert, &AppModel::alertChanged);
}

void AppModel::dismissAlert(const QUuid& id)
{
    if (m_alert && m_alert->id == id)
        setAlert(std::nullopt);
}

void AppModel::setFlashMessage(const std::optional<QString>& message)
{
    assignAndNotify(m_flashMessage, message, &AppModel::flashMessageChanged);
}

void AppModel::flash(const QString& message)
{
    setFlashMessage(message);
    // Not cancelled by a newer flash: the newer text simply fails the test.
    QTimer::singleShot(kFlashMilliseconds, Qt::PreciseTimer, this, [this, message] {
        if (m_flashMessage == message)
            setFlashMessage(std::nullopt);
    });
}

// ---- Keyboard ----------------------------------------------------------------------

void AppModel::installKeyboardShortcutMonitor()
{
    if (m_keyMonitor || !QCoreApplication::instance())
        return;
    m_keyMonitor = new KeyboardShortcutMonitor(*this);
    QCoreApplication::instance()->installEventFilter(m_keyMonitor);
}

}  // namespace zelvane
