#pragma once

// Threads that draw pages for the rest of the program. Each keeps the font
// engines it laid text out with: a thread drawing text for the first time
// looks every font and fallback up again, and Qt does that under one lock
// for the whole program, so new threads starting together mostly wait for
// one another. The threads are never joined: they wait for work until the
// program ends, holding nothing of a finished drawing.

#include <condition_variable>
#include <deque>
#include <functional>
#include <future>
#include <mutex>

namespace zelvane::PDFCodec {

class PageDrawingThreads {
public:
    // The program's threads, made on first use; null when none can be made.
    static PageDrawingThreads* shared();

    // How many threads there are.
    int count() const { return m_count; }
    // Runs `job` on one of the threads, after the jobs handed in before it;
    // the future holds what it threw.
    std::future<void> run(std::function<void()> job);

private:
    // Throws std::system_error when not even one thread can be made.
    explicit PageDrawingThreads(int wanted);

    void work();

    int m_count = 0;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::deque<std::packaged_task<void()>> m_jobs;
};

}  // namespace zelvane::PDFCodec
