#pragma once

#include <QWidget>

class QLabel;

namespace zelvane {

class ActivitySpinner;

// A dimming veil over its parent widget with a turning spinner and a line
// of text in its middle; it follows the parent's size and takes the mouse
// while shown, so that nothing under it can be used.
class BusyOverlay : public QWidget {
    Q_OBJECT

public:
    explicit BusyOverlay(QWidget* parent);

    void setText(const QString& text);
    QString text() const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    ActivitySpinner* m_spinner;
    QLabel* m_label;
};

}  // namespace zelvane
