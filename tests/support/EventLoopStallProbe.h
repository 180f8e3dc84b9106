#pragma once

#include <QElapsedTimer>
#include <QFile>
#include <QTimer>

#include <algorithm>

namespace zelvane::testing {

// A build with the address sanitizer runs the same code several times
// slower; bounds on how long the event loop may pause are scaled by this so
// that such a build still checks them, at its own speed.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
inline constexpr int kSlowBuildFactor = 5;
#else
inline constexpr int kSlowBuildFactor = 1;
#endif

// Notes the longest pause of the calling thread's event loop with a 5 ms
// timer. A pause spent waiting for a processor (a busy machine running other
// tests) is the scheduler's doing, not the code's: the time the thread sat
// runnable on the run queue (Linux's per-thread schedstat) is taken off each
// gap, so the figure counts only time the loop ran other work or was blocked.
class EventLoopStallProbe {
public:
    EventLoopStallProbe()
    {
        m_timer.setInterval(5);
        QObject::connect(&m_timer, &QTimer::timeout, [this] { tick(); });
    }

    void start()
    {
        m_clock.start();
        m_lastWall = 0;
        m_lastQueued = queuedNanoseconds();
        m_longest = 0;
        m_ticks = 0;
        m_timer.start();
    }

    void stop() { m_timer.stop(); }

    // Longest gap between two ticks, in milliseconds, run-queue waits removed.
    qint64 longestStallMs() const { return m_longest / 1000000; }
    int ticks() const { return m_ticks; }

private:
    void tick()
    {
        const qint64 wall = m_clock.nsecsElapsed();
        const qint64 queued = queuedNanoseconds();
        const qint64 gap = (wall - m_lastWall) - std::max<qint64>(queued - m_lastQueued, 0);
        m_longest = std::max(m_longest, gap);
        m_lastWall = wall;
        m_lastQueued = queued;
        ++m_ticks;
    }

    // Nanoseconds this thread has waited on a run queue; 0 where the kernel
    // does not say (the probe then measures plain wall-clock gaps).
    static qint64 queuedNanoseconds()
    {
        QFile stats(QStringLiteral("/proc/thread-self/schedstat"));
        if (!stats.open(QIODevice::ReadOnly))
            return 0;
        const QList<QByteArray> fields = stats.readAll().simplified().split(' ');
        return fields.size() >= 2 ? fields.at(1).toLongLong() : 0;
    }

    QTimer m_timer;
    QElapsedTimer m_clock;
    qint64 m_lastWall = 0;
    qint64 m_lastQueued = 0;
    qint64 m_longest = 0;
    int m_ticks = 0;
};

}  // namespace zelvane::testing
