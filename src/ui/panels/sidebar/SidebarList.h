#pragma once

#include <QListView>
#include <functional>

class QPainter;

namespace zelvane {

// A list of painted sidebar rows (pages, layers) that takes the keyboard
// when clicked or tabbed into and shows it with an accent outline. The
// arrows move the chosen row by one, Home and End choose the first and the
// last row; Page Up and Page Down move one row too unless the list turns
// pages with them. Right and Left walk the buttons painted in the chosen
// row (1, 2, … from the left; 0 is the row itself) and Space or Return
// presses the one reached, or activates the row itself. The list keeps no choice of its own: it asks
// which row is chosen and says which row to choose.
class SidebarList : public QListView {
    Q_OBJECT

public:
    explicit SidebarList(QWidget* parent = nullptr);

    // The row chosen now, or -1.
    std::function<int()> chosenRow;
    std::function<void(int row)> onChoose;
    // Page Up (-1) and Page Down (+1), when they do something else than
    // moving by one row.
    std::function<void(int offset)> onPageKey;
    // How many buttons the chosen row has now, and pressing one.
    std::function<int()> buttonCount;
    std::function<void(int row, int button)> onPressButton;
    // Space or Return on the chosen row itself.
    std::function<void(int row)> onActivate;

    // The button of the chosen row the keys are on (0: the row itself).
    int focusedButton() const { return m_button; }
    // Whether `button` of `row` is drawn with the focus mark.
    bool marksButton(int row, int button) const;
    // The focus mark around a painted button.
    static void paintButtonMark(QPainter& painter, const QRectF& rect);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    int m_button = 0;
};

}  // namespace zelvane
