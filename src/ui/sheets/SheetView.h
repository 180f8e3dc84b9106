#pragma once

#include <QWidget>
#include <functional>

namespace zelvane {

// The common ground of the window's informational sheets: drawn on the
// panel colour, focused when shown, and closed by Return through the
// presenter's close action (they bind no cancel key of their own).
class SheetView : public QWidget {
    Q_OBJECT

public:
    explicit SheetView(std::function<void()> close, QWidget* parent = nullptr);

protected:
    // Runs the presenter's close action, when there is one.
    void closeSheet();

    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    std::function<void()> m_close;
};

}  // namespace zelvane
