#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

class QWidget;

namespace zelvane {

// Holds a top-level window to at most one repaint per frame of its screen.
// Qt gathers every change of one event-loop turn into one repaint of the
// window; a burst of changes spread over many turns (remote commands, a
// script, a fast drag) would still repaint at every turn. The pacer lets the
// first repaint of a frame through at once and holds any later one until
// the frame has passed, when everything changed meanwhile is painted
// together.
class FramePacer : public QObject {
    Q_OBJECT

public:
    // Installs itself on `window` (a top-level widget) and lives with it.
    explicit FramePacer(QWidget* window);

    // Milliseconds between two repaints: the screen's refresh period.
    int frameInterval() const { return m_interval; }
    // Repaints let through so far.
    quint64 framesPainted() const { return m_frames; }
    // Whether a held repaint waits for the end of its frame.
    bool isHolding() const { return m_release.isActive(); }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void releaseHeld();

    QWidget* m_window;
    int m_interval;
    QElapsedTimer m_sinceFrame;
    QTimer m_release;
    bool m_releasing = false;
    quint64 m_frames = 0;
};

}  // namespace zelvane
