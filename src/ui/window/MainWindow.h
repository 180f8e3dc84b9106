#pragma once

#include <QMainWindow>
#include <QPointer>
#include <memory>

#include "window/SettingsWindow.h"



namespace zelvane {

class AlertPresenter;
class AppModel;
class ContentView;
class FramePacer;

class MainMenuBar;
class SheetPresenter;
class WindowEnvironment;

// The editor's main window: the content view of the model, its sheets and
// alert, the title "Zelvane" with the document and page, and the settings
// window. Closing it asks about unsaved changes first; once it has closed,
// closed() is emitted and the settings window closes too.
class MainWindow : public QMainWindow {
    Q_OBJECT

public:
    static constexpr int kMinimumWidth = 980;
    static constexpr int kMinimumHeight = 600;
    static constexpr int kDefaultWidth = 1380;
    static constexpr int kDefaultHeight = 820;

    explicit MainWindow(AppModel& model, QWidget* parent = nullptr);
    ~MainWindow() override;

    AppModel& model() const { return m_model; }
    // Rebuilt on every language change: do not keep it across one.
    ContentView* content() const { return m_content; }
    SheetPresenter& sheets() const { return *m_sheets; }
    AlertPresenter& alerts() const { return *m_alerts; }
    MainMenuBar& menus() const { return *m_menus; }
    // Holds the window's repaints to one per frame.
    FramePacer& framePacer() const { return *m_framePacer; }

    // "Plan · Page 2/5": the document's title and the current page.
    QString subtitle() const;

    // Whether panels animate when shown or hidden (off for snapshots).
    void setAnimated(bool animated);

    SettingsWindow* settingsWindow() const { return m_settingsWindow.data(); }
    void showSettingsWindow();

signals:
    // The window has closed (the application then quits).
    void closed();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void buildContent();
    void updateTitle();
    // Whether a key press delivered to `receiver` may act as a single-key
    // shortcut: a widget of this window that is no text input, while no
    // dialog or menu is up.
    bool takesSingleKeys(QObject* receiver) const;

    AppModel& m_model;
    ContentView* m_content = nullptr;
    FramePacer* m_framePacer = nullptr;
    SheetPresenter* m_sheets;
    AlertPresenter* m_alerts;
    MainMenuBar* m_menus;
    QPointer<SettingsWindow> m_settingsWindow;
    bool m_animated = true;
    std::shared_ptr<WindowEnvironment> m_environment;
};

}  // namespace zelvane
