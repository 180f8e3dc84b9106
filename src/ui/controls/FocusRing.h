#pragma once

#include <QPointer>
#include <QWidget>

namespace zelvane {

// The accent outline drawn over the control that has the keyboard focus
// (buttons, rows, toggles, sliders, choice lists), so that Tab always shows
// where it went. Text fields show their cursor and lists their own outline,
// so they get none. One ring serves the whole application; it follows the
// focus from window to window and the control as it moves.
class FocusRing : public QWidget {
    Q_OBJECT

public:
    // Starts marking the focus in the application (once; later calls do
    // nothing).
    static void install();
    // The ring's control now, or null while none is marked.
    static QWidget* markedWidget();

    // Whether a control of this kind is marked when it has the focus.
    static bool marks(const QWidget* widget);

protected:
    void paintEvent(QPaintEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    explicit FocusRing(QWidget* parent);
    void follow(QWidget* widget);
    void place();

    QPointer<QWidget> m_target;
};

}  // namespace zelvane
