#pragma once

#include <QWidget>
#include <functional>

class QLineEdit;
class QMenu;

namespace zelvane {

class AppModel;
class IconButton;
class SymbolButton;

// The top bar: the panel switches, open, save and export, undo and redo,
// the tool strip, signing, the stamp menu, adding a page, the display
// modes, the zoom group and the search field.
class TopBar : public QWidget {
    Q_OBJECT

public:
    static constexpr int kHeight = 44;
    static constexpr int kSearchWidth = 142;
    static constexpr int kSearchMinWidth = 96;

    explicit TopBar(AppModel& model, QWidget* parent = nullptr);

    // The stamp menu (filled each time it opens).
    QMenu* stampMenu() const { return m_stampMenu; }
    QLineEdit* searchEdit() const { return m_searchEdit; }

protected:
    void paintEvent(QPaintEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QWidget* makeToolStrip();
    QWidget* makeDisplayModePicker();
    QWidget* makeZoomControls();
    QWidget* makeSearchField();
    void fillStampMenu();
    void showStampMenu();
    void addPage();
    void refreshHistory();
    void refreshSearch();

    AppModel& m_model;
    IconButton* m_sidebarToggle = nullptr;
    IconButton* m_inspectorToggle = nullptr;
    IconButton* m_undo = nullptr;
    IconButton* m_redo = nullptr;
    IconButton* m_stampButton = nullptr;
    IconButton* m_textFrames = nullptr;
    QMenu* m_stampMenu = nullptr;
    QWidget* m_modePicker = nullptr;
    QWidget* m_zoomPercent = nullptr;
    QWidget* m_searchField = nullptr;
    QLineEdit* m_searchEdit = nullptr;
    SymbolButton* m_searchClear = nullptr;
    std::function<void()> m_refreshGlass;
};

}  // namespace zelvane
