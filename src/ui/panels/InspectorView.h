#pragma once

#include <QUuid>
#include <QWidget>

class QScrollArea;
class QVBoxLayout;

namespace zelvane {

class AppModel;
class SelectedElementSection;

// The right panel: edits the selected element, the page and the signature
// and stamp libraries. One scrolling column of sections built once; the
// document, selection and current-page signals refresh their values in
// place, never rebuild them, so focus, open menus and drags survive edits.
class InspectorView : public QWidget {
    Q_OBJECT

public:
    explicit InspectorView(AppModel& model, QWidget* parent = nullptr);

    QScrollArea* scrollArea() const { return m_scroll; }
    SelectedElementSection* selectedElementSection() const { return m_selected; }

private:
    // Shows the topmost selected element of the current page, or hides its
    // section when there is none.
    void refresh();
    // Scrolls the panel so the selected element's section is in view.
    void revealSelectedSection();

    AppModel& m_model;
    QScrollArea* m_scroll;
    QVBoxLayout* m_column;
    SelectedElementSection* m_selected;
    QWidget* m_selectedDivider;
    QUuid m_shownElementID;
    bool m_refreshing = false;
    bool m_refreshAgain = false;
};

}  // namespace zelvane
