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
#include <memory>
#include <future>
#include <mutex>
#include <vector>

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
    // Runs `job` once on every thread, each before the jobs it takes after
    // this call, and returns at once. The future is ready once every thread
    // has run it; what it throws is dropped.
    std::shared_future<void> runOnEach(std::function<void()> job);

private:
    // Throws std::system_error when not even one thread can be made.
    explicit PageDrawingThreads(int wanted);

    void work();

    // A job for every thread, and how many have still to run it.
    struct OnEach {
        std::function<void()> job;
        int left = 0;
        std::promise<void> done;
    };

    int m_count = 0;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::deque<std::packaged_task<void()>> m_jobs;
    // The jobs for every thread some thread has still to run, oldest first;
    // m_onEachPast counts those every thread has run (gone from the list).
    std::deque<std::shared_ptr<OnEach>> m_onEach;
    size_t m_onEachPast = 0;
};

// Calls `done(k)` once for each of `jobs` (futures of jobs handed to the
// threads; an invalid one counts as ended) soon after it ends: whenever it
// has to wait, it first hands on, in order, every job that has ended, then
// waits for the first one that has not. Returns once all are handed on.
void eachAsDone(std::vector<std::future<void>>& jobs, const std::function<void(size_t)>& done);

}  // namespace zelvane::PDFCodec
