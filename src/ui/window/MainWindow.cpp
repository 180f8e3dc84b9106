#include "window/MainWindow.h"

#include "VectorController.h"
#include "appmodel/AppModel.h"
#include "theme/Theme.h"
#include "window/AlertPresenter.h"
#include "window/ContentView.h"
#include "window/SettingsWindow.h"
#include "window/SheetPresenter.h"
#include "window/UnsavedChangesQuestion.h"

#include <QCloseEvent>
#include <QFileDialog>
#include <QFileInfo>

namespace zelvane {

MainWindow::MainWindow(AppModel& model, QWidget* parent) : QMainWindow(parent), m_model(model)
{
    setObjectName(QStringLiteral("MainWindow"));
    setMinimumSize(kMinimumWidth, kMinimumHeight);
    resize(kDefaultWidth, kDefaultHeight);
    QPalette palette = this->palette();
    palette.setColor(QPalette::Window, Theme::background());
    setPalette(palette);

    buildContent();
    m_sheets = new SheetPresenter(model, this);
    m_alerts = new AlertPresenter(model, this, *m_sheets);

    connect(&model, &AppModel::languageChanged, this, [this] {
        buildContent();
        m_sheets->rebuildOpenSheets();
    });
    connect(&model.controller(), &VectorController::documentChanged, this, &MainWindow::updateTitle);
    connect(&model.controller(), &VectorController::currentPageIndexChanged, this, &MainWindow::updateTitle);
    updateTitle();

    model.setUnsavedChangesQuestion(
        [this](const QString& title) { return askToSaveChanges(this, title); });
    model.setSaveAsHandler([this] { return saveAs(); });
}

MainWindow::~MainWindow()
{
    // The model may outlive the window.
    m_model.setUnsavedChangesQuestion({});
    m_model.setSaveAsHandler({});
    if (m_settingsWindow)
        delete m_settingsWindow.data();
}

void MainWindow::buildContent()
{
    ContentView* old = m_content;
    m_content = new ContentView(m_model, this);
    m_content->setAnimated(m_animated);
    setCentralWidget(m_content);
    // At once, not on the next turn: a rebuilt window is complete when the
    // language change returns.
    m_content->show();
    Q_UNUSED(old);  // setCentralWidget() deletes the previous content.
}

void MainWindow::setAnimated(bool animated)
{
    m_animated = animated;
    m_content->setAnimated(animated);
}

QString MainWindow::subtitle() const
{
    const VectorDocument& document = m_model.controller().document();
    return document.title + QStringLiteral(" · Page ") +
           QString::number(m_model.controller().currentPageIndex() + 1) + QLatin1Char('/') +
           QString::number(document.pages.size());
}

void MainWindow::updateTitle()
{
    setWindowTitle(subtitle() + QStringLiteral(" — Zelvane"));
}

void MainWindow::showSettingsWindow()
{
    if (!m_settingsWindow)
        m_settingsWindow = new SettingsWindow(m_model);
    m_settingsWindow->show();
    m_settingsWindow->raise();
    m_settingsWindow->activateWindow();
}

void MainWindow::closeEvent(QCloseEvent* event)
{
    if (!m_model.confirmReplacingDocument()) {
        event->ignore();
        return;
    }
    event->accept();
    if (m_settingsWindow)
        m_settingsWindow->close();
    emit closed();
}

bool MainWindow::saveAs()
{
    const VectorDocument& document = m_model.controller().document();
    const bool pdf = document.sourceFormat == DocumentSourceFormat::pdf;
    // The title without its last suffix, then the format's extension.
    QString base = QFileInfo(document.title).completeBaseName();
    if (base.isEmpty())
        base = document.title;
    const QString suggested = base + (pdf ? QStringLiteral(".pdf") : QStringLiteral(".svg"));
    const QString pdfFilter = QStringLiteral("PDF (*.pdf)");
    const QString svgFilter = QStringLiteral("SVG (*.svg)");
    QString filter = pdf ? pdfFilter : svgFilter;
    const QString path = QFileDialog::getSaveFileName(this, L("Enregistrer le document", "Save Document"), suggested,
                                                      pdfFilter + QStringLiteral(";;") + svgFilter, &filter);
    if (path.isEmpty())
        return false;
    const ExportFormat format = filter == pdfFilter ? ExportFormat::pdf : ExportFormat::svg;
    if (!m_model.saveDocument(QUrl::fromLocalFile(path), format))
        return false;
    m_model.flash(L("Enregistré : ", "Saved: ") + QFileInfo(path).fileName());
    return true;
}

}  // namespace zelvane
