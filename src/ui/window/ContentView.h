#pragma once

#include <QWidget>

namespace zelvane {

class AppModel;
class BusyOverlay;
class CanvasArea;
class InspectorView;
class PanelSlot;
class SidebarView;
class StatusBar;
class TopBar;

// The whole content of the main window, built for one interface language:
// the top bar, then the sidebar | canvas | inspector row, then the status
// bar. The window builds a new one when the language changes.
class ContentView : public QWidget {
    Q_OBJECT

public:
    static constexpr int kSidebarWidth = 224;
    static constexpr int kInspectorWidth = 316;

    explicit ContentView(AppModel& model, QWidget* parent = nullptr);

    TopBar* topBar() const { return m_topBar; }
    SidebarView* sidebar() const { return m_sidebar; }
    CanvasArea* canvasArea() const { return m_canvasArea; }
    InspectorView* inspector() const { return m_inspector; }
    StatusBar* statusBar() const { return m_statusBar; }
    PanelSlot* sidebarSlot() const { return m_sidebarSlot; }
    PanelSlot* inspectorSlot() const { return m_inspectorSlot; }

    // Whether showing and hiding the panels animates (off for snapshots).
    void setAnimated(bool animated) { m_animated = animated; }
    bool isAnimating() const;

    // The veil over the canvas while a file opened from the window is read.
    BusyOverlay* busyOverlay() const { return m_busy; }

private:
    // While a window open runs the canvas is veiled with the file's name
    // and the editing parts of the window (bars, panels, canvas) take no
    // input; the status bar stays live.
    void showOpening();

    AppModel& m_model;
    TopBar* m_topBar;
    SidebarView* m_sidebar;
    CanvasArea* m_canvasArea;
    InspectorView* m_inspector;
    StatusBar* m_statusBar;
    PanelSlot* m_sidebarSlot;
    PanelSlot* m_inspectorSlot;
    BusyOverlay* m_busy;
    QWidget* m_editingRow;
    bool m_animated = true;
};

}  // namespace zelvane
