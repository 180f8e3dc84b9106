// Thread-sanitizer builds only: the threads of Qt's global thread pool are
// left out of the sanitizer's checks.
//
// This program runs none of its own work on that pool (its background work
// has pools and threads of its own). Qt runs its image conversions and
// smooth scaling there, in parts (QImage::convertToFormat, QImage::scaled,
// QPainter::drawImage of large images): the parts, the pool's queue and the
// jobs' storage are handed between the calling thread and the pool's
// threads under Qt's own futex-based locks, which the sanitizer does not
// see, and Qt is not built for the sanitizer, so every such report is made
// of Qt's frames alone. Each pool thread is marked once, before any test
// runs, and kept for the rest of the process, so later parts always run on
// a marked thread. Locks taken on those threads are still followed.

#if defined(__SANITIZE_THREAD__)

#include <QThreadPool>

#include <latch>
#include <memory>

extern "C" void __tsan_ignore_thread_begin();

namespace {

[[gnu::constructor(102)]] void leaveQtPoolThreadsUnchecked()
{
    QThreadPool* pool = QThreadPool::globalInstance();
    pool->setExpiryTimeout(-1);
    const int threads = pool->maxThreadCount();
    // Every job waits for all the others, so each runs on a thread of its own.
    const auto started = std::make_shared<std::latch>(threads);
    for (int i = 0; i < threads; ++i) {
        pool->start([started] {
            __tsan_ignore_thread_begin();
            started->arrive_and_wait();
        });
    }
    started->wait();
}

}  // namespace

#endif
