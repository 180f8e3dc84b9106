#include "window/FramePacer.h"

#include <QCoreApplication>
#include <QEvent>
#include <QScreen>
#include <QWidget>

#include <algorithm>
#include <cmath>

namespace zelvane {

namespace {

// The refresh period of the window's screen, within 4 ms (240 Hz) and
// 33 ms (30 Hz); 60 Hz when the screen does not say.
int refreshIntervalMs(const QWidget* window)
{
    const QScreen* screen = window->screen();
    const double rate = screen ? screen->refreshRate() : 0;
    const double hertz = std::isfinite(rate) && rate >= 1 ? rate : 60;
    return std::clamp(int(std::lround(1000.0 / hertz)), 4, 33);
}

}  // namespace

FramePacer::FramePacer(QWidget* window)
    : QObject(window), m_window(window), m_interval(refreshIntervalMs(window))
{
    m_release.setSingleShot(true);
    m_release.setTimerType(Qt::PreciseTimer);
    connect(&m_release, &QTimer::timeout, this, &FramePacer::releaseHeld);
    window->installEventFilter(this);
}

bool FramePacer::eventFilter(QObject* watched, QEvent* event)
{
    // The window paints everything marked since its last repaint when it
    // receives UpdateRequest; until then further changes only add to what
    // is marked.
    if (watched != m_window || event->type() != QEvent::UpdateRequest)
        return false;
    if (m_releasing || !m_sinceFrame.isValid() || m_sinceFrame.elapsed() >= m_interval) {
        m_releasing = false;
        m_release.stop();
        m_sinceFrame.restart();
        ++m_frames;
        return false;
    }
    if (!m_release.isActive())
        m_release.start(int(std::max<qint64>(1, m_interval - m_sinceFrame.elapsed())));
    return true;
}

void FramePacer::releaseHeld()
{
    // Qt sends no second request while one is outstanding: the held one is
    // sent again now that the frame has passed.
    m_releasing = true;
    QCoreApplication::postEvent(m_window, new QEvent(QEvent::UpdateRequest), Qt::LowEventPriority);
}

}  // namespace zelvane
