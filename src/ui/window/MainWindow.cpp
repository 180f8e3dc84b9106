#include "window/MainWindow.h"

#include "VectorController.h"
#include "appmodel/AppModel.h"
#include "controls/FocusRing.h"
#include "theme/Theme.h"
#include "window/AlertPresenter.h"
#include "window/ContentView.h"
#include "window/FramePacer.h"
#include "window/MainMenuBar.h"
#include "window/SettingsWindow.h"
#include "window/SheetPresenter.h"
#include "window/UnsavedChangesQuestion.h"
#include "window/WindowEnvironment.h"

#include <QAbstractSpinBox>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTextEdit>

namespace zelvane {

MainWindow::MainWindow(AppModel& model, QWidget* parent) : QMainWindow(parent), m_model(model)
{
    setObjectName(QStringLiteral("MainWindow"));
    FocusRing::install();
    setMinimumSize(kMinimumWidth, kMinimumHeight);
    resize(kDefaultWidth, kDefaultHeight);
    QPalette palette = this->palette();
    palette.setColor(QPalette::Window, Theme::background());
    setPalette(palette);

    buildContent();
    m_framePacer = new FramePacer(this);
    m_sheets = new SheetPresenter(model, this);
    m_alerts = new AlertPresenter(model, this, *m_sheets);
    m_menus = new MainMenuBar(model, *this);

    connect(&model, &AppModel::languageChanged, this, [this] {
        buildContent();
        m_sheets->rebuildOpenSheets();
    });
    connect(&model.controller(), &VectorController::documentChanged, this, &MainWindow::updateTitle);
    connect(&model.controller(), &VectorController::currentPageIndexChanged, this, &MainWindow::updateTitle);
    updateTitle();

    // Over an open sheet the question is the sheet's, so the sheet is what
    // the keyboard returns to when it is cancelled.
    model.setUnsavedChangesQuestion([this](const QString& title) {
        QWidget* over = m_sheets->topmost();
        return askToSaveChanges(over ? over : this, title);
    });
    model.setSingleKeyTargetTest([this](QObject* receiver) { return takesSingleKeys(receiver); });
    m_environment = std::make_shared<WindowEnvironment>(this);
    model.controller().setEnvironment(m_environment);
}

MainWindow::~MainWindow()
{
    // The model may outlive the window.
    m_model.setUnsavedChangesQuestion({});
    m_model.setSingleKeyTargetTest({});
    if (&m_model.controller().environment() == m_environment.get())
        m_model.controller().setEnvironment(nullptr);
    if (m_settingsWindow)
        delete m_settingsWindow.data();
}

bool MainWindow::takesSingleKeys(QObject* receiver) const
{
    auto* widget = qobject_cast<QWidget*>(receiver);
    if (!widget || widget->window() != this)
        return false;
    // A dialog or an open menu has the keys, even when one of its presses
    // reaches the window.
    if (QApplication::activeModalWidget() || QApplication::activePopupWidget())
        return false;
    // Text inputs keep their letters.
    if (qobject_cast<QLineEdit*>(widget) || qobject_cast<QTextEdit*>(widget) ||
        qobject_cast<QPlainTextEdit*>(widget) || qobject_cast<QAbstractSpinBox*>(widget))
        return false;
    if (auto* combo = qobject_cast<QComboBox*>(widget); combo && combo->isEditable())
        return false;
    return true;
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
    // Qt shows "[*]" as an asterisk while the window is marked modified, and
    // "[*][*]" as a literal "[*]", so a title holding one stays as it is.
    const VectorDocument& document = m_model.controller().document();
    QString name = document.title;
    name.replace(QLatin1String("[*]"), QLatin1String("[*][*]"));
    setWindowTitle(name + QStringLiteral("[*]") + subtitle().mid(document.title.size()) + QStringLiteral(" — Zelvane"));
    setWindowModified(m_model.controller().hasUnsavedChanges());
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
    // A file being written is finished first, so none is left half-written
    // and the question sees what it saved.
    m_model.waitForSaves();
    if (!m_model.confirmReplacingDocument()) {
        event->ignore();
        return;
    }
    event->accept();
    if (m_settingsWindow)
        m_settingsWindow->close();
    emit closed();
}

}  // namespace zelvane
