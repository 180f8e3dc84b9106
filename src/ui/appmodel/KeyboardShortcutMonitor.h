#pragma once

#include <QObject>
#include <QPointer>

class QKeyEvent;

namespace zelvane {

class AppModel;

// The application-wide key filter that turns single keys into editor
// commands: letters pick a tool, Z and F frame the view, the brackets turn
// pages, Backspace deletes the selection and Escape drops it. A key acts only
// once, where it is delivered (the filter sees each press again for every
// object it travels through), and only when the model's target test accepts
// that receiver (the editor window, no text input, dialog or popup). Keys
// with Ctrl, Alt or Meta belong to the menus and always pass.
class KeyboardShortcutMonitor : public QObject {
    Q_OBJECT

public:
    explicit KeyboardShortcutMonitor(AppModel& model);

    bool eventFilter(QObject* watched, QEvent* event) override;

    // Acts on a key press aimed at the editor; true when the key was used.
    bool handleKey(const QKeyEvent& event);

private:
    QPointer<AppModel> m_model;
};

}  // namespace zelvane
